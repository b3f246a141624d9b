#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

// What the program says to its users comes from one catalogue: GNU gettext's text domain
// "quorvel", with the English texts as message ids and po/zh_CN.po their Chinese. Every message
// is written in the code as Tr("...") or TrN("...", "...", n) on a string literal, or marked
// with TR_NOOP("...") where a table keeps it; xgettext finds them there (tests/messages_test.sh)
// and the tests fail on any without Chinese.

// Marks a literal as a message without translating it: Tr() translates it where it is used.
#define TR_NOOP(text) text

namespace quorvel {

// `msgid` in the language of the messages: Chinese where the locale or UseChinese() asks for
// it, else as written.
std::string Tr(const char* msgid);
// A message about `n` things, `one` or `many` in English.
std::string TrN(const char* one, const char* many, unsigned long n);

// `pattern` with {0}, {1}, ... replaced by the arguments, so that a translation may put them in
// another order; "{{" stands for "{". A placeholder without an argument is kept as it is.
std::string Fill(std::string_view pattern, std::initializer_list<std::string_view> args);
// The same with arguments made at run time.
std::string FillList(std::string_view pattern, std::span<const std::string> args);

// A text from outside the program (a file's line, a library's error) fit to go into a message:
// control bytes as \xNN, so that a terminal shows them and a NUL cuts nothing, and at most
// `limit` bytes of the text, cut between characters, then `more`.
std::string EscapedText(std::string_view text, std::size_t limit = std::string_view::npos,
                        std::string_view more = "…");
// A whole message as it is shown: escaped, and bounded to a few screens.
std::string ShownMessage(std::string_view message);
// "A, B, C … and 2,966 more": the first `shown` items (escaped, each bounded), then the count
// of the others.
std::string BoundedList(std::span<const std::string> items, std::size_t shown = 10);

// Binds the catalogue that belongs to the running program: <its folder>/locale in the build
// folder, <its folder>/../share/locale (../../share/locale from libexec/quorvel) once installed,
// else `fallback` (a test program's build-time folder). Messages are UTF-8 whatever the locale's
// character set, as everything the program writes; so are the C library's (strerror).
void BindCatalogue(const char* fallback = nullptr);

// A command-line program: messages in the user's language as the environment gives it
// (LC_ALL, LC_MESSAGES, LANG, and LANGUAGE before them unless the locale is C). Sets only the
// categories of messages and characters, so numbers are read and written as before.
void UseUserLanguage();

// The window: Chinese whatever the locale. Qt sets the locale from the environment when the
// application object is made, so this comes after it.
void UseChinese();

}  // namespace quorvel
