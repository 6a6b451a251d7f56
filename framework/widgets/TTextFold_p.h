#pragma once

// Internal to the framework: text compared without regard to letter case or accents.

#include <QString>

namespace TTextFold {

// The text without accents (combining marks after canonical decomposition) and
// case-folded: "Ação" and "acao" fold alike.
inline QString fold(const QString& text)
{
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    for (const QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing)
            out += c;
    return out.toCaseFolded();
}

} // namespace TTextFold
