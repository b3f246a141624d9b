#pragma once

// Offscreen windows cannot pass size hints on, and Qt says so for every window and dialog shown:
// the tests' output keeps only what is worth reading.
#include <QtGlobal>

namespace quorvel::testing {

inline void SilenceOffscreenSizeHints() {
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
            if (message != u"This plugin does not support propagateSizeHints()")
                previous(type, context, message);
        });
}

}  // namespace quorvel::testing
