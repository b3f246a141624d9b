#pragma once

#include <QDialog>

#include "engine/measure/measure_points.h"
#include "ui/settings_dialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTabWidget;
class QTableWidget;

namespace quorvel {

// 工具 › 坐标反算… and 面积计算…: points typed or pasted (name, X, Y a line, as in a file or
// from Excel) and, as they change, the legs between them (distance and grid bearing) or the
// area of their polygon, computed by quorvel-batch distance's and area's engine. With a
// central meridian the points are taken back to L, B with the window's ellipsoid and method
// and the geodesic side stands beside the plane's.
class MeasureDialog : public QDialog {
    Q_OBJECT

  public:
    enum class Tab { Distance = 0, Area = 1 };
    explicit MeasureDialog(const GeodesySettings& settings, Tab tab, QWidget* parent = nullptr);

    QTabWidget* tabs() const { return tabs_; }
    QLineEdit* meridian() const { return meridian_; }
    QPlainTextEdit* legPoints() const { return legPoints_; }
    QCheckBox* pairs() const { return pairs_; }
    QTableWidget* legs() const { return legs_; }
    QPlainTextEdit* areaPoints() const { return areaPoints_; }
    QLabel* areaResult() const { return areaResult_; }
    QLabel* message() const { return message_; }

    // The points of a text file (UTF-8, or GB18030 as Chinese Windows programs save it) into
    // the current tab's editor, replacing what was there; false, with why shown, when it
    // cannot be read.
    bool LoadFile(const QString& path);

  public slots:
    void Compute();

  private:
    QWidget* BuildDistanceTab();
    QWidget* BuildAreaTab();
    // The job of the dialog's settings and meridian; false, with the message shown, when the
    // meridian does not read.
    bool MakeJob(engine::MeasureJob& m);
    // The points of `text`; false, with the line's problem shown, when a line gives none.
    bool ReadPoints(const engine::MeasureJob& m, const QString& text,
                    std::vector<engine::MeasurePoint>& points);
    void ComputeLegs(const engine::MeasureJob& m, const std::vector<engine::MeasurePoint>& points);
    void ComputeArea(const engine::MeasureJob& m, const std::vector<engine::MeasurePoint>& points);

    GeodesySettings settings_;
    QTabWidget* tabs_;
    QLineEdit* meridian_;
    QPlainTextEdit* legPoints_;
    QCheckBox* pairs_;
    QTableWidget* legs_;
    QPlainTextEdit* areaPoints_;
    QLabel* areaResult_;
    QLabel* message_;
};

}  // namespace quorvel
