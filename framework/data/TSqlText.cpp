#include "TSqlText.h"

#include <QRegularExpression>

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

int TSqlText::castWidth(const QString& sql, const QString& name)
{
    static const QRegularExpression before(QStringLiteral("\\bCAST\\s*\\(\\s*$"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression after(
        QStringLiteral(
            "\\s+AS\\s+(?:VARCHAR|CHAR(?:ACTER)?(?:\\s+VARYING)?)\\s*\\(\\s*(\\d{1,9})\\s*\\)"),
        QRegularExpression::CaseInsensitiveOption);
    int width = -1;
    bool bare = false;
    scan(sql, [&](qsizetype at, qsizetype length, const QString& marker) {
        if (bare || marker.compare(name, Qt::CaseInsensitive) != 0)
            return;
        const QRegularExpressionMatch cast =
            after.match(sql, at + length, QRegularExpression::NormalMatch,
                        QRegularExpression::AnchorAtOffsetMatchOption);
        // A short stretch of text before the marker holds its "CAST(", if any.
        const qsizetype from = std::max<qsizetype>(0, at - 64);
        if (!cast.hasMatch() || !before.match(sql.mid(from, at - from)).hasMatch()) {
            bare = true;
            return;
        }
        const int n = cast.captured(1).toInt();
        width = width < 0 ? n : std::min(width, n);
    });
    return bare ? -1 : width;
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
