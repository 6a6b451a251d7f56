#include "TStatementRewriter.h"

#include <algorithm>
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
    QString marker; // the first argument: ":NAME" gives NAME
    QString name;   // or a column of another table, "ALIAS.PARAM"
};

// Reads "(COL = FUNCTION(first, COL))", the first argument a marker or a name.
NvlCondition matchNvl(const QString& sql, const std::vector<bool>& code, qsizetype open,
                      QLatin1String function)
{
    Cursor cur(sql, code, open);
    NvlCondition found;
    if (!cur.symbol(u'('))
        return {};
    found.column = cur.name();
    if (found.column.isEmpty() || !cur.symbol(u'='))
        return {};
    if (cur.name().compare(function, Qt::CaseInsensitive) != 0 || !cur.symbol(u'('))
        return {};
    found.marker = cur.marker();
    if (found.marker.isEmpty())
        found.name = cur.name();
    if ((found.marker.isEmpty() && found.name.isEmpty()) || !cur.symbol(u','))
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
        const NvlCondition c = matchNvl(sql, code, i, QLatin1String("NVL"));
        const TParam* p = c.end < 0 || c.marker.isEmpty() ? nullptr : params.FindParam(c.marker);
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

// The code position before pos that is not blank, or -1.
qsizetype previousCode(const QString& sql, const std::vector<bool>& code, qsizetype pos)
{
    qsizetype i = pos - 1;
    while (i >= 0 && code[size_t(i)] && sql.at(i).isSpace())
        --i;
    return i >= 0 && code[size_t(i)] ? i : -1;
}

// Each word of SQL with the clause it stands in (the last of SELECT, FROM, WHERE, ... at
// its depth of parentheses); a word after '.' or ':' is a qualified name or a marker.
struct Word
{
    qsizetype at, end;
    QString upper;
    QString clause;
    bool bare;
};

std::vector<Word> wordsOf(const QString& sql, const std::vector<bool>& code)
{
    static const QStringList clauses = {
        QStringLiteral("SELECT"), QStringLiteral("FROM"),   QStringLiteral("WHERE"),
        QStringLiteral("GROUP"),  QStringLiteral("HAVING"), QStringLiteral("ORDER"),
        QStringLiteral("UNION"),  QStringLiteral("JOIN"),   QStringLiteral("ON"),
        QStringLiteral("PLAN"),   QStringLiteral("ROWS")};
    std::vector<Word> words;
    std::vector<QString> clause{QString()};
    for (qsizetype i = 0; i < sql.size(); ++i) {
        if (!code[size_t(i)])
            continue;
        const QChar c = sql.at(i);
        if (c == u'(') {
            clause.emplace_back();
        } else if (c == u')') {
            if (clause.size() > 1)
                clause.pop_back();
        } else if (isNameStart(c) && (i == 0 || !isNamePart(sql.at(i - 1)))) {
            qsizetype end = i;
            while (end < sql.size() && code[size_t(end)] && isNamePart(sql.at(end)))
                ++end;
            const QString upper = sql.mid(i, end - i).toUpper();
            const qsizetype before = previousCode(sql, code, i);
            const bool bare = before < 0 || (sql.at(before) != u'.' && sql.at(before) != u':');
            if (bare && clauses.contains(upper))
                clause.back() = upper;
            words.push_back({i, end, upper, clause.back(), bare});
            i = end - 1;
        }
    }
    return words;
}

// The Firebird texts join each parameter as a row of the PARAM procedure, "PARAM(:P) P",
// and test it with "(COL = NVLSTR(P.PARAM, COL))": the optimizer cannot use an index for
// that and reads the whole table. PARAM returns its argument, in one row, so the join
// multiplies nothing; NVLSTR is NVL with an empty text taken for NULL. Where every use of
// such a row is that test in a filtering place, the row is left out and the test written
// out for the value at hand, as for NVL.
QString expandParamRows(const QString& sql, const TParams& params)
{
    const std::vector<bool> code = codeMask(sql);
    const std::vector<Word> words = wordsOf(sql, code);

    struct Edit
    {
        qsizetype from, to;
        QString text;
    };
    struct Source
    {
        QString alias;
        QString marker;
        const TParam* param = nullptr;
        Edit removal;
        std::vector<Edit> tests;
        int uses = 0;
        bool usable = true;
    };
    std::vector<Source> sources;
    auto sourceOf = [&](const QString& alias) -> Source* {
        for (Source& s : sources)
            if (s.alias == alias)
                return &s;
        return nullptr;
    };

    for (size_t w = 0; w < words.size(); ++w) {
        const Word& word = words[w];
        if (word.upper != QLatin1String("PARAM") || !word.bare ||
            word.clause != QLatin1String("FROM"))
            continue;
        Cursor cur(sql, code, word.end);
        if (!cur.symbol(u'('))
            continue;
        const QString marker = cur.marker();
        if (marker.isEmpty() || !cur.symbol(u')'))
            continue;
        const QString alias = cur.name().toUpper();
        const qsizetype aliasEnd = cur.pos();
        if (alias.isEmpty() || alias.contains(u'.'))
            continue;
        // Left out with the comma that joins it to the list.
        const qsizetype before = previousCode(sql, code, word.at);
        Edit removal{-1, -1, {}};
        if (before >= 0 && sql.at(before) == u',') {
            removal = {before, aliasEnd, {}};
        } else if (previousToken(sql, code, word.at) == QLatin1String("FROM")) {
            Cursor after(sql, code, aliasEnd);
            if (after.symbol(u',')) {
                after.skipBlanks();
                removal = {word.at, after.pos(), {}};
            }
        }
        if (Source* known = sourceOf(alias)) {
            known->usable = false;
            continue;
        }
        Source source;
        source.alias = alias;
        source.marker = marker;
        source.param = params.FindParam(marker);
        source.removal = removal;
        source.usable = source.param && removal.from >= 0;
        sources.push_back(std::move(source));
    }
    if (sources.empty())
        return sql;

    // Every bare word that names a source is one of its uses, the declaration aside.
    for (const Word& word : words)
        if (Source* s = word.bare ? sourceOf(word.upper) : nullptr)
            ++s->uses;

    std::vector<qsizetype> enclosing;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        if (!code[size_t(i)] || sql.at(i) != u'(')
            continue;
        const NvlCondition c = matchNvl(sql, code, i, QLatin1String("NVLSTR"));
        const qsizetype dot = c.name.indexOf(u'.');
        if (c.end < 0 || dot < 0 || c.name.indexOf(u'.', dot + 1) >= 0 ||
            c.name.mid(dot + 1).compare(QLatin1String("PARAM"), Qt::CaseInsensitive) != 0)
            continue;
        Source* s = sourceOf(c.name.left(dot).toUpper());
        if (!s || c.column.toUpper().startsWith(s->alias + u'.'))
            continue;
        if (enclosing.empty())
            enclosing = enclosingGroups(sql, code);
        if (!filtersRows(sql, code, enclosing, i))
            continue;
        const TParam* p = s->param;
        const QString test =
            !p || p->IsNull() || p->AsString().isEmpty()
                ? QString(u'(' + c.column + QLatin1String(" IS NOT NULL)"))
                : QString(u'(' + c.column + QLatin1String(" = :") + s->marker + u')');
        s->tests.push_back({i, c.end, test});
        i = c.end - 1;
    }

    std::vector<Edit> edits;
    for (const Source& s : sources) {
        if (!s.usable || s.tests.empty() || s.uses != 1 + int(s.tests.size()))
            continue;
        edits.push_back(s.removal);
        edits.insert(edits.end(), s.tests.begin(), s.tests.end());
    }
    if (edits.empty())
        return sql;
    std::sort(edits.begin(), edits.end(),
              [](const Edit& a, const Edit& b) { return a.from < b.from; });
    QString out;
    qsizetype copied = 0;
    for (const Edit& e : edits) {
        if (e.from < copied)
            return sql;
        out += QStringView(sql).mid(copied, e.from - copied);
        out += e.text;
        copied = e.to;
    }
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
        return widenTextMarkers(expandParamRows(sql, params), params);
    case TDialect::Oracle:
    case TDialect::MSSQL:
        break;
    }
    return sql;
}
