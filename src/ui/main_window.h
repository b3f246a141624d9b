#pragma once

#include <QFontMetrics>
#include <QLineEdit>
#include <QRect>
#include <QScrollArea>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>

#include "batch/batch_state.h"
#include "batch/user_io.h"
#include "ui/qt_io.h"

namespace quorvel {

// Sets what every window and prompt of the program shares: the title "Quorvel" that the window
// and untitled prompts carry, the font substitutions, and Chinese for the messages and for Qt's
// own dialogs. Call once, after the application object
// exists and before the first widget.
void PrepareApplication(const char* catalogues = nullptr);

// Breaks `caption` into lines only after a run of blanks, filling each line greedily to `width`
// pixels (trailing blanks do not count). Lines are joined with '\n' and keep their blanks, so
// removing the '\n' gives back the caption. A word wider than `width` stands alone on its line.
QString WrapAtSpaces(const QString& caption, const QFontMetrics& metrics, int width);

// The program's only window: the hint row, the three panels, the results rows and the four
// buttons, placed in twips as the program has always laid them out, inside a scroll area that
// shows its bars only when the window is smaller than the layout.
class MainWindow : public QWidget {
    Q_OBJECT

  public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    BatchState& state() { return state_; }
    const BatchState& state() const { return state_; }
    QLineEdit* textBox(TextBox box) const;

    // Twips to pixels at the window's logical resolution.
    int pxX(int twips) const;
    int pxY(int twips) const;

    // The empty strip above the title where prompts go, as far as it is in sight now, in global
    // coordinates.
    QRect promptBand() const;

    // How much more room the layout needs than it has now without scroll bars (negative where
    // there is room to spare).
    QSize MissingRoom() const;

  public slots:
    void Command1_Click();
    void Command2_click();
    void command3_click();
    void Command4_Click();

  private:
    QSize BuildCanvas();   // the scroll area and the canvas; returns the layout's size
    void PlaceControls();  // the controls at their places, in their tab order
    QSize FittedSize(QSize layout) const;  // the window's size on this screen

    // Runs a handler; an error ends the handler with a message box, and the program goes on.
    void RunHandler(const std::function<void()>& handler);

    BatchState state_;
    QScrollArea* scroll_ = nullptr;
    QWidget* canvas_ = nullptr;  // the layout at its full size; the controls' parent
    std::array<QLineEdit*, 21> textBoxes_{};
    QtPrompt prompt_;
    QtPanel panel_;
};

}  // namespace quorvel
