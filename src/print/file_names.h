#pragma once

#include <QFile>
#include <QString>
#include <string>

#include "platform/paths.h"

namespace quorvel {

// A file name from Qt as the engine takes it, and back. On Windows QFile::encodeName gives the
// ANSI code page, which loses Chinese names; the engine's names there are UTF-8.
inline std::string EngineFileName(const QString& name) {
    return platform::FileNamesAreUtf8() ? name.toStdString()
                                        : QFile::encodeName(name).toStdString();
}

inline QString QtFileName(const std::string& name) {
    return platform::FileNamesAreUtf8() ? QString::fromStdString(name)
                                        : QFile::decodeName(name.c_str());
}

}  // namespace quorvel
