#include "engine/writers/report_spool.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/errors.h"
#include "core/messages.h"
#include "engine/reading/text_io.h"
#include "platform/files.h"

namespace quorvel::engine {
namespace {

constexpr std::size_t kBlock = 1 << 18;

void PutText(std::string& out, std::string_view text) {
    const auto n = static_cast<std::uint32_t>(text.size());
    out.append(reinterpret_cast<const char*>(&n), sizeof n);
    out.append(text);
}

void PutNumber(std::string& out, double v) {
    out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

}  // namespace

ReportSpool::ReportSpool(const std::string& folder) {
    const std::string dir = folder.empty() ? "." : folder;
    fd_ = platform::OpenTemporary(dir);
    if (fd_ < 0) {
        throw IoError(
            Fill(Tr("cannot write a temporary file in {0}: {1}"), {dir, std::strerror(errno)}));
    }
}

ReportSpool::~ReportSpool() {
    if (fd_ >= 0) platform::CloseFile(fd_);
}

void ReportSpool::Encode(std::string& records, std::string_view first, std::string_view second,
                         double a, double b) {
    PutText(records, first);
    PutText(records, second);
    PutNumber(records, a);
    PutNumber(records, b);
}

void ReportSpool::Append(std::string_view records, std::size_t count) {
    buffer_.append(records);
    count_ += count;
    if (fd_ >= 0 && buffer_.size() >= kBlock) FlushWrites();
}

void ReportSpool::FlushWrites() {
    FdSink(fd_, Tr("the report's temporary file")).Write(buffer_.data(), buffer_.size());
    buffer_.clear();
}

void ReportSpool::Rewind() {
    if (fd_ >= 0) {
        if (!reading_) FlushWrites();
        buffer_.clear();
        if (platform::SeekToStart(fd_) != 0) {
            throw IoError(CannotRead(Tr("the report's temporary file"), std::strerror(errno)));
        }
        eof_ = false;
    }
    reading_ = true;
    pos_ = 0;
}

bool ReportSpool::Have(std::size_t n) {
    if (buffer_.size() - pos_ >= n) return true;
    if (fd_ < 0) return false;
    buffer_.erase(0, pos_);
    pos_ = 0;
    FdSource source(fd_, Tr("the report's temporary file"));
    while (!eof_ && buffer_.size() < n) {
        const std::size_t old = buffer_.size();
        buffer_.resize(old + std::max(kBlock, n));
        const std::size_t got = source.Read(buffer_.data() + old, buffer_.size() - old);
        buffer_.resize(old + got);
        if (got == 0) eof_ = true;
    }
    return buffer_.size() >= n;
}

bool ReportSpool::Next(std::array<ValueCell, 4>& row) {
    std::string_view texts[2];
    for (std::string_view& text : texts) {
        std::uint32_t n = 0;
        if (!Have(sizeof n)) return false;
        std::memcpy(&n, buffer_.data() + pos_, sizeof n);
        if (!Have(sizeof n + n + 2 * sizeof(double))) {
            throw IoError(Tr("the report's temporary file ends early"));
        }
        pos_ += sizeof n;
        text = std::string_view(buffer_).substr(pos_, n);
        pos_ += n;
        if (&text == &texts[0]) row[0] = ValueCell(std::string(text));
    }
    row[1] = ValueCell(std::string(texts[1]));
    double v[2];
    std::memcpy(v, buffer_.data() + pos_, sizeof v);
    pos_ += sizeof v;
    row[2] = ValueCell(v[0]);
    row[3] = ValueCell(v[1]);
    return true;
}

std::vector<std::array<ValueCell, 4>> ReportSpool::ReadAll() {
    Rewind();
    std::vector<std::array<ValueCell, 4>> rows;
    std::array<ValueCell, 4> row;
    while (Next(row)) rows.push_back(row);
    return rows;
}

}  // namespace quorvel::engine
