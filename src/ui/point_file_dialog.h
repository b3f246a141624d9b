#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <string>
#include <vector>

#include "ui/point_preview.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QTableWidget;

namespace quorvel {

// How 坐标转换 reads a file of points: as quorvel-batch's --encoding, --header, --decimal-comma
// and --fields.
struct PointFileChoice {
    QString encoding;  // as --encoding reads it ("gb18030", "gbk"); empty for UTF-8
    QString sheet;     // a workbook's sheet, as --sheet; empty for text
    bool header = false;
    bool decimalComma = false;
    // 0-based: the name's column, then each coordinate's; empty: in order from the first.
    std::vector<std::size_t> fields;

    bool operator==(const PointFileChoice&) const = default;
};

// What a file suggests for the coordinates `coordinates` (a datum layout's names: X1, Y1, H1,
// X2 ...) without asking: its encoding, whether its first line is a header, and the columns
// that header's names give (else the name and the coordinates in order).
PointFileChoice GuessPointFile(const QString& path, const std::vector<std::string>& coordinates);

// The arguments of fit and transform that read a file as `choice` says, none of them a default.
std::vector<std::string> ReadingArguments(const PointFileChoice& choice);

// 打开公共点文件 and 转换文件: the file's first lines as parsed, with a role for each column (the
// name, each coordinate, or `otherRole`: 带入 or 忽略), as 从文件计算 shows them; the encoding,
// whether the first line is a header, and whether its decimal point is a comma. The roles are
// guessed from the header's names and kept for the next file with the same header.
class PointFileDialog : public QDialog {
    Q_OBJECT

  public:
    // `coordinates` as GuessPointFile's; `shown` their names in the role boxes.
    PointFileDialog(const QString& path, const QString& title,
                    const std::vector<std::string>& coordinates, const QStringList& shown,
                    const QString& otherRole, QWidget* parent = nullptr);

    PointFileChoice choice() const;
    QComboBox* encodingBox() const { return encoding_; }
    QComboBox* sheetBox() const { return sheet_; }
    QCheckBox* headerBox() const { return header_; }
    QCheckBox* decimalCommaBox() const { return decimalComma_; }
    QTableWidget* preview() const { return preview_; }
    QComboBox* roleBox(std::size_t column) const { return roleBoxes_.at(column); }
    std::size_t columnCount() const { return roleBoxes_.size(); }
    QString rolesText() const;

  public slots:
    void accept() override;

  private:
    void LayOut();
    void Start();
    void ReadPreview();
    void ShowPreview();
    void RolesChanged();
    void OrderTabs();
    // The 0-based fields of the name and of each coordinate; empty unless each has one column.
    std::vector<std::size_t> Fields() const;
    void Keep() const;
    QString Sheet() const;  // empty for text
    bool Recall();

    QString path_;
    std::vector<std::string> coordinates_;
    QStringList roleNames_;  // 点名, the coordinates, the other role
    QString key_;
    std::vector<PreviewLine> lines_;
    std::vector<int> roles_;
    std::vector<QComboBox*> roleBoxes_;
    QTableWidget* preview_;
    QLabel* rolesLabel_;
    QLabel* fields_;
    QComboBox* encoding_;
    QComboBox* sheet_;
    QLabel* sheetLabel_;
    bool workbook_ = false;
    QCheckBox* header_;
    QCheckBox* decimalComma_;
    QWidget* ok_ = nullptr;
    QWidget* cancel_ = nullptr;
};

}  // namespace quorvel
