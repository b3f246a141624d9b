#include "ui/qt_io.h"

#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QScreen>
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

void QtPrompt::Place(QWidget& dialog) const {
    if (!parent_ || !band_) return;
    QWidget* window = parent_->window();
    const QScreen* screen = window->screen();
    if (!screen) return;
    dialog.adjustSize();
    // The dialog's frame is not known before it is shown; the window's is a fair estimate.
    const QSize frame = window->frameGeometry().size() - window->geometry().size();
    dialog.move(DialogPosition(dialog.size() + frame, band_(), window->frameGeometry(),
                               screen->availableGeometry()));
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
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Quorvel"), FromUtf8(message),
                    QMessageBox::Ok, parent_);
    Place(box);
    box.exec();
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
