#pragma once

#include <QMainWindow>
#include <QMessageBox>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ui/settings_dialog.h"

class QProgressDialog;
class QTimer;

namespace quorvel {

class FileJob;
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
    bool Computing() const { return job_ != nullptr; }

  public slots:
    void OpenFileDialog();  // 从文件计算… (Ctrl+O)
    void OpenFile(const QString& path);
    void EditSettings();  // 椭球与算法…
    void ShowHelp();      // 使用说明 (F1)
    void ShowAbout();     // 关于 Quorvel
    // Computes a file in a worker thread with quorvel-batch's arguments; a progress dialog
    // that can be cancelled stays up meanwhile, then the results window opens.
    void StartJob(const std::vector<std::string>& args, const std::string& projectionLabel = {});

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void Tell(QMessageBox::Icon icon, const QString& message);
    void PollJob();
    void StopJob();

    MainWindow* calculator_;
    GeodesySettings geodesy_;
    std::unique_ptr<FileJob> job_;
    std::thread worker_;
    QProgressDialog* progress_ = nullptr;
    QTimer* poll_;
};

// The settings file's view of the program.
std::unique_ptr<QSettings> ProgramSettings();

}  // namespace quorvel
