#include "print/cups_queue.h"

#include <cups/cups.h>

#include <iterator>
#include <memory>
#include <string_view>

namespace quorvel {
namespace {

struct IppDelete {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using Ipp = std::unique_ptr<ipp_t, IppDelete>;

// The queue's name without an instance ("name/instance" names one set of options).
std::string QueueName(const std::string& queue) {
    return queue.substr(0, queue.find('/'));
}

std::string PrinterUri(const std::string& name) {
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                     "/printers/%s", name.c_str());
    return uri;
}

// Sends a request to the scheduler; null when it failed.
Ipp Ask(ipp_t* request) {
    Ipp response(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/"));
    if (!response || cupsLastError() > IPP_STATUS_OK_CONFLICTING) return nullptr;
    return response;
}

std::string Text(ipp_t* response, const char* name) {
    ipp_attribute_t* attr = ippFindAttribute(response, name, IPP_TAG_ZERO);
    const char* text = attr ? ippGetString(attr, 0, nullptr) : nullptr;
    return text ? text : "";
}

// The keywords of a state-reasons attribute, "none" left out, joined with ", ".
std::string Reasons(ipp_t* response, const char* name) {
    std::string out;
    ipp_attribute_t* attr = ippFindAttribute(response, name, IPP_TAG_KEYWORD);
    for (int i = 0; attr && i < ippGetCount(attr); ++i) {
        const char* r = ippGetString(attr, i, nullptr);
        if (!r || std::string_view(r) == "none") continue;
        if (!out.empty()) out += ", ";
        out += r;
    }
    return out;
}

}  // namespace

bool QueueTakesFiles() {
    return true;
}

QueueStatus AskQueue(const std::string& queue) {
    static const char* const kWanted[] = {"printer-is-accepting-jobs", "printer-state-message",
                                          "printer-state-reasons"};
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                 PrinterUri(QueueName(queue)).c_str());
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(std::size(kWanted)), nullptr, kWanted);
    const Ipp response = Ask(request);
    QueueStatus status;
    if (!response) return status;
    ipp_attribute_t* accepting =
        ippFindAttribute(response.get(), "printer-is-accepting-jobs", IPP_TAG_BOOLEAN);
    if (!accepting) return status;
    status.known = true;
    status.accepting = ippGetBoolean(accepting, 0) != 0;
    status.reason = Text(response.get(), "printer-state-message");
    if (status.reason.empty()) status.reason = Reasons(response.get(), "printer-state-reasons");
    return status;
}

JobSubmission SubmitJob(const std::string& queue, const std::string& file,
                        const std::string& title) {
    JobSubmission job;
    const std::string name = QueueName(queue);
    job.jobId =
        cupsPrintFile2(CUPS_HTTP_DEFAULT, name.c_str(), file.c_str(), title.c_str(), 0, nullptr);
    if (job.jobId == 0) {
        const char* why = cupsLastErrorString();
        job.reason = why ? why : "";
        return job;
    }

    static const char* const kWanted[] = {"job-state", "job-state-reasons",
                                          "job-printer-state-message"};
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                 PrinterUri(name).c_str());
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", job.jobId);
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(std::size(kWanted)), nullptr, kWanted);
    const Ipp response = Ask(request);
    ipp_attribute_t* state =
        response ? ippFindAttribute(response.get(), "job-state", IPP_TAG_ENUM) : nullptr;
    const int s = state ? ippGetInteger(state, 0) : IPP_JSTATE_PENDING;
    job.ok = s != IPP_JSTATE_CANCELED && s != IPP_JSTATE_ABORTED;
    if (!job.ok) {
        job.reason = Text(response.get(), "job-printer-state-message");
        if (job.reason.empty()) job.reason = Reasons(response.get(), "job-state-reasons");
    }
    return job;
}

}  // namespace quorvel
