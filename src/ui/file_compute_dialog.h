#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/computation.h"
#include "engine/run/job.h"
#include "ui/point_preview.h"

class QCheckBox;
class QComboBox;
class QFormLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QTableWidget;
class QToolButton;

namespace quorvel {

// What a column of the file is to the computation: the point's name, the first or second of
// the two values (L and B, X and Y, X1 and Y1), passed through to the output (带入) or left out
// of it (忽略).
enum class ColumnRole { Name, First, Second, Pass, Drop };

// What 从文件计算 asks for a file: every option quorvel-batch has for a file run but the
// ellipsoid and method, which are the settings'.
struct FileComputeChoice {
    Computation mode = Computation::Forward;
    QString lo, ls;
    int zoneWidth = 0;  // 0: the meridian Lo as typed; 3 or 6: each point's own zone
    QString encoding;   // as --encoding reads it ("gb18030", "gbk"); empty for UTF-8
    QString sheet;      // a workbook's sheet, as --sheet; empty for text (not kept)
    bool zonePrefix = false;
    bool header = false;
    // One per column; empty: the name and the two values in the first three, the rest passed.
    std::vector<ColumnRole> roles;
    // 更多选项: --decimal-comma, --k0 and --false-easting as typed (empty: the default),
    // --convergence, --scale, --compare, --full.
    bool decimalComma = false;
    QString k0, falseEasting;
    bool convergence = false;
    bool scale = false;
    bool compare = false;
    bool full = false;
    // The projection height (metres) and the distortion limit (cm/km) as typed (empty: 0 and
    // 2.5), and the distortion column (--distortion), the heights from the column the header
    // names H or 高程.
    QString projectionHeight, distortionLimit;
    bool distortion = false;

    bool operator==(const FileComputeChoice&) const = default;
};

// The job of `choice` with the settings' `projection` (ellipsoid, method) into `job`, checked as
// quorvel-batch checks its options; a refusal says what cannot be used.
[[nodiscard]] std::optional<engine::JobRefusal> MakeJob(const FileComputeChoice& choice,
                                                        const engine::Geodesy& projection,
                                                        engine::Job& job);

// Why a typed meridian cannot be used, in the words of the window's prompts; empty when it can.
QString CheckMeridian(const QString& label, const QString& text);

// The roles of `columns` columns in today's order: name, the two values, the rest passed.
std::vector<ColumnRole> DefaultRoles(std::size_t columns);
// The roles a header line's names give `mode` (engine/reading/column_names.h): X and Y columns are
// the values of inverse and zone change, L and B those of forward; any other column is passed
// through. nullopt unless both values are named.
std::optional<std::vector<ColumnRole>> RolesFromNames(const std::vector<QString>& names,
                                                      Computation mode);
// The 0-based fields of the name and the two values, and those dropped; nullopt unless exactly
// one column has each of the three roles.
struct RoleFields {
    std::array<std::size_t, 3> fields{0, 1, 2};
    std::vector<std::size_t> dropped;
};
std::optional<RoleFields> FieldsOfRoles(const std::vector<ColumnRole>& roles);

// 从文件计算: the file's first lines as parsed, with a role for each column in the row above
// them; then, in tab order with the focus on the first, the computation type, Lo (or a 3°/6°
// zone), Ls (zone change only), the encoding, the zone number in front of Y, whether the first
// line is a header, the columns' roles and 更多选项 (closed until opened). Enter (计算) starts.
// The choices are kept for the next file with the same header.
class FileComputeDialog : public QDialog {
    Q_OBJECT

  public:
    FileComputeDialog(const QString& path, const QString& settingsText,
                      const engine::Geodesy& projection = {}, QWidget* parent = nullptr);

    FileComputeChoice choice() const;
    // Every control as `choice` has it (the dialog reopened after a cancelled run).
    void SetChoice(const FileComputeChoice& choice);
    // The job accepted with 计算.
    const engine::Job& job() const { return job_; }

    QComboBox* typeBox() const { return type_; }
    QLineEdit* loEdit() const { return lo_; }
    QLineEdit* lsEdit() const { return ls_; }
    QComboBox* zoneBox() const { return zone_; }
    QComboBox* encodingBox() const { return encoding_; }
    QComboBox* sheetBox() const { return sheet_; }
    QCheckBox* headerBox() const { return header_; }
    QTableWidget* preview() const { return preview_; }
    QToolButton* moreButton() const { return more_; }
    // The role of column `column` (0-based), in the preview's role row.
    QComboBox* roleBox(std::size_t column) const { return roleBoxes_.at(column); }
    std::size_t columnCount() const { return roleBoxes_.size(); }

  public slots:
    void accept() override;

  private:
    void FillChoices();
    void LayOut(const QString& settingsText);
    QFormLayout* BuildForm();
    void BuildMore();
    QHBoxLayout* BuildButtons();
    // What the file suggests, or what was chosen last for a file like it; sets key_.
    FileComputeChoice StartingChoice();
    void ConnectControls();
    void FitToScreen();
    void Refresh();
    void ReadPreview();
    void ShowPreview();
    void RolesChanged();
    // The computation changed: the columns the header names take the values it reads.
    void ModeChanged();
    // Why the roles cannot be used, with what the header's names suggest.
    QString RolesHint() const;
    void ShowMore(bool shown);
    void OrderTabs();
    QString Encoding() const;
    QString Sheet() const;  // empty for text

    QString path_;
    engine::Geodesy projection_;
    QString key_;  // of the kept choices: the file's header, or its number of columns
    std::vector<PreviewLine> lines_;
    std::vector<ColumnRole> roles_;
    std::vector<QComboBox*> roleBoxes_;
    engine::Job job_;

    QTableWidget* preview_;
    QLabel* rolesLabel_;
    QLabel* fields_;
    QComboBox* type_;
    QLineEdit* lo_;
    QComboBox* zone_;
    QLineEdit* ls_;
    QComboBox* encoding_;
    QComboBox* sheet_;
    QLabel* sheetLabel_;
    bool workbook_ = false;
    QCheckBox* prefix_;
    QCheckBox* header_;
    QToolButton* more_;
    QWidget* moreBox_;
    QScrollArea* scroll_ = nullptr;
    QCheckBox* decimalComma_;
    QLineEdit* k0_;
    QLineEdit* falseEasting_;
    QCheckBox* convergence_;
    QCheckBox* scale_;
    QCheckBox* compare_;
    QCheckBox* full_;
    QLineEdit* projectionHeight_;
    QCheckBox* distortion_;
    QLineEdit* distortionLimit_;
    QPushButton* compute_;
    QPushButton* cancel_;
};

}  // namespace quorvel
