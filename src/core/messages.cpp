#include "core/messages.h"

#include <libintl.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/program_folder.h"
#include "platform/user_language.h"

namespace quorvel {
namespace {

constexpr const char* kDomain = "quorvel";

bool HoldsCatalogue(const std::filesystem::path& folder) {
    std::error_code ec;
    return std::filesystem::is_regular_file(folder / "zh_CN" / "LC_MESSAGES" / "quorvel.mo", ec);
}

template <class Args>
std::string FillFrom(std::string_view pattern, const Args& args) {
    std::string out;
    out.reserve(pattern.size() + 16 * args.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '{' && i + 1 < pattern.size() && pattern[i + 1] == '{') {
            out += '{';
            ++i;
            continue;
        }
        if (c == '{' && i + 2 < pattern.size() && pattern[i + 2] == '}' && pattern[i + 1] >= '0' &&
            pattern[i + 1] <= '9' && static_cast<std::size_t>(pattern[i + 1] - '0') < args.size()) {
            out += args.begin()[pattern[i + 1] - '0'];
            i += 2;
            continue;
        }
        out += c;
    }
    return out;
}

}  // namespace

std::string Tr(const char* msgid) {
    // The empty id is the catalogue's header.
    if (*msgid == '\0') return {};
    return ::dgettext(kDomain, msgid);
}

std::string TrN(const char* one, const char* many, unsigned long n) {
    return ::dngettext(kDomain, one, many, n);
}

std::string Fill(std::string_view pattern, std::initializer_list<std::string_view> args) {
    return FillFrom(pattern, args);
}

std::string FillList(std::string_view pattern, std::span<const std::string> args) {
    return FillFrom(pattern, args);
}

std::string EscapedText(std::string_view text, std::size_t limit, std::string_view more) {
    std::size_t cut = std::min(text.size(), limit);
    // Do not cut a UTF-8 sequence in two.
    while (cut > 0 && cut < text.size() && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    std::string out;
    out.reserve(cut + 8);
    for (std::size_t i = 0; i < cut; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    if (cut < text.size()) out += more;
    return out;
}

std::string ShownMessage(std::string_view message) {
    // Enough for any message of the program's own with its quoted texts; a library's error
    // that echoes a whole SQL statement is not.
    constexpr std::size_t kMaxBytes = 2000;
    return EscapedText(message, kMaxBytes);
}

std::string BoundedList(std::span<const std::string> items, std::size_t shown) {
    constexpr std::size_t kMaxItemBytes = 60;
    std::string list;
    for (std::size_t i = 0; i < items.size() && i < shown; ++i) {
        if (i > 0) list += Tr(", ");
        list += EscapedText(items[i], kMaxItemBytes);
    }
    if (items.size() <= shown) return list;
    // Thousands grouped, as a count of points reads best.
    std::string count = std::to_string(items.size() - shown);
    for (std::size_t at = count.size(); at > 3; at -= 3) count.insert(at - 3, ",");
    return Fill(Tr("{0} … and {1} more"), {list, count});
}

void BindCatalogue(const char* fallback) {
    namespace fs = std::filesystem;
    const fs::path folder = platform::ProgramFolder();
    fs::path found;
    if (!folder.empty()) {
        for (const fs::path& candidate : {folder / "locale", folder / ".." / "share" / "locale",
                                          folder / ".." / ".." / "share" / "locale"}) {
            if (HoldsCatalogue(candidate)) {
                found = candidate.lexically_normal();
                break;
            }
        }
    }
    if (found.empty() && fallback != nullptr && HoldsCatalogue(fallback)) found = fallback;
    if (!found.empty()) platform::BindTextDomain(kDomain, found);
    ::bind_textdomain_codeset(kDomain, "UTF-8");
    ::bind_textdomain_codeset("libc", "UTF-8");
}

void UseUserLanguage() {
    platform::UseUserLocale();
    BindCatalogue();
}

void UseChinese() {
    platform::UseChineseMessages();
}

}  // namespace quorvel
