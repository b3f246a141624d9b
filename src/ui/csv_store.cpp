#include "ui/csv_store.h"

#include <algorithm>
#include <cstring>

namespace quorvel {

void CsvStore::Write(const char* data, std::size_t size) {
    std::string_view rest(data, size);
    if (!pending_.empty()) {
        const std::size_t lf = rest.find('\n');
        if (lf == std::string_view::npos) {
            pending_.append(rest);
            return;
        }
        pending_.append(rest.substr(0, lf + 1));
        Store(pending_);
        pending_.clear();
        rest.remove_prefix(lf + 1);
    }
    // Every LF ends a record: fields never hold one, since input lines are split at LF.
    for (;;) {
        const void* lf = std::memchr(rest.data(), '\n', rest.size());
        if (lf == nullptr) break;
        const auto end = static_cast<std::size_t>(static_cast<const char*>(lf) - rest.data()) + 1;
        Store(rest.substr(0, end));
        rest.remove_prefix(end);
    }
    pending_.append(rest);
}

void CsvStore::Store(std::string_view record) {
    if (!headerSeen_) {
        headerSeen_ = true;
        headerBytes_ = record;
        header_ = record.substr(0, record.size() - (record.ends_with("\r\n") ? 2 : 1));
        if (header_.starts_with(kBom)) header_.erase(0, kBom.size());
        return;
    }
    if (blocks_.empty() || used_.back() + record.size() > kBlock) {
        // A record is far shorter than a block: input lines are at most 64 KB.
        blocks_.push_back(std::make_unique<char[]>(std::max(kBlock, record.size())));
        used_.push_back(0);
    }
    const std::size_t block = blocks_.size() - 1;
    std::memcpy(blocks_[block].get() + used_[block], record.data(), record.size());
    rowStart_.push_back(block * kBlock + used_[block]);
    used_[block] += record.size();
}

std::string_view CsvStore::Row(std::size_t row) const {
    const std::uint64_t at = rowStart_.at(row);
    const std::size_t block = static_cast<std::size_t>(at / kBlock);
    const std::size_t offset = static_cast<std::size_t>(at % kBlock);
    const char* begin = blocks_[block].get() + offset;
    const std::size_t room = used_[block] - offset;
    const auto* lf = static_cast<const char*>(std::memchr(begin, '\n', room));
    std::size_t size = lf ? static_cast<std::size_t>(lf - begin) : room;
    if (size > 0 && begin[size - 1] == '\r') --size;
    return {begin, size};
}

void CsvStore::WriteAll(engine::ByteSink& sink) const {
    sink.Write(headerBytes_.data(), headerBytes_.size());
    for (std::size_t i = 0; i < blocks_.size(); ++i) sink.Write(blocks_[i].get(), used_[i]);
    if (!pending_.empty()) sink.Write(pending_.data(), pending_.size());
}

std::uint64_t CsvStore::ByteSize() const {
    std::uint64_t size = headerBytes_.size() + pending_.size();
    for (std::size_t used : used_) size += used;
    return size;
}

void SplitCsvRecord(std::string_view record, std::vector<std::string>& fields) {
    fields.clear();
    std::size_t i = 0;
    for (;;) {
        std::string& field = fields.emplace_back();
        if (i < record.size() && record[i] == '"') {
            for (++i; i < record.size(); ++i) {
                if (record[i] != '"') {
                    field += record[i];
                } else if (i + 1 < record.size() && record[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
        }
        const std::size_t comma = record.find(',', i);
        field.append(record.substr(i, comma == std::string_view::npos ? comma : comma - i));
        if (comma == std::string_view::npos) return;
        i = comma + 1;
    }
}

}  // namespace quorvel
