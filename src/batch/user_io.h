#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// The window's text boxes by what they show, each numbered as in the original numbering of the
// boxes (the window's controls are still named Text1 to Text21, and its tab order keeps the
// numbers); docs/names.md maps every name to its number.
enum class TextBox {
    // Forward computation, L, B -> X, Y.
    ForwardL = 1,         // Text1: longitude L typed, then shown
    ForwardB = 2,         // Text2: latitude B
    ForwardMeridian = 3,  // Text3: central meridian Lo
    // Inverse computation, X, Y -> L, B.
    InverseX = 4,  // Text4: northing X
    InverseY = 5,  // Text5: easting Y
    // Zone change, X1, Y1 on Lo -> X2, Y2 on Ls.
    ZoneX1 = 6,              // Text6: northing X1 before the change
    ZoneY1 = 7,              // Text7: easting Y1 before the change
    ZoneTargetMeridian = 8,  // Text8: central meridian Ls after the change
    // Results.
    ForwardX = 9,   // Text9: forward XP
    ForwardY = 10,  // Text10: forward YP
    InverseL = 11,  // Text11: inverse LP, packed
    InverseB = 12,  // Text12: inverse BP, packed
    ZoneX2 = 13,    // Text13: X2 after the change
    ZoneY2 = 14,    // Text14: Y2 after the change
    // The row above the three panels.
    ComputationHint = 15,     // Text15: "This is a forward computation", ...
    InverseMeridian = 16,     // Text16: central meridian Lo of the inverse
    ZoneSourceMeridian = 17,  // Text17: central meridian Lo before the change
    PointCount = 18,          // Text18: "Points in this batch: N"
    // Each panel's point name.
    ForwardName = 19,  // Text19
    InverseName = 20,  // Text20
    ZoneName = 21,     // Text21
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
