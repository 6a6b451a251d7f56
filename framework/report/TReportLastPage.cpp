#include "TReportLastPage.h"

#include "EFrameworkError.h"
#include "TADOIBQuery.h"
#include "TDBConnection.h"
#include "TDriverHandles.h"
#include "TReportRun.h"
#include "TSqlText.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace {

const QString limitName = QStringLiteral("FIS_LINHAS");

bool isNamePart(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

bool isIdentifier(const QString& name)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_$]*$"));
    return re.match(name).hasMatch();
}

// Where pattern last (or first) matches in the query itself, outside brackets, quotes and
// comments, at a word's start: where the match begins and ends; false when it does not.
bool findTopLevel(const QString& sql, const QRegularExpression& pattern, bool last,
                  qsizetype& begin, qsizetype& end)
{
    begin = -1;
    int depth = 0;
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = sql.at(i);
        if (const qsizetype after = TSqlText::skipQuotedOrComment(sql, i); after != i) {
            i = after;
        } else {
            if (c == u'(')
                ++depth;
            else if (c == u')')
                --depth;
            else if (depth == 0 && (i == 0 || !isNamePart(sql.at(i - 1)))) {
                const QRegularExpressionMatch m =
                    pattern.match(sql, i, QRegularExpression::NormalMatch,
                                  QRegularExpression::AnchorAtOffsetMatchOption);
                if (m.hasMatch()) {
                    begin = i;
                    end = m.capturedEnd();
                    if (!last)
                        return true;
                    i = end;
                    continue;
                }
            }
            ++i;
        }
    }
    return begin >= 0;
}

