#include <libintl.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/user_language.h"

namespace quorvel::platform {

void BindTextDomain(const char* domain, const std::filesystem::path& folder) {
    ::bindtextdomain(domain, folder.c_str());
}

void UseUserLocale() {
    std::setlocale(LC_CTYPE, "");
    std::setlocale(LC_MESSAGES, "");
}

void UseChineseMessages() {
    ::setenv("LANGUAGE", "zh_CN", 1);
    // GNU gettext reads LANGUAGE only when the messages' locale is not "C"; C.UTF-8 always
    // exists. Setting the locale again also drops the translations looked up so far.
    const char* now = std::setlocale(LC_MESSAGES, nullptr);
    const bool plain =
        now == nullptr || std::strcmp(now, "C") == 0 || std::strcmp(now, "POSIX") == 0;
    const std::string keep = plain ? "C.UTF-8" : now;
    std::setlocale(LC_MESSAGES, keep.c_str());
}

}  // namespace quorvel::platform
