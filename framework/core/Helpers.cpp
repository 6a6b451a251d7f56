#include "Helpers.h"

#include "EAbort.h"
#include "TMessagePresenter.h"

bool EmptyString(const QString& text)
{
    return text.trimmed().isEmpty();
}

QString Ajusta(const QString& text, int width)
{
    const QString code = text.trimmed();
    if (code.isEmpty() || code.size() >= width)
        return code.isEmpty() ? text : code;
    return code.rightJustified(width, u'0');
}

void MensErro(const QString& text, bool abort)
{
    TMessagePresenter::current().showError(text);
    if (abort)
        throw EAbort();
}

bool FitsWindows1252(const QString& text)
{
    // The 27 characters that Windows-1252 places in 0x80-0x9F instead of C1 controls.
    static const QString extra = QStringLiteral(
        u"\u20AC\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152\u017D"
        u"\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161\u203A\u0153\u017E\u0178");
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
            continue;
        if (!extra.contains(c))
            return false;
    }
    return true;
}
