#include <windows.h>
// libintl's setlocale knows LC_MESSAGES, which the C runtime's does not.
#include <libintl.h>

#include <clocale>
#include <cstdlib>

#include "platform/user_language.h"

namespace quorvel::platform {
namespace {

bool Said(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

}  // namespace

void BindTextDomain(const char* domain, const std::filesystem::path& folder) {
    ::wbindtextdomain(domain, folder.c_str());
}

void UseUserLocale() {
    if (!Said("LANGUAGE") && !Said("LC_ALL") && !Said("LC_MESSAGES") && !Said("LANG") &&
        PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_CHINESE) {
        ::_putenv_s("LC_MESSAGES", "zh_CN");
    }
    setlocale(LC_CTYPE, "");
    setlocale(LC_MESSAGES, "");
}

void UseChineseMessages() {
    ::_putenv_s("LANGUAGE", "zh_CN");
    // libintl keeps the messages' locale itself; setting it also drops what it looked up so far.
    setlocale(LC_MESSAGES, "zh_CN");
}

}  // namespace quorvel::platform
