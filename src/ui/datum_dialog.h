#pragma once

#include <QDialog>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/datum_fit.h"
#include "core/parameter_file.h"
#include "ui/datum_heights.h"

class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QSettings;
class QTableView;
class QVBoxLayout;

namespace quorvel {
namespace engine {
struct TransformJob;
}

class CommonPointsModel;
class JobRunner;
struct PointFileChoice;
class ResidualModel;

// 工具 › 坐标转换…: the two systems and the model, the common points pasted or opened, the
// parameters fitted (core/datum_fit.h) with their residuals, and the parameter file of
// quorvel-batch saved and loaded. Messages show in the dialog's own line, so that nothing
// modal interrupts the keyboard.
class DatumDialog : public QDialog {
    Q_OBJECT

  public:
    explicit DatumDialog(QWidget* parent = nullptr);

    CommonPointsModel* points() const { return points_; }
    ResidualModel* residuals() const { return residuals_; }
    // The last fit, if the last 计算参数 succeeded.
    const std::optional<FitResult>& fit() const { return fit_; }
    QString message() const;
    // Whether the results shown (fitted or loaded) belong to the settings shown: every change of
    // a setting the fit depends on clears them.
    bool HasResults() const { return parameters_.has_value(); }
    QPushButton* saveButton() const { return save_; }
    QPushButton* convertButton() const { return convert_; }
    QPushButton* pipelineButton() const { return copyPipeline_; }
    QTableView* pointsView() const { return pointsView_; }
    QTableView* residualView() const { return residualView_; }
    QCheckBox* heightsBox() const { return heights_; }
    QComboBox* modelBox() const { return model_; }
    // 高程拟合: 无, 自动, 固定差, 平面拟合, 二次曲面拟合 (ui/datum_heights.h).
    QComboBox* heightModelBox() const { return heightModel_; }
    // The height model fitted beside the datum by the last 计算参数, if one was.
    const HeightFitResult* heightFit() const;

    // The choices as quorvel-batch names them; throws InvalidParameterError for a system the
    // widgets do not make (a meridian that does not read).
    CoordinateSystem Source() const;
    CoordinateSystem Target() const;
    bool Heights() const;
    FitOptions Options() const;
    void SetChoices(const CoordinateSystem& from, const CoordinateSystem& to, bool heights,
                    DatumModel model, RotationConvention convention);

    // The text `quorvel-batch fit -p` writes for the last fit; empty without one.
    std::string ParameterText() const;
    bool SaveParametersTo(const QString& path, QString& error) const;
    bool LoadParametersFrom(const QString& path, QString& error);
    // The loaded or fitted parameters with their systems, for 转换文件.
    const std::optional<ParameterFile>& parameters() const { return parameters_; }

    void Remember(QSettings& settings) const;
    void Recall(const QSettings& settings);

  public slots:
    void Compute();  // 计算参数 (F5)
    void Paste();    // Ctrl+V into the common points
    void OpenPoints();
    // The common points of a file as `choice` reads it, instead of those shown.
    void OpenPointsAs(const QString& path, const PointFileChoice& choice);
    void SaveParameters();
    void LoadParameters();
    void CopyPipeline();
    // 转换文件…: a file of points, its columns chosen as 从文件计算's are, converted with the
    // parameters shown (fitted or loaded; nothing needs saving first).
    void ConvertPoints();
    // Converts `input` read as `choice` says on a worker thread, with progress and 取消; the
    // points then show in a results window, a refusal in a message box.
    void ConvertFile(const QString& input, const PointFileChoice& choice);

  public:
    // The transform 转换文件 runs for a file read as `choice` says; the parameters shown.
    engine::TransformJob TransformJobFor(const PointFileChoice& choice) const;
    // The quorvel-batch command that writes the same CSV: PARAMS for a fit not saved.
    std::string TransformCommand(const QString& input, const PointFileChoice& choice) const;
    bool Converting() const;

  protected:
    void done(int result) override;

  private:
    struct Side {
        QComboBox* ellipsoid;
        QComboBox* kind;
        QComboBox* zones;
        QLineEdit* meridian;
    };
    // The parts of the dialog from top to bottom; each adds its controls to `order`, the
    // keyboard's.
    QHBoxLayout* BuildSystems(std::vector<QWidget*>& order);
    QHBoxLayout* BuildModelRow(std::vector<QWidget*>& order);
    void BuildPoints(QVBoxLayout& layout, std::vector<QWidget*>& order);
    void BuildResults(QVBoxLayout& layout, std::vector<QWidget*>& order);
    QHBoxLayout* BuildFileButtons(std::vector<QWidget*>& order);
    Side MakeSide(const QString& title, QWidget* box);
    CoordinateSystem SystemOf(const Side& side) const;
    void SetSide(const Side& side, const CoordinateSystem& system);
    void UpdateLayout();
    // Every setting the fit depends on, and the points, clear the results when they change.
    void ConnectChanges();
    // The 4-parameter model carries no heights: 含高程 H off and disabled while it is chosen,
    // the user's choice back with another model.
    void UpdateHeights();
    // The height model is fitted over the target's plane X, Y: off and disabled for another
    // target, the user's choice back with a plane one.
    void UpdateHeightModel();
    // Fits the height model chosen beside the datum's, its residuals and terms shown after the
    // datum's; false with the refusal said and nothing of either fit kept.
    bool FitHeights(const std::vector<CommonPoint>& points,
                    const std::vector<std::array<double, 2>>& heights);
    // The loaded or fitted parameters' lines: the datum's and the height model's.
    void ShowFile(const ParameterFile& f);
    // The names of the height model's columns the common points carry: h, H, or none.
    std::vector<std::string> HeightNames() const;
    // Drops the results and what uses them; says so when there were any.
    void ClearResults();
    void UpdateButtons();
    void Say(const QString& text, bool error);
    void ShowParameters(const DatumParameters& p, const DatumParameters* se, double sigma0);
    // The verdict on the residuals, with the rule applied.
    void SayVerdict(const FitResult& r, double factor);
    void RememberParameterFile(const QString& path) const;

    Side from_, to_;
    QCheckBox* heights_;
    QComboBox* model_;
    QComboBox* convention_;
    QComboBox* heightModel_;
    int heightModelWanted_ = 0;  // 高程拟合 as the user chose it, kept while the target hides it
    QTableView* pointsView_;
    QTableView* residualView_;
    QLabel* parametersText_;
    QLabel* checkText_;
    QLabel* message_;
    QPushButton* copyPipeline_;
    QPushButton* save_ = nullptr;
    QPushButton* convert_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    bool heightsWanted_ = false;  // 含高程 H as the user chose it, kept while 四参数 hides it
    CommonPointsModel* points_;
    ResidualModel* residuals_;
    std::optional<FitResult> fit_;
    std::optional<DialogHeightFit> heightFit_;
    std::optional<ParameterFile> parameters_;
    // The systems of the last fit, which the saved file names.
    CoordinateSystem fitFrom_, fitTo_;
    bool fitHeights_ = false;
    // The file the parameters shown were saved to or loaded from; empty when they were not.
    QString parameterPath_;
    JobRunner* runner_;
};

}  // namespace quorvel
