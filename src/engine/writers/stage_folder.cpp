#include "engine/writers/stage_folder.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <vector>

#include "core/errors.h"
#include "core/messages.h"
#include "core/target_path.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/replace.h"

namespace quorvel::engine {
namespace {

namespace fs = std::filesystem;

constexpr std::time_t kStaleAge = 24 * 60 * 60;

using platform::PathFromUtf8;
using platform::Utf8Path;

// The process id in a name ".NAME.PID.XXXXXX", or 0 for a name not made so.
long StagePid(const std::string& name) {
    if (name.size() < 10 || name[0] != '.') return 0;
    const std::size_t end = name.size() - 7;
    if (name[end] != '.') return 0;
    for (std::size_t i = end + 1; i < name.size(); ++i) {
        if (!std::isalnum(static_cast<unsigned char>(name[i]))) return 0;
    }
    const std::size_t dot = name.rfind('.', end - 1);
    if (dot == std::string::npos || dot == 0 || dot + 1 == end || end - dot > 10) return 0;
    const std::string digits = name.substr(dot + 1, end - dot - 1);
    if (digits.find_first_not_of("0123456789") != std::string::npos) return 0;
    return std::stol(digits);
}

bool Stale(long pid, const platform::FileInfo& st) {
    if (pid == platform::ProcessId()) return false;
    if (platform::ProcessGone(pid)) return true;
    return st.modified + kStaleAge < std::time(nullptr);
}

// Removes the folder `stage` when it holds regular files named points.* alone.
void RemoveStage(const fs::path& stage) {
    std::error_code ec;
    std::vector<std::string> files;
    bool ours = true;
    for (fs::directory_iterator it(stage, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string file = Utf8Path(it->path());
        platform::FileInfo st;
        ours = ours && Utf8Path(it->path().filename()).rfind("points.", 0) == 0 &&
               platform::EntryInfoAt(file, st) && st.kind == platform::FileKind::Regular;
        files.push_back(file);
    }
    if (ec || !ours) return;
    for (const std::string& file : files) platform::RemoveFile(file);
    platform::RemoveFolder(Utf8Path(stage));
}

void RemoveStaleStages(const fs::path& folder) {
    std::error_code ec;
    std::vector<fs::path> stale;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const long pid = StagePid(Utf8Path(it->path().filename()));
        platform::FileInfo st;
        if (pid <= 0 || !platform::EntryInfoAt(Utf8Path(it->path()), st)) continue;
        if (st.kind == platform::FileKind::Folder && platform::OwnedByUser(st) && Stale(pid, st))
            stale.push_back(it->path());
    }
    for (const fs::path& stage : stale) RemoveStage(stage);
}

}  // namespace

std::string MakeStageFolder(const std::string& resolved, const std::string& shown) {
    const fs::path file = PathFromUtf8(resolved);
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    RemoveStaleStages(folder);
    const std::string middle = "." + std::to_string(platform::ProcessId()) + ".";
    const std::string name =
        TemporaryName(Utf8Path(file.filename()), middle, "", NameMax(Utf8Path(folder)));
    std::string pattern = Utf8Path(folder / PathFromUtf8(name));
    if (platform::CreateUniqueFolder(pattern) != 0) {
        const int err = errno;
        throw IoError(CannotWrite(shown, std::strerror(err)), err);
    }
    return pattern;
}

}  // namespace quorvel::engine
