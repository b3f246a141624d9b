#pragma once

#include <string>

namespace quorvel::engine {

// GDAL's drivers for KML, DXF and Shapefiles write through its file layer and drop the result of
// most writes, so a full disk leaves a short file that GDAL reports as written. A path made by
// CheckedPath leads to the same file through a layer that records the first failed open for
// writing, write, flush or close, under a number of the writer's own. Part of quorvel-gdal.so.
class CheckedFiles {
  public:
    CheckedFiles();
    ~CheckedFiles();
    CheckedFiles(const CheckedFiles&) = delete;
    CheckedFiles& operator=(const CheckedFiles&) = delete;

    // `path` (absolute or relative) as GDAL is to be given it.
    std::string Path(const std::string& path) const;
    // The errno of the first failure so far, 0 when none.
    int Failure() const;

  private:
    int token_;
};

}  // namespace quorvel::engine
