#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/datum/datum_operation.h"
#include "engine/reading/text_io.h"
#include "engine/run/rows.h"

namespace quorvel::engine {

// The CASS coordinate file: "name,code,Y,X,H" a point, easting before northing, CRLF, no
// header. Code and H come from the columns passed through that the header names code or 编码
// and H or 高程, else empty; a transform's H is its own, the height model's normal height first.
// GB18030, as CASS on Chinese Windows reads it, or UTF-8 when the job asks. CASS knows no quoting,
// so a comma or line break in a text, or an H that is no number, stops the run (IoError) rather
// than shifting the fields.
class DatSink : public RowSink {
  public:
    DatSink(const Job& job, OutputBuffer& out) : job_(job), out_(out) {}
    // A datum transform's rows into a plane system: X2 and Y2, and H2 when it carries heights.
    DatSink(const TransformJob& transform, OutputBuffer& out);
    void Begin(const std::vector<std::string>& columns) override;
    void Encode(const RowBlock& rows, std::string& encoded) const override;
    void Take(const RowBlock& rows, std::string_view encoded) override;
    void End() override;

  private:
    void ToGb18030(const RowBlock& rows, std::size_t start, std::string& encoded) const;

    Job own_;  // a transform's: its numbers written as the forward computation's metres
    const Job& job_;
    OutputBuffer& out_;
    std::size_t head_ = 0;       // a transform's columns before those passed through
    bool heightResult_ = false;  // H is the transform's third result
    // H is the normal height of the transform's height model: computed from h, or read with
    // toEllipsoidal.
    bool heightModel_ = false, toEllipsoidal_ = false;
    std::vector<std::string> columns_;
    std::size_t passedFrom_ = 0;  // the column of the first field passed through
    std::size_t code_ = SIZE_MAX, height_ = SIZE_MAX;  // among the fields passed through
};

}  // namespace quorvel::engine
