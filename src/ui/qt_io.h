#pragma once

#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QRect>
#include <QScrollArea>
#include <QSize>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "batch/user_io.h"

namespace quorvel {

// Where a dialog of `size` (its frame included) goes so that it covers no text box: inside
// `band`, the window's empty strip above its title, centred on the window horizontally; where
// the band is too low for it, just below the window; where neither has room, at the bottom of
// the screen. Everything is in global coordinates and bounded by the screen's `available` area.
QPoint DialogPosition(QSize size, QRect band, QRect windowFrame, QRect available);

// Moves a dialog that is about to be shown to DialogPosition's place over `parent`'s window;
// leaves it to Qt when the window is not on a screen or `band` is empty.
void PlaceDialog(QWidget& dialog, const QWidget* parent, const QRect& band);

// A dialog's body in a scroll area, so that the dialog fits a small screen whatever it shows;
// the scroll area takes no focus, so the keyboard order stays the body's.
QScrollArea* ScrollingBody(QWidget* parent, QWidget* body);

// Resizes `window` to `wanted`, within its screen's free area less the desktop's title bar and
// borders.
void ResizeWithinScreen(QWidget& window, QSize wanted);

// A modal message box titled "Quorvel", placed as the prompts are.
void ShowMessage(QWidget* parent, const QRect& band, QMessageBox::Icon icon,
                 const QString& message);

// The modal one-line prompt of every typed value, a QInputDialog placed by DialogPosition.
class QtPrompt : public Prompt {
  public:
    // `band` gives the window's empty strip above its title as it is now on the screen (global
    // coordinates, the part in sight only); without one, prompts are centred by Qt.
    explicit QtPrompt(QWidget* parent, std::function<QRect()> band = {})
        : parent_(parent), band_(std::move(band)) {}
    std::optional<std::string> Ask(std::string_view message, std::string_view title = {},
                                   std::string_view defaultText = {}) override;
    void ShowError(std::string_view message) override;

  private:
    void Place(QWidget& dialog) const;

    QPointer<QWidget> parent_;
    std::function<QRect()> band_;
};

// The window's text boxes as the batches see them.
class QtPanel : public Panel {
  public:
    explicit QtPanel(std::function<QLineEdit*(TextBox)> boxes) : boxes_(std::move(boxes)) {}
    void SetText(TextBox box, std::string_view text) override;
    std::string Text(TextBox box) const override;

  private:
    std::function<QLineEdit*(TextBox)> boxes_;
};

}  // namespace quorvel
