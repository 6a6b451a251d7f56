#pragma once

#include "FisReportExport.h"
#include "TParams.h"
#include "TReportRenderer.h"

#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <vector>

class TDBConnection;
class TReportRun;

// The last page of a report laid out without reading every row. The database counts and
// sums the rows of each group (an aggregate over the report's own query, its parameters
// bound alike), the page breaks follow from those sizes, and only the rows that end the
// report are read, its order reversed, a page of them at most. The groups are summed on
// two connections at once: the first and last outer group on one, those between on the
// other. What the shortcut cannot follow exactly is refused, and the caller counts the
// pages the long way: a query not ordered by plain columns led by the groups' fields, one
// with a limit of its own, a group text that is not the same on every row of its group,
// final rows whose order is not settled by the ORDER BY (two of them alike in all its
// columns).
class FIS_REPORT_EXPORT TReportLastPage
{
public:
    // Writes the statements for the run's query on its database; pageRows is more rows
    // than a page holds (TReportRenderer::rowsPerPageAtMost).
    TReportLastPage(const TReportRun& run, int pageRows);

    // False when the query is refused before anything runs.
    bool possible() const { return !m_groupsText.isEmpty(); }
    // Runs the statements on connections of its own, copies of the run's opened in the
    // calling thread and closed again, so that a read in progress on the run's is left
    // alone (on PostgreSQL another statement would end it). False when refused or when
    // the database failed.
    bool read();
    // Asks the statements under way to stop, from any thread: read() then fails at once.
    void cancel();
    // Lays renderer's pages out from what was read; only the last one has its texts.
    // False when refused.
    bool layout(TReportRenderer& renderer) const;

private:
    struct Interrupts;

    bool onOwnConnection(const std::function<bool(TDBConnection&)>& read);
    bool readOn(TDBConnection& connection);
    // The rows of text, its parameters bound from the run's, values and the page's size.
    bool rowsOf(TDBConnection& connection, const QString& text, const QVariantMap& values,
                std::vector<TRowSource::Row>& rows, QStringList* columns) const;
    bool takeGroups(const std::vector<TRowSource::Row>& rows);

    QString m_connection;
    int m_timeout = 0;
    TParams m_params;
    int m_pageRows;
    int m_levels = 0;
    // Per group level, the number of its text fields checked by the groups' statement.
    std::vector<int> m_checked;
    int m_sums = 0;
    // The columns of the query's ORDER BY.
    QStringList m_orderFields;
    // The groups' statement up to where a WHERE may go, then its GROUP BY and ORDER BY.
    QString m_groupsText;
    QString m_groupsEnd;
    QString m_outerField;
    QString m_firstRowText;
    QString m_lastRowsText;

    std::shared_ptr<Interrupts> m_interrupts;
    bool m_read = false;
    std::vector<TReportRenderer::Span> m_spans;
    std::vector<TRowSource::Row> m_rows;
    QStringList m_columns;
};
