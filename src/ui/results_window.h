#pragma once

#include <QMainWindow>
#include <QStringList>
#include <memory>
#include <optional>
#include <thread>

#include "core/parameter_file.h"
#include "report/report.h"
#include "ui/file_job.h"

class QLabel;
class QPrinter;
class QSplitter;
class QTableView;

namespace quorvel {

class ResultsModel;
class PointMap;

// 计算结果 — FILE (a second window of the same file open beside it "计算结果 — FILE (2)"): the
// computed rows as a table, "N 点，M 行被拒绝", the rejected lines with their reasons, and the
// map of the points. 导出… writes exactly the CSV quorvel-batch writes
// with --bom for the same file and settings, or another format by the file's ending.
class ResultsWindow : public QMainWindow {
    Q_OBJECT

  public:
    explicit ResultsWindow(std::shared_ptr<const FileJobResult> result, QWidget* parent = nullptr);
    ~ResultsWindow() override;

    QTableView* table() const { return table_; }
    ResultsModel* model() const { return model_; }
    PointMap* map() const { return map_; }
    const FileJobResult& result() const { return *result_; }

    // The bytes an export writes: a UTF-8 byte order mark, then the engine's CSV.
    static bool WriteCsv(const FileJobResult& result, const QString& path, QString* error);
    // The export in the format the file's ending names (engine/writers/output_format.h): the CSV
    // above, or what quorvel-batch --format writes for the same rows (KML from Beijing 1954 or
    // Xi'an 1980 with `parameters`, as -p gives them). `warnings` gets the renamed columns and
    // GDAL's warnings.
    static bool WriteResults(const FileJobResult& result, const QString& path, QString* error,
                             QStringList* warnings,
                             const std::optional<ParameterFile>& parameters = std::nullopt,
                             const QString& parametersPath = {});

  public slots:
    void ExportCsv();
    void CopyRows();
    void PrintReport();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    // The title: the kind of results and the file, numbered after the first window of both.
    void TakeNumber();
    // The summary, the command, the table beside the map and the rejected lines below them;
    // returns the splitter of the last two.
    QSplitter* LayOut(QTableView*& rejected);
    void AddMenuAndTools();
    // The map's points, read in the background, and the selection shared with the table.
    void ConnectMap();
    void FitToScreen(QTableView* rejected, QSplitter* stacked);
    // Whether there is a report to print, and the user wants it when it is long.
    bool MayPrint();
    void Print(const Report& report, QPrinter& printer);
    // The file to export to, of a format the results can be written in; empty when cancelled.
    QString ChooseExportFile();
    // The parameter file KML from this run's datum goes through, asked for with the one
    // 坐标转换 last saved or loaded offered; empty when cancelled or unusable (said).
    QString ChooseParameters(std::optional<ParameterFile>& parameters);

    std::shared_ptr<const FileJobResult> result_;
    ResultsModel* model_;
    QTableView* table_;
    PointMap* map_;
    std::thread mapper_;  // places the points for the map once the table shows
    QString base_;        // the title without its number; empty once closed
    int number_ = 1;
};

// Opens a results window of its own for `result` over `parent`.
void ShowResults(std::shared_ptr<const FileJobResult> result, QWidget* parent);

// The report of the computed points: what quorvel-batch's --report prints for the same run.
// Throws engine::IoError when the points cannot be read back.
Report ReportOf(const FileJobResult& result);

// "1 点，0 行被拒绝", then "，2 个横坐标去掉了中央子午线的带号" and "，1 条警告" when any.
QString SummaryText(const FileJobResult& result);

}  // namespace quorvel
