#include "widgets/symbolfont.h"

namespace SymbolFont {
QString span(const QString &glyph, const QString &extraStyle)
{
    return QStringLiteral("<span style='font-family:\"") + Family + QStringLiteral("\"; ") + extraStyle
        + QStringLiteral("'>") + glyph + QStringLiteral("</span>");
}

QString labelStyleSheet()
{
    return QStringLiteral("QLabel{font-family:\"") + Family + QStringLiteral("\";}");
}
} // namespace SymbolFont
