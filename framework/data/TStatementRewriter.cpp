#include "TStatementRewriter.h"

#include <vector>

namespace {

bool isNameStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool isNamePart(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

// True for each position of the text that is SQL, false inside quoted text, quoted
// names and comments, so that nothing written there is ever taken for SQL.
std::vector<bool> codeMask(const QString& sql)
{
    const qsizetype n = sql.size();
    std::vector<bool> code(size_t(n), true);
    qsizetype i = 0;
    auto mark = [&](qsizetype from, qsizetype to) {
        for (qsizetype k = from; k < to && k < n; ++k)
            code[size_t(k)] = false;
    };
    while (i < n) {
        const QChar c = sql.at(i);
        qsizetype end = i + 1;
        if (c == u'\'' || c == u'"') {
            while (end < n) {
                if (sql.at(end) == c) {
                    if (end + 1 < n && sql.at(end + 1) == c) {
                        end += 2;
                        continue;
                    }
                    ++end;
                    break;
                }
                ++end;
            }
            mark(i, end);
        } else if (c == u'-' && i + 1 < n && sql.at(i + 1) == u'-') {
            while (end < n && sql.at(end) != u'\n')
                ++end;
            mark(i, end);
        } else if (c == u'/' && i + 1 < n && sql.at(i + 1) == u'*') {
            const qsizetype close = sql.indexOf(QStringLiteral("*/"), i + 2);
            end = close < 0 ? n : close + 2;
            mark(i, end);
        }
        i = end;
    }
    return code;
}

// Reads the pieces of "(COL = NVL(:P, COL))" from a position, SQL positions only.
class Cursor
{
public:
    Cursor(const QString& sql, const std::vector<bool>& code, qsizetype pos)
        : m_sql(sql), m_code(code), m_pos(pos)
    {
    }

    qsizetype pos() const { return m_pos; }

    void skipBlanks()
    {
        while (isCode() && m_sql.at(m_pos).isSpace())
            ++m_pos;
    }

    bool symbol(QChar c)
    {
        skipBlanks();
        if (!isCode() || m_sql.at(m_pos) != c)
            return false;
        ++m_pos;
        return true;
    }

    // A plain or dotted name; quoted names are left alone.
    QString name()
    {
        skipBlanks();
        const qsizetype start = m_pos;
        while (isCode() && isNameStart(m_sql.at(m_pos))) {
            while (isCode() && isNamePart(m_sql.at(m_pos)))
                ++m_pos;
            if (!(isCode() && m_sql.at(m_pos) == u'.' && m_pos + 1 < m_sql.size() &&
                  m_code[size_t(m_pos + 1)] && isNameStart(m_sql.at(m_pos + 1))))
                break;
            ++m_pos;
        }
        return m_sql.mid(start, m_pos - start);
    }

    QString marker()
    {
        skipBlanks();
        if (!isCode() || m_sql.at(m_pos) != u':')
            return {};
        const qsizetype start = ++m_pos;
        if (!isCode() || !isNameStart(m_sql.at(m_pos)))
            return {};
        while (isCode() && isNamePart(m_sql.at(m_pos)))
            ++m_pos;
        return m_sql.mid(start, m_pos - start);
    }

private:
    bool isCode() const { return m_pos < m_sql.size() && m_code[size_t(m_pos)]; }

    const QString& m_sql;
    const std::vector<bool>& m_code;
    qsizetype m_pos;
};

struct NvlCondition
{
    qsizetype end = -1; // one past the closing parenthesis; -1 when there is none
    QString column;
    QString marker;
};

NvlCondition matchNvl(const QString& sql, const std::vector<bool>& code, qsizetype open)
{
    Cursor cur(sql, code, open);
    NvlCondition found;
    if (!cur.symbol(u'('))
        return {};
    found.column = cur.name();
    if (found.column.isEmpty() || !cur.symbol(u'='))
        return {};
    if (cur.name().compare(QLatin1String("NVL"), Qt::CaseInsensitive) != 0 || !cur.symbol(u'('))
        return {};
    found.marker = cur.marker();
    if (found.marker.isEmpty() || !cur.symbol(u','))
        return {};
    if (cur.name().compare(found.column, Qt::CaseInsensitive) != 0)
        return {};
    if (!cur.symbol(u')') || !cur.symbol(u')'))
        return {};
    found.end = cur.pos();
    return found;
}

// The word or parenthesis before a position, SQL only; empty when a literal or a
// comment stands in between.
QString previousToken(const QString& sql, const std::vector<bool>& code, qsizetype pos)
{
    qsizetype i = pos - 1;
    while (i >= 0 && code[size_t(i)] && sql.at(i).isSpace())
        --i;
    if (i < 0 || !code[size_t(i)])
        return {};
    if (!isNamePart(sql.at(i)))
        return sql.mid(i, 1);
    const qsizetype end = i + 1;
    while (i >= 0 && code[size_t(i)] && isNamePart(sql.at(i)))
        --i;
    return sql.mid(i + 1, end - i - 1).toUpper();
}

// The opening parenthesis that encloses each one, or -1 at the top of the text.
std::vector<qsizetype> enclosingGroups(const QString& sql, const std::vector<bool>& code)
{
    std::vector<qsizetype> enclosing(size_t(sql.size()), -1);
    std::vector<qsizetype> open;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        if (!code[size_t(i)])
            continue;
        if (sql.at(i) == u'(') {
            enclosing[size_t(i)] = open.empty() ? -1 : open.back();
            open.push_back(i);
        } else if (sql.at(i) == u')' && !open.empty()) {
            open.pop_back();
        }
    }
    return enclosing;
}

// True when the group opened at a position only filters rows: it stands after WHERE,
// ON, HAVING or WHEN, or in an AND/OR chain of such a group. There a false and an
// unknown condition drop the same rows; under NOT or as a value they would not.
bool filtersRows(const QString& sql, const std::vector<bool>& code,
                 const std::vector<qsizetype>& enclosing, qsizetype open)
{
    for (;;) {
        const QString before = previousToken(sql, code, open);
        if (before == QLatin1String("WHERE") || before == QLatin1String("ON") ||
            before == QLatin1String("HAVING") || before == QLatin1String("WHEN"))
            return true;
        const qsizetype outer = enclosing[size_t(open)];
        if (before == QLatin1String("AND") || before == QLatin1String("OR")) {
            if (outer < 0)
                return true;
        } else if (before != QLatin1String("(") || outer < 0) {
            return false;
        }
        open = outer;
    }
}

// NVL(:P, COL) compares a column with itself when the parameter is missing, which
// keeps planners from using the column's index. Written out for the value at hand,
// the condition selects the same rows: NVL(NULL, COL) = COL holds exactly when COL is
// not NULL, and the database's NVL reads an empty text as NULL.
QString expandNvl(const QString& sql, const TParams& params)
{
    const std::vector<bool> code = codeMask(sql);
    std::vector<qsizetype> enclosing;
    QString out;
    qsizetype copied = 0;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        if (!code[size_t(i)] || sql.at(i) != u'(')
            continue;
        const NvlCondition c = matchNvl(sql, code, i);
        const TParam* p = c.end < 0 ? nullptr : params.FindParam(c.marker);
        if (!p)
            continue;
        if (enclosing.empty())
            enclosing = enclosingGroups(sql, code);
        if (!filtersRows(sql, code, enclosing, i))
            continue;
        out += QStringView(sql).mid(copied, i - copied);
        if (p->IsNull() || p->AsString().isEmpty())
            out += u'(' + c.column + QLatin1String(" IS NOT NULL)");
        else
            out += u'(' + c.column + QLatin1String(" = :") + c.marker + u')';
        copied = c.end;
        i = c.end - 1;
    }
    if (copied == 0)
        return sql;
    out += QStringView(sql).mid(copied);
    return out;
}

