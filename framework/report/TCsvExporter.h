#pragma once

#include "FisReportExport.h"
#include "TReportExporter.h"

#include <QByteArray>
#include <QFile>

// CSV as a Brazilian spreadsheet opens it: UTF-8 with BOM, ";" between fields, decimal
// comma, RFC 4180 quoting and line ends. Only the rows: sums would spoil the data. Every
// text written, titles and cells of any format, is made inert against formulas.
class FIS_REPORT_EXPORT TCsvExporter : public TReportExporter
{
public:
    // A field quoted when it holds the separator, a quote or a line break.
    static QByteArray field(const QString& text);
    // A text cell that a spreadsheet would take for a formula, made plain text.
    static QString inert(const QString& text);

protected:
    void begin(const QString& file, const std::vector<Column>& columns) override;
    void row(const TRowSource::Row& values) override;
    bool end() override;
    void discard() override;

private:
    void appendDate(const QVariant& value);
    void flush();

    QFile m_file;
    QByteArray m_buffer;
    std::vector<Column> m_columns;
};
