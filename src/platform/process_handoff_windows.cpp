#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "platform/command_line.h"
#include "platform/process_handoff.h"
#include "platform/system_error.h"
#include "platform/unicode_text.h"

namespace quorvel::platform {
namespace {

// The standard handles, made inheritable so that the program started writes where this one
// would have.
void InheritStandardHandles(STARTUPINFOW& startup) {
    startup.dwFlags |= STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    for (HANDLE h : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) {
        if (h != nullptr && h != INVALID_HANDLE_VALUE) {
            ::SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        }
    }
}

}  // namespace

HandoffFailure HandOver(const std::filesystem::path& program,
                        const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) line += ' ';
        line += QuotedForWindows(argument);
    }
    std::u16string wideLine = Utf16OfUtf8(line);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    InheritStandardHandles(startup);
    PROCESS_INFORMATION process{};
    std::fflush(nullptr);
    if (!::CreateProcessW(program.c_str(), reinterpret_cast<wchar_t*>(wideLine.data()), nullptr,
                          nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        const DWORD err = ::GetLastError();
        return {err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND, SystemErrorText(err)};
    }
    // Ctrl-C reaches both programs on the console: the one started cleans up and ends, and this
    // one then reports its status.
    ::SetConsoleCtrlHandler(nullptr, TRUE);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 2;
    ::GetExitCodeProcess(process.hProcess, &status);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    std::exit(static_cast<int>(status));
}

}  // namespace quorvel::platform
