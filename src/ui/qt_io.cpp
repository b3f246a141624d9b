#include "ui/qt_io.h"

#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>
#include <algorithm>

namespace quorvel {
namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QPoint DialogPosition(QSize size, QRect band, QRect windowFrame, QRect available) {
    const int w = size.width(), h = size.height();
    const int x = std::clamp(windowFrame.left() + (windowFrame.width() - w) / 2, available.left(),
                             std::max(available.left(), available.right() + 1 - w));
    band &= available;
    if (band.height() >= h) return {x, band.top() + (band.height() - h) / 2};
    if (windowFrame.bottom() + h <= available.bottom()) return {x, windowFrame.bottom() + 1};
    return {x, std::max(available.top(), available.bottom() + 1 - h)};
}

QScrollArea* ScrollingBody(QWidget* parent, QWidget* body) {
    auto* scroll = new QScrollArea(parent);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidget(body);
    return scroll;
}

void ResizeWithinScreen(QWidget& window, QSize wanted) {
    if (const QScreen* s = window.screen()) {
        const int title = std::max(32, window.style()->pixelMetric(QStyle::PM_TitleBarHeight));
        wanted = wanted.boundedTo(s->availableGeometry().size() - QSize(16, title + 16));
    }
    window.resize(wanted);
}

void PlaceDialog(QWidget& dialog, const QWidget* parent, const QRect& band) {
    if (!parent || band.isEmpty()) return;
    const QWidget* window = parent->window();
    const QScreen* screen = window->screen();
    if (!screen) return;
    dialog.adjustSize();
    // The dialog's frame is not known before it is shown; the window's is a fair estimate.
    const QSize frame = window->frameGeometry().size() - window->geometry().size();
    dialog.move(DialogPosition(dialog.size() + frame, band, window->frameGeometry(),
                               screen->availableGeometry()));
}

void ShowMessage(QWidget* parent, const QRect& band, QMessageBox::Icon icon,
                 const QString& message) {
    QMessageBox box(icon, QStringLiteral("Quorvel"), message, QMessageBox::Ok, parent);
    PlaceDialog(box, parent, band);
    box.exec();
}

void QtPrompt::Place(QWidget& dialog) const {
    if (band_) PlaceDialog(dialog, parent_, band_());
}

std::optional<std::string> QtPrompt::Ask(std::string_view message, std::string_view title,
                                         std::string_view defaultText) {
    QInputDialog dialog(parent_);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(title.empty() ? QGuiApplication::applicationDisplayName()
                                        : FromUtf8(title));
    dialog.setLabelText(FromUtf8(message));
    dialog.setTextValue(FromUtf8(defaultText));
    Place(dialog);
    // Cancel, Esc and closing the prompt all reject it.
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue().toStdString();
}

void QtPrompt::ShowError(std::string_view message) {
    ShowMessage(parent_, band_ ? band_() : QRect(), QMessageBox::Critical, FromUtf8(message));
}

void QtPanel::SetText(TextBox box, std::string_view text) {
    QLineEdit* edit = boxes_(box);
    edit->setText(FromUtf8(text));
    // A text box shows the beginning of a text wider than itself, not its end.
    edit->setCursorPosition(0);
}

std::string QtPanel::Text(TextBox box) const {
    return boxes_(box)->text().toStdString();
}

}  // namespace quorvel
