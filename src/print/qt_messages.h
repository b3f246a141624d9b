#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "core/messages.h"

namespace quorvel {

// A message of the catalogue as Qt text: `text` as Tr() gives it, {0}, {1}, ... filled with
// `args`. For the printer's outcomes and the window's messages.
inline QString QtMessage(const std::string& text, const QStringList& args = {}) {
    std::vector<std::string> utf8;
    utf8.reserve(static_cast<std::size_t>(args.size()));
    for (const QString& a : args) utf8.push_back(a.toStdString());
    return QString::fromStdString(FillList(text, utf8));
}

}  // namespace quorvel
