#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// The window's text boxes, by their numbers.
enum class TextBox {
    Text1 = 1,
    Text2,
    Text3,
    Text4,
    Text5,
    Text6,
    Text7,
    Text8,
    Text9,
    Text10,
    Text11,
    Text12,
    Text13,
    Text14,
    Text15,
    Text16,
    Text17,
    Text18,
    Text19,
    Text20,
    Text21
};

// A modal one-line prompt. Returns the typed text (empty when Enter is pressed on an empty
// prompt), or nothing when the user cancels it (Cancel, Esc, or closing the prompt). An empty
// title means the program's own title.
class Prompt {
  public:
    virtual ~Prompt() = default;
    virtual std::optional<std::string> Ask(std::string_view message, std::string_view title = {},
                                           std::string_view defaultText = {}) = 0;
    // A modal error box with the program's title; returns when the user has closed it.
    virtual void ShowError(std::string_view message) = 0;
};

// The panel's display-only text boxes; the batches only ever replace a whole text. Text() is
// read only to put back what a box showed before an abandoned batch.
class Panel {
  public:
    virtual ~Panel() = default;
    virtual void SetText(TextBox box, std::string_view text) = 0;
    virtual std::string Text(TextBox box) const = 0;
};

}  // namespace quorvel
