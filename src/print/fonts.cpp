#include "print/fonts.h"

#include <QFont>
#include <QStringList>

namespace quorvel {

void InstallFontSubstitutions() {
    // WenQuanYi Zen Hei Mono has half-width Latin equal to its average character width, like
    // SimSun; Noto CJK's full-width average would double every report column.
    QFont::insertSubstitutions(QStringLiteral("宋体"),
                               {QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Zen Hei Mono"),
                                QStringLiteral("AR PL UMing CN")});
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("DejaVu Sans Condensed")});
}

}  // namespace quorvel