// Firebird describes a marker with the type of what it is compared with, and the
// driver cuts a longer text to that width without a word: "01x" would find company
// "01". A cast to the value's own length keeps the whole text.
QString widenTextMarkers(const QString& sql, const TParams& params)
{
    const std::vector<bool> code = codeMask(sql);
    QString out;
    qsizetype copied = 0;
    for (qsizetype i = 0; i + 1 < sql.size(); ++i) {
        if (!code[size_t(i)] || sql.at(i) != u':')
            continue;
        if (sql.at(i + 1) == u':') {
            ++i;
            continue;
        }
        if (!isNameStart(sql.at(i + 1)))
            continue;
        qsizetype end = i + 1;
        while (end < sql.size() && isNamePart(sql.at(end)))
            ++end;
        const QString name = sql.mid(i + 1, end - i - 1);
        const TParam* p = params.FindParam(name);
        if (p && p->DataType() == TFieldType::ftString) {
            const qsizetype width = qMax<qsizetype>(1, p->AsString().size());
            out += QStringView(sql).mid(copied, i - copied);
            out += QLatin1String("CAST(:") + name + QLatin1String(" AS VARCHAR(") +
                   QString::number(width) + QLatin1String("))");
            copied = end;
        }
        i = end - 1;
    }
    if (copied == 0)
        return sql;
    out += QStringView(sql).mid(copied);
    return out;
}

} // namespace

QString TStatementRewriter::rewrite(const QString& sql, TDialect dialect, const TParams& params)
{
    switch (dialect) {
    case TDialect::Default:
        return expandNvl(sql, params);
    case TDialect::InterBase:
        return widenTextMarkers(sql, params);
    case TDialect::Oracle:
    case TDialect::MSSQL:
        break;
    }
    return sql;
}
