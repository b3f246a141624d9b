#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

class QProgressDialog;
class QWidget;

namespace quorvel {

class FileJob;
struct FileJobResult;

// Runs a FileJob (从文件计算's projection or 坐标转换's transform) on a worker thread, a window-
// modal progress dialog with 取消 and the share of the file read up meanwhile. `finished` gets
// the result, or null when the run was cancelled (a Cancel after the last read too): nothing of
// a cancelled run is kept.
class JobRunner : public QObject {
    Q_OBJECT

  public:
    using Finished = std::function<void(std::shared_ptr<FileJobResult>)>;

    explicit JobRunner(QWidget* owner);
    ~JobRunner() override;

    // From Start until `finished` was called or Stop returned.
    bool Running() const { return progress_ != nullptr; }
    // `label` above the progress bar. At most one run at a time: false while one runs.
    bool Start(std::shared_ptr<FileJob> job, const QString& label, Finished finished);
    // Cancels the run in progress and waits for it; `finished` is not called.
    void Stop();
    QProgressDialog* progress() const { return progress_; }

  private:
    void Done();

    QWidget* owner_;
    QFutureWatcher<std::shared_ptr<FileJobResult>> running_;
    std::atomic<bool> cancel_{false};
    QProgressDialog* progress_ = nullptr;
    Finished finished_;
};

}  // namespace quorvel
