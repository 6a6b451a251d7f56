#pragma once

#include "FisReportExport.h"
#include "TReportExporter.h"

#include <QByteArray>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

// An Excel workbook written by libxlsxwriter in constant-memory mode: typed cells,
// the header frozen with an autofilter, group and report sums in bold. A result
// beyond a sheet's rows continues on the next sheet; a text beyond a cell's limit is cut,
// with a warning; more columns than a sheet holds are refused before anything is written.
class FIS_REPORT_EXPORT TXlsxExporter : public TReportExporter
{
public:
    ~TXlsxExporter() override;

    // Rows of a sheet, the header included; tests lower it.
    void setSheetRows(int rows) { m_sheetRows = rows; }

protected:
    void begin(const QString& file, const std::vector<Column>& columns) override;
    void row(const TRowSource::Row& values) override;
    void totals(const QString& caption, const std::vector<TReportSum>& sums, bool grand) override;
    bool end() override;
    void discard() override;

private:
    void newSheet();
    void closeSheet();
    // The next row, on a new sheet when this one is full.
    unsigned nextRow();
    // An error of the library as the file's; printed: what it wrote on stderr meanwhile.
    void check(int error, const QString& printed = {}) const;
    void writeText(unsigned row, int column, const QString& text, lxw_format* format);
    void writeInvalid(unsigned row, int column);
    lxw_format* formatOf(TReportDefinition::Format format, bool bold) const;

    lxw_workbook* m_book = nullptr;
    // The file the workbook is zipped into, opened by the exporter (see begin()).
    int m_fd = -1;
    QString m_bookPath;
    lxw_worksheet* m_sheet = nullptr;
    QString m_file;
    std::vector<Column> m_columns;
    bool m_cutWarned = false;
    int m_sheetRows = 1048576;
    int m_sheets = 0;
    unsigned m_row = 0;
    lxw_format* m_header = nullptr;
    lxw_format* m_date = nullptr;
    lxw_format* m_money = nullptr;
    lxw_format* m_integer = nullptr;
    lxw_format* m_bold = nullptr;
    lxw_format* m_boldMoney = nullptr;
    lxw_format* m_boldInteger = nullptr;
};
