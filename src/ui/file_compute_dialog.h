#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <vector>

#include "core/computation.h"
#include "engine/job.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace quorvel {

// What 从文件计算 asks for a file.
struct FileComputeChoice {
    Computation mode = Computation::Forward;
    QString lo, ls;
    int zoneWidth = 0;  // 0: the meridian Lo as typed; 3 or 6: each point's own zone
    bool gb18030 = false;
    bool zonePrefix = false;
    bool header = false;
};

// The job of `choice` with the settings' `projection` (ellipsoid, method), checked as
// quorvel-batch checks its options. Throws engine::UsageError.
engine::Job JobFor(const FileComputeChoice& choice, const engine::Geodesy& projection);

// Why a typed meridian cannot be used, in the words of the window's prompts; empty when it can.
QString CheckMeridian(const QString& label, const QString& text);

// The first lines of a file as the computation will read them, for the dialog's preview: line
// number, then the fields (name, the two values, further fields), or the reason the line would
// be rejected. Comments and empty lines are left out.
struct PreviewLine {
    std::size_t line = 0;
    std::vector<QString> fields;
    QString problem;
};
std::vector<PreviewLine> PreviewFile(const QString& path, bool gb18030, int maxLines = 12);

// Whether the file's start is not UTF-8 but reads as GB18030, as files saved by Chinese Windows
// programs do.
bool LooksLikeGb18030(const QString& path);

// 从文件计算: the file's first lines as parsed, then, in tab order with the focus on the first,
// the computation type, Lo (or a 3°/6° zone), Ls (zone change only), the encoding, the zone
// number in front of Y, and whether the first line is a header. Enter (计算) starts.
class FileComputeDialog : public QDialog {
    Q_OBJECT

  public:
    FileComputeDialog(const QString& path, const QString& settingsText, QWidget* parent = nullptr);

    FileComputeChoice choice() const;
    QComboBox* typeBox() const { return type_; }
    QLineEdit* loEdit() const { return lo_; }
    QLineEdit* lsEdit() const { return ls_; }

  public slots:
    void accept() override;

  private:
    void Refresh();
    void ShowPreview();

    QString path_;
    QTableWidget* preview_;
    QComboBox* type_;
    QLineEdit* lo_;
    QComboBox* zone_;
    QLineEdit* ls_;
    QComboBox* encoding_;
    QCheckBox* prefix_;
    QCheckBox* header_;
    QPushButton* compute_;
    bool headerGuessed_ = false;
};

}  // namespace quorvel