// The query's own ORDER BY: where it begins and where its items do.
bool findOrderBy(const QString& sql, qsizetype& begin, qsizetype& items)
{
    static const QRegularExpression orderBy(QStringLiteral("ORDER\\s+BY\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    return findTopLevel(sql, orderBy, true, begin, items);
}

// The query with its first table read from end to end: SQLite otherwise walks the index
// of the group order and reads the table a row at a time, each row a read() of its page
// with a small cache (at a million rows twice the time of one pass, or a cache as large as
// the file). The groups read every row anyway. Unchanged when the FROM is not a plain table.
QString scannedWhole(const QString& sql)
{
    static const QRegularExpression from(
        QStringLiteral("FROM\\s+(?:[A-Za-z_][A-Za-z0-9_$]*\\.)?[A-Za-z_][A-Za-z0-9_$]*"
                       "(?:\\s+(?:AS\\s+)?([A-Za-z_][A-Za-z0-9_$]*))?\\b"),
        QRegularExpression::CaseInsensitiveOption);
    static const QStringList notAlias{
        QStringLiteral("WHERE"),  QStringLiteral("LEFT"),     QStringLiteral("RIGHT"),
        QStringLiteral("FULL"),   QStringLiteral("INNER"),    QStringLiteral("CROSS"),
        QStringLiteral("JOIN"),   QStringLiteral("NATURAL"),  QStringLiteral("GROUP"),
        QStringLiteral("ORDER"),  QStringLiteral("LIMIT"),    QStringLiteral("UNION"),
        QStringLiteral("ON"),     QStringLiteral("USING"),    QStringLiteral("INDEXED"),
        QStringLiteral("NOT"),    QStringLiteral("HAVING"),   QStringLiteral("WINDOW"),
        QStringLiteral("EXCEPT"), QStringLiteral("INTERSECT")};
    qsizetype begin = 0, end = 0;
    if (!findTopLevel(sql, from, false, begin, end))
        return sql;
    const QRegularExpressionMatch m = from.match(sql, begin, QRegularExpression::NormalMatch,
                                                 QRegularExpression::AnchorAtOffsetMatchOption);
    if (m.hasCaptured(1) && notAlias.contains(m.captured(1), Qt::CaseInsensitive))
        end = m.capturedStart(1);
    static const QRegularExpression told(QStringLiteral("^\\s*(NOT\\s+)?INDEXED\\b"),
                                         QRegularExpression::CaseInsensitiveOption);
    if (told.match(sql.mid(end)).hasMatch())
        return sql;
    return sql.left(end) + QStringLiteral(" NOT INDEXED ") + sql.mid(end);
}

QString field(const QString& name)
{
    return QStringLiteral("Q.") + name;
}

} // namespace

TReportLastPage::TReportLastPage(const TReportRun& run, int pageRows)
    : m_params(run.params()), m_pageRows(pageRows), m_interrupts(std::make_shared<Interrupts>())
{
    const TADOIBQuery* query = run.query();
    const TDBConnection* connection = query->connection();
    const TDialect dialect = query->dialect();
    if (!connection || pageRows <= 0 ||
        (dialect != TDialect::Default && dialect != TDialect::InterBase))
        return;
    m_connection = connection->connectionName();
    m_timeout = connection->StatementTimeout();

    QString sql = query->activeText().trimmed();
    while (sql.endsWith(u';'))
        sql = sql.chopped(1).trimmed();
    qsizetype orderAt = 0, itemsAt = 0;
    if (TSqlText::parameterNames(sql).contains(limitName, Qt::CaseInsensitive) ||
        !findOrderBy(sql, orderAt, itemsAt))
        return;
    const QString body = sql.left(orderAt);
    // Which rows these keep depends on the order the aggregate leaves out.
    static const QRegularExpression limited(
        QStringLiteral("^\\s*SELECT\\s+(FIRST|SKIP|TOP|DISTINCT\\s+ON)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    if (limited.match(body).hasMatch())
        return;

    // Plain columns only: anything after them (a limit, NULLS FIRST) is refused.
    static const QRegularExpression item(
        QStringLiteral("^\\s*((?:[A-Za-z_][A-Za-z0-9_$]*\\.)?([A-Za-z_][A-Za-z0-9_$]*))"
                       "(?:\\s+(ASC|DESC))?\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    QStringList names, directions, forward, reversed;
    for (const QString& part : sql.mid(itemsAt).split(u',')) {
        const QRegularExpressionMatch m = item.match(part);
        if (!m.hasMatch())
            return;
        const bool descending = m.captured(3).compare(u"DESC", Qt::CaseInsensitive) == 0;
        names << m.captured(2);
        forward << m.captured(0).trimmed();
        directions << (descending ? QStringLiteral(" DESC") : QString());
        reversed << m.captured(1) + (descending ? QStringLiteral(" ASC") : QStringLiteral(" DESC"));
    }

    const TReportDefinition& d = run.definition();
    QList<TReportDefinition::Group> levels;
    if (d.HasGroup())
        levels << d.GroupBy();
    if (d.HasSubGroup())
        levels << d.SubGroup();
    if (levels.size() > names.size())
        return;
    QStringList keys, order;
    for (qsizetype l = 0; l < levels.size(); ++l) {
        if (!isIdentifier(levels[l].field) ||
            names[l].compare(levels[l].field, Qt::CaseInsensitive) != 0)
            return;
        keys << field(levels[l].field);
        order << field(levels[l].field) + directions[l];
    }
    QStringList select = keys;
    select << QStringLiteral("COUNT(*)");
    for (const TReportDefinition::Group& g : levels) {
        int checked = 0;
        for (const QString& f : g.textFields) {
            if (!isIdentifier(f))
                return;
            if (f.compare(g.field, Qt::CaseInsensitive) == 0)
                continue;
            select << QStringLiteral("MIN(%1)").arg(field(f))
                   << QStringLiteral("MAX(%1)").arg(field(f))
                   << QStringLiteral("COUNT(%1)").arg(field(f));
            ++checked;
        }
        m_checked.push_back(checked);
    }
    // Summed as the layout sums: each row's value rounded to cents, the totals' fields
    // that are columns, in the totals' order.
    const QString cents = dialect == TDialect::InterBase
                              ? QStringLiteral("SUM(CAST(ROUND(%1 * 100, 0) AS BIGINT))")
                              : QStringLiteral("SUM(CAST(ROUND(%1 * 100) AS BIGINT))");
    for (const QString& f : d.TotalsBy().fields)
        for (const TReportDefinition::Column& c : d.Columns())
            if (c.field.compare(f, Qt::CaseInsensitive) == 0) {
                if (!isIdentifier(c.field))
                    return;
                select << cents.arg(field(c.field));
                ++m_sums;
            }
    m_levels = int(levels.size());
    m_orderFields = names;
    const QString limit =
        (dialect == TDialect::InterBase ? QStringLiteral(" ROWS :") : QStringLiteral(" LIMIT :")) +
        limitName;
    m_lastRowsText =
        body + QStringLiteral(" ORDER BY ") + reversed.join(QStringLiteral(", ")) + limit;
    m_firstRowText =
        body + QStringLiteral(" ORDER BY ") + forward.join(QStringLiteral(", ")) + limit;
    const bool sqlite = connection->database().driverName() == QLatin1String("QSQLITE");
    m_groupsText = QStringLiteral("SELECT ") + select.join(QStringLiteral(", ")) +
                   QStringLiteral(" FROM (\n") + (sqlite ? scannedWhole(body) : body) +
                   QStringLiteral("\n) Q");
    if (!keys.isEmpty()) {
        m_outerField = levels.first().field;
        m_groupsEnd = QStringLiteral(" GROUP BY ") + keys.join(QStringLiteral(", ")) +
                      QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
    }
}

namespace {

qsizetype columnOf(const QStringList& columns, const QString& name)
{
    for (qsizetype c = 0; c < columns.size(); ++c)
        if (columns[c].compare(name, Qt::CaseInsensitive) == 0)
            return c;
    return -1;
}

} // namespace

// The open connections' ways to stop a statement, each valid while its connection is.
struct TReportLastPage::Interrupts
{
    std::mutex lock;
    bool cancelled = false;
    // Each open connection's cancel, by a number of its own.
    std::map<int, std::function<void()>> cancels;
    int next = 0;
};

bool TReportLastPage::onOwnConnection(const std::function<bool(TDBConnection&)>& read)
{
    static std::atomic<int> serial{0};
    const QString name = QStringLiteral("fis-ultima-pagina-%1").arg(++serial);
    Interrupts& interrupts = *m_interrupts;
    bool done = false;
    try {
        QSqlDatabase db = QSqlDatabase::cloneDatabase(m_connection, name);
        if (db.open()) {
            // The product only reads, on every connection it opens.
            const bool readOnly = TDriverHandles::setReadOnlySession(db);
            std::function<void()> stop;
            if (db.driverName() == QLatin1String("QSQLITE")) {
                // Never mapped: a file cut short under the map (a restore, a sync tool) kills
                // the process with SIGBUS. The groups read the table from end to end, so the
                // default small cache serves them.
                QSqlQuery(db).exec(QStringLiteral("PRAGMA mmap_size = 0"));
                stop = TDriverHandles::cancelOf(db);
            } else if (db.driverName() == QLatin1String("QPSQL")) {
                stop = TDriverHandles::cancelOf(db);
            }
            bool go = false;
            int key = -1;
            {
                const std::lock_guard<std::mutex> hold(interrupts.lock);
                go = !interrupts.cancelled;
                if (stop) {
                    key = interrupts.next++;
                    interrupts.cancels.emplace(key, stop);
                }
            }
            if (readOnly && go) {
                TDBConnection connection(name);
                // A server that stops answering is given up as on the run's own connection.
                connection.setStatementTimeout(m_timeout);
                try {
                    done = read(connection);
                } catch (...) {
                    done = false;
                }
            }
            {
                const std::lock_guard<std::mutex> hold(interrupts.lock);
                interrupts.cancels.erase(key);
                done = done && !interrupts.cancelled;
            }
            db.close();
        }
    } catch (...) {
        // Any failure leaves the pages to the count.
        done = false;
    }
    QSqlDatabase::removeDatabase(name);
    return done;
}

void TReportLastPage::cancel()
{
    const std::lock_guard<std::mutex> hold(m_interrupts->lock);
    m_interrupts->cancelled = true;
    for (const auto& [key, stop] : m_interrupts->cancels)
        stop();
}

bool TReportLastPage::read()
{
    m_read = false;
    m_spans.clear();
    m_rows.clear();
    m_columns.clear();
    if (possible())
        m_read = onOwnConnection([this](TDBConnection& c) { return readOn(c); });
    return m_read;
}

bool TReportLastPage::rowsOf(TDBConnection& connection, const QString& text,
                             const QVariantMap& values, std::vector<TRowSource::Row>& rows,
                             QStringList* columns) const
{
    TADOIBQuery query;
    query.setADOConnection(&connection);
    query.setDataBase(&connection);
    query.setTransaction(&connection);
    query.setParamCheck(false);
    query.setDescription(QStringLiteral("última página"));
    query.setSQL({text});
    query.setSQL_IB({text});
    const QStringList names = TSqlText::parameterNames(text);
    query.Params().Rebuild(names);
    for (const QString& name : names) {
        const TParam* p = m_params.FindParam(name);
        if (values.contains(name))
            query.ParamByName(name).SetAsVariant(values.value(name));
        // One row more than a page: the row before the last page tells a tie at its start.
        else if (name == limitName)
            query.ParamByName(name).SetAsVariant(qint64(m_pageRows) + 1);
        else if (p)
            query.ParamByName(name).SetAsVariant(p->Value());
        else
            return false;
    }
    query.Open();
    if (columns)
        *columns = query.Query()->columnNames();
    std::vector<TRowSource::Row> batch;
    for (;;) {
        query.Query()->readForward(TADOIBDataSet::BatchSize, batch);
        if (batch.empty())
            break;
        std::move(batch.begin(), batch.end(), std::back_inserter(rows));
    }
    return true;
}

bool TReportLastPage::readOn(TDBConnection& connection)
{
    if (!rowsOf(connection, m_lastRowsText, {}, m_rows, &m_columns))
        return false;
    std::reverse(m_rows.begin(), m_rows.end());

    // The first and the last outer group are summed here, those between beside them on a
    // connection of their own: two cores, about half the time.
    QVariant first, last;
    const qsizetype key = columnOf(m_columns, m_outerField);
    if (key >= 0 && !m_rows.empty()) {
        std::vector<TRowSource::Row> head;
        if (!rowsOf(connection, m_firstRowText, {{limitName, 1}}, head, nullptr) || head.empty())
            return false;
        first = head.front()[size_t(key)];
        last = m_rows.back()[size_t(key)];
    }
    std::vector<TRowSource::Row> groups;
    // Nulls sort first or last: with both ends known there are none.
    if (first.isNull() || last.isNull() || first == last) {
        if (!rowsOf(connection, m_groupsText + m_groupsEnd, {}, groups, nullptr))
            return false;
    } else {
        const QString outer = field(m_outerField);
        std::vector<TRowSource::Row> between, ends;
        bool besideDone = false;
        std::thread beside([&] {
            besideDone = onOwnConnection([&](TDBConnection& other) {
                return rowsOf(
                    other,
                    m_groupsText +
                        QStringLiteral(" WHERE %1 <> :FIS_PRIMEIRA AND %1 <> :FIS_ULTIMA")
                            .arg(outer) +
                        m_groupsEnd,
                    {{QStringLiteral("FIS_PRIMEIRA"), first}, {QStringLiteral("FIS_ULTIMA"), last}},
                    between, nullptr);
            });
        });
        bool done = false;
        try {
            const QString one =
                m_groupsText + QStringLiteral(" WHERE %1 = :FIS_CHAVE").arg(outer) + m_groupsEnd;
            done =
                rowsOf(connection, one, {{QStringLiteral("FIS_CHAVE"), first}}, groups, nullptr) &&
                rowsOf(connection, one, {{QStringLiteral("FIS_CHAVE"), last}}, ends, nullptr);
        } catch (...) {
            done = false;
        }
        beside.join();
        if (!done || !besideDone)
            return false;
        std::move(between.begin(), between.end(), std::back_inserter(groups));
        std::move(ends.begin(), ends.end(), std::back_inserter(groups));
    }
    if (!takeGroups(groups))
        return false;

    qint64 total = 0;
    for (const TReportRenderer::Span& s : m_spans)
        total += s.rows;
    // The answers agree on the rows there are.
    if (qint64(m_rows.size()) != qMin(total, qint64(m_pageRows) + 1))
        return false;
    // Rows alike in every column of the order may come in either order, reversed or not.
    std::vector<size_t> keys;
    for (const QString& f : std::as_const(m_orderFields)) {
        const qsizetype c = columnOf(m_columns, f);
        if (c < 0)
            return false;
        keys.push_back(size_t(c));
    }
    for (size_t r = 1; r < m_rows.size(); ++r)
        if (std::all_of(keys.begin(), keys.end(),
                        [&](size_t k) { return m_rows[r][k] == m_rows[r - 1][k]; }))
            return false;
    return true;
}

bool TReportLastPage::takeGroups(const std::vector<TRowSource::Row>& rows)
{
    const size_t levels = size_t(m_levels);
    size_t width = levels + 1 + size_t(m_sums);
    for (const int checked : m_checked)
        width += 3 * size_t(checked);
    if (levels == 0 && rows.size() != 1)
        return false;
    const TRowSource::Row* previous = nullptr;
    for (const TRowSource::Row& row : rows) {
        if (row.size() != width)
            return false;
        TReportRenderer::Span span;
        span.rows = row[levels].toLongLong();
        if (span.rows <= 0 && levels > 0)
            return false;
        span.opensOuter = !previous || levels < 2 || !(row[0] == (*previous)[0]);
        if (previous && levels > 0 &&
            std::equal(row.begin(), row.begin() + qsizetype(levels), previous->begin()))
            return false;
        size_t at = levels + 1;
        for (size_t l = 0; l < levels; ++l)
            for (int t = 0; t < m_checked[l]; ++t, at += 3) {
                // A text must be the same on every row of its group, null on all or none.
                const qint64 present = row[at + 2].toLongLong();
                if ((present != 0 && present != span.rows) || !(row[at] == row[at + 1]))
                    return false;
                // An outer group spanning several inner ones keeps its text across them.
                if (l == 0 && !span.opensOuter &&
                    (((*previous)[at + 2].toLongLong() != 0) != (present != 0) ||
                     !(row[at] == (*previous)[at])))
                    return false;
            }
        for (int s = 0; s < m_sums; ++s, ++at) {
            bool ok = true;
            span.sums.push_back(row[at].isNull() ? 0 : row[at].toLongLong(&ok));
            if (!ok)
                return false;
        }
        if (span.rows > 0)
            m_spans.push_back(std::move(span));
        previous = &row;
    }
    return true;
}

bool TReportLastPage::layout(TReportRenderer& renderer) const
{
    if (!m_read)
        return false;
    try {
        return renderer.paginate(m_spans, m_rows, m_columns);
    } catch (const EFrameworkError&) {
        return false;
    }
}
