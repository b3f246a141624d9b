#include <windows.h>

#include <cerrno>

#include "platform/replace.h"
#include "platform/wide_text.h"
#include "platform/windows_errors.h"

namespace quorvel::platform {
namespace {

constexpr DWORD kReplace = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;

int Failed() {
    SetErrnoFromLastError();
    return -1;
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

int ExchangeNames(const std::string& a, const std::string& b) {
    const std::wstring from = WideFromUtf8(a);
    const std::wstring to = WideFromUtf8(b);
    const std::wstring kept = from + L"~";  // `b`'s file, under a second name meanwhile
    if (!Exists(to)) {
        errno = ENOENT;
        return -1;
    }
    // A second name for the old file, then a rename over it, which Windows does at once: the old
    // file is never without its name. ReplaceFileW where there are no hard links (FAT).
    if (::CreateHardLinkW(kept.c_str(), to.c_str(), nullptr)) {
        if (!::MoveFileExW(from.c_str(), to.c_str(), kReplace)) {
            const DWORD error = ::GetLastError();
            ::DeleteFileW(kept.c_str());
            ::SetLastError(error);
            return Failed();
        }
    } else if (!::ReplaceFileW(to.c_str(), from.c_str(), kept.c_str(),
                               REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        const DWORD error = ::GetLastError();
        // The old file is left under the second name alone: it gets its own back.
        if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
            ::MoveFileExW(kept.c_str(), to.c_str(), kReplace);
        ::SetLastError(error);
        return Failed();
    }
    // The old file takes the name the new one had; failing that, its own back: the caller's
    // file is then not replaced, as it is told.
    if (!::MoveFileExW(kept.c_str(), from.c_str(), kReplace)) {
        const DWORD error = ::GetLastError();
        ::MoveFileExW(kept.c_str(), to.c_str(), kReplace);
        ::SetLastError(error);
        return Failed();
    }
    return 0;
}

int MoveReplacing(const std::string& from, const std::string& to) {
    if (::MoveFileExW(WideFromUtf8(from).c_str(), WideFromUtf8(to).c_str(), kReplace)) return 0;
    return Failed();
}

int MoveToNewName(const std::string& from, const std::string& to) {
    // Without MOVEFILE_REPLACE_EXISTING a name that is taken stays its file's.
    if (::MoveFileExW(WideFromUtf8(from).c_str(), WideFromUtf8(to).c_str(), MOVEFILE_WRITE_THROUGH))
        return 0;
    return Failed();
}

int RemoveFile(const std::string& path) {
    return ::DeleteFileW(WideFromUtf8(path).c_str()) ? 0 : Failed();
}

int RemoveFolder(const std::string& path) {
    return ::RemoveDirectoryW(WideFromUtf8(path).c_str()) ? 0 : Failed();
}

}  // namespace quorvel::platform
