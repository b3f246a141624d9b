#!/usr/bin/env bash
# Runs a command beside a private CUPS scheduler whose default queue hands every job's document
# through unchanged, so a test can read back exactly what the program printed.
#
#   with_cups.sh COMMAND [ARG...]
#
# COMMAND runs with:
#   CUPS_SERVER          the scheduler's socket (every CUPS client, Qt included, talks to it)
#   QUORVEL_PRINT_QUEUE  the default queue's name
#   QUORVEL_PRINT_JOBS   the folder where job N lands, complete, as job-N.pdf
# The exit status is COMMAND's; 77 (skipped) when not root or CUPS is not installed.
#
# Everything the scheduler reads or writes lives in one temporary folder, removed afterwards;
# the system's CUPS configuration, spool and sockets are never touched.
set -euo pipefail

skip() {
    echo "SKIPPED: $*" >&2
    exit 77
}
[ $# -gt 0 ] || { echo "usage: $0 COMMAND [ARG...]" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || skip "a private CUPS scheduler needs root"
cupsd=${QUORVEL_CUPSD:-/usr/sbin/cupsd}
[ -x "$cupsd" ] || skip "cupsd is not installed ($cupsd)"
for tool in lpadmin lpstat; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done
system_bin=/usr/lib/cups
[ -x "$system_bin/daemon/cups-exec" ] || skip "no $system_bin/daemon/cups-exec"

root=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-cups.XXXXXX")
if [ ${#root} -gt 80 ]; then
    # The scheduler's socket path must stay within the 108 bytes a socket address holds.
    rmdir "$root"
    root=$(mktemp -d /tmp/quorvel-cups.XXXXXX)
fi
cupsd_pid=
stop() {
    if [ -n "$cupsd_pid" ]; then
        kill "$cupsd_pid" 2>/dev/null || true
        wait "$cupsd_pid" 2>/dev/null || true
    fi
    rm -rf "$root"
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

queue=QuorvelTest
jobs="$root/jobs"
mkdir -p "$root"/{etc/ppd,etc/ssl,spool/tmp,cache,state,log,bin/backend} "$jobs"

# ServerBin: the system's helpers, but a backend folder holding only the copy backend.
for d in daemon filter notifier cgi-bin monitor driver; do
    [ -e "$system_bin/$d" ] && ln -s "$system_bin/$d" "$root/bin/$d"
done
cat >"$root/bin/backend/pdfcopy" <<EOB
#!/bin/sh
# Without arguments CUPS asks which devices this backend offers.
if [ \$# -eq 0 ]; then echo 'direct pdfcopy "Unknown" "Copy each job to a file"'; exit 0; fi
tmp="$jobs/.job-\$1.part"
if [ -n "\$6" ]; then cp "\$6" "\$tmp"; else cat >"\$tmp"; fi || exit 1
chmod 644 "\$tmp" && mv "\$tmp" "$jobs/job-\$1.pdf"
EOB
# Mode 0700: the scheduler runs the backend as root, which may write into the private folder.
chmod 0700 "$root/bin/backend/pdfcopy"

cat >"$root/etc/cups-files.conf" <<EOF2
ServerRoot $root/etc
ServerBin $root/bin
ServerKeychain $root/etc/ssl
RequestRoot $root/spool
TempDir $root/spool/tmp
CacheDir $root/cache
StateDir $root/state
Printcap $root/printcap
ErrorLog $root/log/error_log
AccessLog $root/log/access_log
PageLog $root/log/page_log
FileDevice No
EOF2
cat >"$root/etc/cupsd.conf" <<EOF2
LogLevel info
Listen $root/cups.sock
Browsing No
WebInterface No
DefaultShared No
# Only root can reach the socket (its folder is root's, mode 0700); no further checks needed.
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order allow,deny
    Allow all
  </Limit>
</Policy>
EOF2
for f in raw.types raw.convs; do
    [ -r "/etc/cups/$f" ] && cp "/etc/cups/$f" "$root/etc/"
done

show_log() {
    echo "--- private CUPS error log ---" >&2
    cat "$root/log/error_log" >&2 2>/dev/null || true
}

"$cupsd" -f -c "$root/etc/cupsd.conf" -s "$root/etc/cups-files.conf" &
cupsd_pid=$!

export CUPS_SERVER="$root/cups.sock"
unset LPDEST PRINTER
for _ in $(seq 200); do
    lpstat -r >/dev/null 2>&1 && break
    kill -0 "$cupsd_pid" 2>/dev/null || { show_log; echo "cupsd did not start" >&2; exit 1; }
    sleep 0.05
done
lpstat -r >/dev/null 2>&1 || { show_log; echo "cupsd did not answer" >&2; exit 1; }

# A raw queue: no filters, the job's document goes to the backend as it was sent. A scheduler
# that has just answered may still drop a connection while it finishes starting: try again.
added=
for _ in $(seq 20); do
    if lpadmin -p "$queue" -E -v pdfcopy:/ -m raw 2>"$root/log/lpadmin" &&
        lpadmin -d "$queue" 2>>"$root/log/lpadmin"; then
        added=1
        break
    fi
    sleep 0.1
done
if [ -z "$added" ]; then
    cat "$root/log/lpadmin" >&2
    show_log
    exit 1
fi
grep -v -i deprecated "$root/log/lpadmin" >&2 || true

export QUORVEL_PRINT_QUEUE="$queue" QUORVEL_PRINT_JOBS="$jobs"
# In the background so that a stop request (a test timeout, Ctrl-C) reaches the command too;
# the scheduler is stopped once it has ended.
"$@" &
child=$!
trap 'kill -TERM "$child" 2>/dev/null || true' INT TERM
status=0
while :; do
    wait "$child" && status=0 || status=$?
    kill -0 "$child" 2>/dev/null || break
done
[ "$status" -eq 0 ] || [ "$status" -eq 77 ] || show_log
exit "$status"
