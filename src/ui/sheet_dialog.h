#pragma once

#include <QDialog>
#include <QString>

#include "engine/sheet/sheet_run.h"
#include "ui/settings_dialog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace quorvel {

// 工具 › 图幅号…: a point's map sheet at a scale, or a sheet number's, with its corners (L, B,
// and X, Y on the window's ellipsoid and method with a zone or central meridian) and its eight
// neighbours around it as they lie on the map; 文件… numbers a file's points as quorvel-batch
// sheet does. Keyboard first: the input has the focus, Enter computes.
class SheetDialog : public QDialog {
    Q_OBJECT

  public:
    SheetDialog(const GeodesySettings& geodesy, QWidget* parent = nullptr);

    QLineEdit* input() const { return input_; }
    QComboBox* scaleBox() const { return scale_; }
    QCheckBox* oldBox() const { return old_; }
    QComboBox* projectionBox() const { return projection_; }
    QLineEdit* meridianEdit() const { return meridian_; }
    QLabel* numberLabel() const { return number_; }
    QLabel* problemLabel() const { return problem_; }
    QTableWidget* cornersTable() const { return corners_; }
    QTableWidget* neighboursTable() const { return neighbours_; }

    // The job the controls describe; a refusal of the central meridian typed in `why`.
    bool Job(engine::SheetJob& job, QString& why) const;
    // Numbers the points of `input` into the CSV `output` (with a byte order mark, for Excel);
    // the summary, or the refusal, in `said`. False when nothing was written.
    bool NumberFile(const QString& input, const QString& output, QString& said);

  public slots:
    void Compute();  // 计算 (Enter)

  private:
    void LayOut(QPushButton* close);  // the controls in their places and tab order
    void ChooseFiles();               // 文件…
    void Show(const engine::SheetJob& job, const MapSheet& sheet);
    void Refuse(const QString& why);

    GeodesySettings geodesy_;
    QLineEdit* input_;
    QComboBox* scale_;
    QCheckBox* old_;
    QComboBox* projection_;
    QLineEdit* meridian_;
    QPushButton* compute_;
    QPushButton* file_;
    QLabel* number_;
    QLabel* problem_;
    QTableWidget* corners_;
    QTableWidget* neighbours_;
};

}  // namespace quorvel
