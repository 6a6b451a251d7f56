#include "TSqlText.h"

#include <algorithm>

namespace {

bool isNameStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool isNamePart(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

// Walks the text once; calls onMarker(start, length, name) for each marker.
template <typename F> void scan(const QString& sql, F onMarker)
{
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql.at(i);
        if (const qsizetype after = TSqlText::skipQuotedOrComment(sql, i); after != i) {
            i = after;
        } else if (c == u':' && i + 1 < n && sql.at(i + 1) == u':') {
            i += 2;
        } else if (c == u':' && i + 1 < n && isNameStart(sql.at(i + 1))) {
            qsizetype j = i + 1;
            while (j < n && isNamePart(sql.at(j)))
                ++j;
            onMarker(i, j - i, sql.mid(i + 1, j - i - 1));
            i = j;
        } else {
            ++i;
        }
    }
}

} // namespace

qsizetype TSqlText::skipQuotedOrComment(const QString& sql, qsizetype i)
{
    const qsizetype n = sql.size();
    if (i >= n)
        return i;
    const QChar c = sql.at(i);
    if (c == u'\'' || c == u'"') {
        // A doubled quote inside stays inside.
        ++i;
        while (i < n) {
            if (sql.at(i) == c) {
                if (i + 1 < n && sql.at(i + 1) == c) {
                    i += 2;
                    continue;
                }
                break;
            }
            ++i;
        }
        return std::min(i + 1, n);
    }
    if (c == u'-' && i + 1 < n && sql.at(i + 1) == u'-') {
        while (i < n && sql.at(i) != u'\n')
            ++i;
        return i;
    }
    if (c == u'/' && i + 1 < n && sql.at(i + 1) == u'*') {
        const qsizetype end = sql.indexOf(QStringLiteral("*/"), i + 2);
        return end < 0 ? n : end + 2;
    }
    return i;
}

QStringList TSqlText::markers(const QString& sql)
{
    QStringList names;
    scan(sql, [&](qsizetype, qsizetype, const QString& name) { names << name; });
    return names;
}

QStringList TSqlText::parameterNames(const QString& sql)
{
    QStringList names;
    scan(sql, [&](qsizetype, qsizetype, const QString& name) {
        if (!names.contains(name, Qt::CaseInsensitive))
            names << name;
    });
    return names;
}

namespace {

// The text with each marker replaced by what marker(number) gives, counting from 1.
template <typename F> QString replaceMarkers(const QString& sql, QStringList* names, F marker)
{
    QString out;
    out.reserve(sql.size());
    qsizetype copied = 0;
    int count = 0;
    scan(sql, [&](qsizetype start, qsizetype length, const QString& name) {
        out += QStringView(sql).mid(copied, start - copied);
        out += marker(++count);
        copied = start + length;
        if (names)
            *names << name;
    });
    out += QStringView(sql).mid(copied);
    return out;
}

} // namespace

QString TSqlText::toPositional(const QString& sql, QStringList* names)
{
    return replaceMarkers(sql, names, [](int) { return QStringLiteral("?"); });
}

QString TSqlText::toNumbered(const QString& sql, QStringList* names)
{
    return replaceMarkers(sql, names, [](int n) -> QString { return u'$' + QString::number(n); });
}
