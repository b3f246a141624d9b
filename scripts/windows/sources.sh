#!/usr/bin/env bash
# Downloads and unpacks a Debian 12 source package with an APT configuration of our own: its own
# source list (deb-src for bookworm), state and cache under the cache folder, so the system's
# lists are left alone.
#
#   sources.sh CACHE PACKAGE   unpacks PACKAGE's source into CACHE/src/PACKAGE-*/
set -euo pipefail
cache=$1
package=$2
apt_dir=$cache/apt
mkdir -p "$apt_dir"/{lists/partial,archives/partial,parts,preferences.d} "$cache/src"
cat >"$apt_dir/sources.list" <<EOL
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian-security bookworm-security main
EOL
cat >"$apt_dir/apt.conf" <<EOL
Dir::State "$apt_dir";
Dir::State::Lists "$apt_dir/lists";
Dir::State::status "/var/lib/dpkg/status";
Dir::Cache "$apt_dir";
Dir::Cache::archives "$apt_dir/archives";
Dir::Etc::SourceList "$apt_dir/sources.list";
Dir::Etc::SourceParts "$apt_dir/parts";
Dir::Etc::PreferencesParts "$apt_dir/preferences.d";
APT::Sandbox::User "root";
EOL
export APT_CONFIG=$apt_dir/apt.conf
if [ -z "$(ls "$apt_dir/lists" | grep -i sources || true)" ]; then
  apt-get update -q >/dev/null
fi
cd "$cache/src"
if ! ls -d "$package"-*/ >/dev/null 2>&1; then
  apt-get source -q "$package" >/dev/null
fi
ls -d "$cache/src/$package"-*/ | head -1
