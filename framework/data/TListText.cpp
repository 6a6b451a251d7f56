#include "TListText.h"

QString TListText::format(const QStringList& keys)
{
    QString text;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        if (i > 0)
            text += u',';
        QString key = keys.at(i);
        key.replace(u'\'', QStringLiteral("''"));
        text += u'\'' + key + u'\'';
    }
    return text;
}

QStringList TListText::parse(const QString& text)
{
    QStringList keys;
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto skipBlanks = [&] {
        while (i < n && text.at(i).isSpace())
            ++i;
    };
    skipBlanks();
    if (i == n)
        return keys;
    for (;;) {
        skipBlanks();
        QString key;
        if (i < n && text.at(i) == u'\'') {
            ++i;
            while (i < n) {
                const QChar c = text.at(i);
                if (c == u'\'') {
                    if (i + 1 < n && text.at(i + 1) == u'\'') {
                        key += u'\'';
                        i += 2;
                        continue;
                    }
                    ++i; // closing quote
                    break;
                }
                key += c;
                ++i;
            }
            // Anything between the closing quote and the next comma is not part of a key.
            while (i < n && text.at(i) != u',')
                ++i;
        } else {
            const qsizetype start = i;
            while (i < n && text.at(i) != u',')
                ++i;
            key = text.mid(start, i - start).trimmed();
        }
        keys << key;
        if (i >= n)
            break;
        ++i; // the comma
    }
    return keys;
}
