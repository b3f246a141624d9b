#pragma once

#include <QMainWindow>
#include <QMessageBox>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "engine/run/job.h"
#include "ui/file_compute_dialog.h"
#include "ui/settings_dialog.h"

namespace quorvel {

struct FileJobResult;
class JobRunner;
class MainWindow;

// The program's top-level window: the menu bar (文件, 设置, 帮助) above the documented window,
// whose controls keep their positions relative to the area below it. Computes whole files and
// keeps the ellipsoid and method settings.
class AppWindow : public QMainWindow {
    Q_OBJECT

  public:
    explicit AppWindow(QWidget* parent = nullptr);
    ~AppWindow() override;

    MainWindow* calculator() const { return calculator_; }
    const GeodesySettings& geodesy() const { return geodesy_; }
    void SetGeodesy(const GeodesySettings& settings);
    bool Computing() const;

  public slots:
    void OpenFileDialog();  // 从文件计算… (Ctrl+O)
    void OpenFile(const QString& path);
    void EditSettings();  // 椭球与算法…
    void ShowHelp();      // 使用说明 (F1)
    void ShowAbout();     // 关于 Quorvel
    // Computes a file with a job in a worker thread; a progress dialog that can be cancelled
    // stays up meanwhile, then the results window opens.
    void StartJob(const engine::Job& job, const QString& path, const QString& sheet = {});

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void Tell(QMessageBox::Icon icon, const QString& message);
    // Grows the window by what the calculator still lacks once the real frame and menu bar are
    // known, within the screen.
    void FitToScreen();
    // 从文件计算 for `path`, with the choices of `again` (after a cancelled run) when given.
    void AskAndStart(const QString& path, const FileComputeChoice* again);
    void JobFinished(std::shared_ptr<FileJobResult> result);

    MainWindow* calculator_;
    GeodesySettings geodesy_;
    JobRunner* runner_;
    bool fitted_ = false;
    // The dialog's choices for the run in progress, to return to when it is cancelled.
    std::optional<std::pair<QString, FileComputeChoice>> asked_;
};

// The settings file's view of the program.
std::unique_ptr<QSettings> ProgramSettings();

}  // namespace quorvel
