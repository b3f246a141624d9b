#pragma once

#include <string>

namespace quorvel {

// The print scheduler: CUPS on Linux; on Windows its print system, asked through Qt.

// Whether the scheduler takes a finished file as a job (CUPS); else the report is drawn on the
// printer itself.
bool QueueTakesFiles();

// What the print scheduler says about a queue.
struct QueueStatus {
    bool known = false;     // the scheduler answered for this queue
    bool accepting = true;  // it takes new jobs
    std::string reason;     // its state message, else its state reasons; may be empty
};

// Asks the scheduler (CUPS_SERVER, or the system's) about `queue` ("name" or "name/instance").
QueueStatus AskQueue(const std::string& queue);

// The fate of one job handed to a queue.
struct JobSubmission {
    int jobId = 0;       // 0 when the scheduler refused the job
    bool ok = false;     // taken, and not aborted or canceled when asked right after
    std::string reason;  // why not, in the scheduler's words; may be empty
};

// Sends `file` to `queue` as one job named `title`, then asks the job's state once: a job the
// scheduler refuses, or one already aborted or canceled, is reported with the reason.
JobSubmission SubmitJob(const std::string& queue, const std::string& file,
                        const std::string& title);

}  // namespace quorvel
