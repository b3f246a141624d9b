#pragma once

#include <memory>

#include "engine/writers/gdal_reader.h"

namespace quorvel::engine {

// A .xls workbook read with FreeXL, the library under GDAL's XLS driver: that driver gives a
// number in a column that also holds text as text of 15 digits, FreeXL gives the double stored.
// Part of the module quorvel-gdal.
std::unique_ptr<GdalSheetReader> NewFreexlSheetReader();

}  // namespace quorvel::engine
