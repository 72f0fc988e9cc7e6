#pragma once

#include <QString>

// Glyphs of the bundled symbol font, used in rich-text labels.
namespace SymbolFont {
inline const QString Family = QStringLiteral("Noto Sans Symbols2");

inline const QString LeftTriangle = QStringLiteral("\u25C0"); // incoming call
inline const QString RightTriangle = QStringLiteral("\u25B6"); // outgoing call
inline const QString Telephone = QStringLiteral("\u260E");
inline const QString Envelope = QStringLiteral("\u2709");
inline const QString Dot = QStringLiteral("\u25CF");

// `glyph` wrapped in a span that selects the symbol font.
QString span(const QString &glyph, const QString &extraStyle = QString());
// A QLabel style sheet that draws the whole label in the symbol font.
QString labelStyleSheet();
} // namespace SymbolFont
