#pragma once

#include <filesystem>

namespace quorvel::platform {

// Binds gettext's text `domain` to the catalogues under `folder`, a path the system's way (wide
// on Windows, so that a Chinese folder name works).
void BindTextDomain(const char* domain, const std::filesystem::path& folder);

// The categories of messages and characters from the user's environment (LANGUAGE, LC_ALL,
// LC_MESSAGES, LANG). On Windows, where these are seldom set, Chinese when Windows speaks
// Chinese to the user and none of them says otherwise.
void UseUserLocale();

// Messages in Chinese from now on, whatever the environment says (the window).
void UseChineseMessages();

}  // namespace quorvel::platform
