// The scheduler's answers on Windows, where Qt asks the print system: a printer exists or not.
// Windows' spooler says why a job failed when it is drawn, so a queue is taken as accepting.
#include <QPrinterInfo>
#include <QString>

#include "print/cups_queue.h"

namespace quorvel {

bool QueueTakesFiles() {
    return false;
}

QueueStatus AskQueue(const std::string& queue) {
    QueueStatus status;
    status.known = !QPrinterInfo::printerInfo(QString::fromStdString(queue)).isNull();
    return status;
}

JobSubmission SubmitJob(const std::string&, const std::string&, const std::string&) {
    // Never called: QueueTakesFiles() sends the report to the printer itself.
    return {};
}

}  // namespace quorvel
