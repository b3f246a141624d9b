#pragma once

#include <QFontMetrics>
#include <QLineEdit>
#include <QRect>
#include <QScreen>
#include <QScrollArea>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <utility>
#include <vector>

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

    // Fits the layout to a window `height` pixels high: where it lacks height, the layout moves
    // up into the empty band above the title, as far as needed and the band allows, so that
    // the results and the four buttons stay in sight without scrolling; it stays put on
    // resizing. lift() is how many twips higher than its full layout it stands: 0 where the
    // screen has room.
    void Compact(int height);
    int lift() const { return lift_; }
    // The lowest the layout can be with the band at its smallest, in pixels.
    int SmallestHeight() const;
    // The calculator's size on its screen: the layout, no larger than the screen allows.
    QSize FittedSize() const;

  public slots:
    void Command1_Click();
    void Command2_click();
    void command3_click();
    void Command4_Click();

  private:
    void BuildCanvas();    // the scroll area and the canvas
    void PlaceControls();  // the controls at their places, in their tab order
    QSize ScreenRoom(const QScreen& screen) const;  // its free area less a window's frame
    void Place();                                   // the controls at their places, `lift_` higher

    // Runs a handler; an error ends the handler with a message box, and the program goes on.
    void RunHandler(const std::function<void()>& handler);

    BatchState state_;
    QScrollArea* scroll_ = nullptr;
    QWidget* canvas_ = nullptr;  // the layout at its full size; the controls' parent
    std::array<QLineEdit*, 21> textBoxes_{};
    std::vector<std::pair<QWidget*, std::size_t>> placed_;  // each control, its row of the layout
    int lift_ = 0;
    QtPrompt prompt_;
    QtPanel panel_;
};

}  // namespace quorvel
