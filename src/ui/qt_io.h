#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>
#include <string_view>

#include "batch/user_io.h"

namespace quorvel {

// The modal one-line prompt of every typed value, a QInputDialog over the window.
class QtPrompt : public Prompt {
  public:
    explicit QtPrompt(QWidget* parent) : parent_(parent) {}
    std::string Ask(std::string_view message, std::string_view title = {},
                    std::string_view defaultText = {}) override;

  private:
    QPointer<QWidget> parent_;
};

// The window's text boxes as the batches see them.
class QtPanel : public Panel {
  public:
    explicit QtPanel(std::function<QLineEdit*(TextBox)> boxes) : boxes_(std::move(boxes)) {}
    void SetText(TextBox box, std::string_view text) override;

  private:
    std::function<QLineEdit*(TextBox)> boxes_;
};

}  // namespace quorvel
