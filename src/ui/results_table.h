#pragma once

#include <QTableView>

namespace quorvel {

// The results window's table: Tab and Shift+Tab leave it for the next and previous control (the
// arrow keys move between cells), and while it has the focus a frame in the highlight colour
// runs round its cells, so that the keyboard's place shows.
class ResultsTable : public QTableView {
    Q_OBJECT

  public:
    explicit ResultsTable(QWidget* parent = nullptr);

    // The frame's width in pixels, inside the viewport's edge.
    static constexpr int kFocusFrame = 2;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

}  // namespace quorvel
