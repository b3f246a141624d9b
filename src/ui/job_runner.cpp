#include "ui/job_runner.h"

#include <QProgressDialog>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

#include "core/messages.h"
#include "print/qt_messages.h"
#include "ui/file_job.h"

namespace quorvel {

JobRunner::JobRunner(QWidget* owner) : QObject(owner), owner_(owner) {
    connect(&running_, &QFutureWatcherBase::progressValueChanged, this, [this](int value) {
        if (progress_ != nullptr) progress_->setValue(value);
    });
    connect(&running_, &QFutureWatcherBase::finished, this, &JobRunner::Done);
}

JobRunner::~JobRunner() {
    Stop();
}

bool JobRunner::Start(std::shared_ptr<FileJob> job, const QString& label, Finished finished) {
    if (Running()) return false;
    finished_ = std::move(finished);
    progress_ = new QProgressDialog(label, QStringLiteral("取消"), 0, 1000, owner_);
    progress_->setWindowTitle(QStringLiteral("正在计算"));
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setMinimumDuration(0);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    progress_->setValue(0);
    progress_->show();
    cancel_ = false;
    connect(progress_, &QProgressDialog::canceled, this, [this] {
        cancel_ = true;
        progress_->setLabelText(QtMessage(Tr("Cancelling…")));
    });
    running_.setFuture(
        QtConcurrent::run([job, this](QPromise<std::shared_ptr<FileJobResult>>& promise) {
            promise.setProgressRange(0, 1000);
            job->Run([&](std::uint64_t read, std::uint64_t total) {
                const std::uint64_t permille = read * 1000 / std::max<std::uint64_t>(total, 1);
                promise.setProgressValue(static_cast<int>(std::min<std::uint64_t>(999, permille)));
                return !cancel_;
            });
            promise.addResult(std::shared_ptr<FileJobResult>(job->TakeResult()));
        }));
    return true;
}

void JobRunner::Done() {
    if (progress_ == nullptr) return;  // stopped
    std::shared_ptr<FileJobResult> result = running_.result();
    // A Cancel that came after the last read leaves no results either.
    const bool cancelled = result->cancelled || progress_->wasCanceled();
    // Gone before a results window shows, so the focus does not fall back on the owner.
    progress_->hide();
    progress_->deleteLater();
    progress_ = nullptr;
    Finished finished = std::move(finished_);
    finished_ = nullptr;
    if (finished) finished(cancelled ? nullptr : std::move(result));
}

void JobRunner::Stop() {
    if (!Running()) return;
    cancel_ = true;
    running_.waitForFinished();
    if (progress_ != nullptr) {
        progress_->deleteLater();
        progress_ = nullptr;
    }
    finished_ = nullptr;
}

}  // namespace quorvel
