#include "ui/results_table.h"

#include <QFocusEvent>
#include <QPainter>

namespace quorvel {

ResultsTable::ResultsTable(QWidget* parent) : QTableView(parent) {
    setTabKeyNavigation(false);
    setFocusPolicy(Qt::StrongFocus);
}

void ResultsTable::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    if (!hasFocus()) return;
    QPainter painter(viewport());
    QPen pen(palette().color(QPalette::Active, QPalette::Highlight), kFocusFrame);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const qreal half = kFocusFrame / 2.0;
    painter.drawRect(QRectF(viewport()->rect()).adjusted(half, half, -half, -half));
}

void ResultsTable::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    viewport()->update();  // the frame: drawn only while the table has the focus
}

void ResultsTable::focusOutEvent(QFocusEvent* event) {
    QTableView::focusOutEvent(event);
    viewport()->update();  // and gone with it
}

}  // namespace quorvel
