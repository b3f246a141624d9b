#include "ui/qt_io.h"

#include <QGuiApplication>
#include <QInputDialog>

namespace quorvel {
namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

std::string QtPrompt::Ask(std::string_view message, std::string_view title,
                          std::string_view defaultText) {
    QInputDialog dialog(parent_);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(title.empty() ? QGuiApplication::applicationDisplayName()
                                        : FromUtf8(title));
    dialog.setLabelText(FromUtf8(message));
    dialog.setTextValue(FromUtf8(defaultText));
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.textValue().toStdString();
}

void QtPanel::SetText(TextBox box, std::string_view text) {
    QLineEdit* edit = boxes_(box);
    edit->setText(FromUtf8(text));
    // A text box shows the beginning of a text wider than itself, not its end.
    edit->setCursorPosition(0);
}

}  // namespace quorvel
