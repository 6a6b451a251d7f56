#pragma once

#include "FisReportExport.h"

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QPageLayout>
#include <QString>
#include <QStringList>

// One report as stored in its JSON file: the query texts per dialect, the columns
// and how they are laid out, the filter line and the optional group and totals.
class FIS_REPORT_EXPORT TReportDefinition
{
public:
    enum class Format
    {
        Text,
        Date,
        Money,
        Integer,
        // A participant's CNPJ or CPF, by its number of digits.
        CnpjCpf
    };

    struct Column
    {
        QString field;
        QString title;
        // Share of the line width; the columns are scaled to fill the page.
        double width = 10;
        Qt::Alignment alignment = Qt::AlignLeft;
        Format format = Format::Text;
        // Stored value -> text shown ("E" -> "Entrada").
        QMap<QString, QString> values;
        // A hidden column stays in the definition but is neither printed nor exported.
        bool visible = true;
    };

    // One item of the filter line printed under the title.
    struct FilterItem
    {
        QString label;
        QString parameter;
        // A second parameter closes a range: "01/01/2024 a 31/01/2024".
        QString toParameter;
        Format format = Format::Text;
        QMap<QString, QString> values;
        // A list parameter ('E01','S05') is shown without its quotes.
        bool list = false;
    };

    // Rows are grouped while the value of field stays the same; the query orders them.
    struct Group
    {
        QString field;
        QString caption;
        QStringList textFields;
        // The text fields with their titles, widths and formats; exports make them columns.
        QList<Column> textColumns;
        QString footer;
        // The totals' fields shown in this group's footer; empty shows them all.
        QStringList sums;
    };

    // Money and integer columns summed per group and for the whole report.
    struct Totals
    {
        QStringList fields;
        QString caption;
        QString countLabel;
    };

    TReportDefinition() = default;

    // The definitions of that report code in the directory, in file name order. Only
    // files named after the code are read; a broken one is an error.
    static QList<TReportDefinition> listForCode(const QString& directory,
                                                const QString& reportCode);
    // The same, but a file that cannot be read or is broken is left out and its
    // message, which names it, added to faults.
    static QList<TReportDefinition> listForCode(const QString& directory, const QString& reportCode,
                                                QStringList& faults);
    static TReportDefinition load(const QString& path);
    static TReportDefinition fromJson(const QJsonObject& object, const QString& origin);
    // A free file name for a new definition of that code, sorting after the others.
    static QString newFilePath(const QString& directory, const QString& reportCode);

    QJsonObject toJson() const;
    void save(const QString& path) const;

    QString Name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    QString ReportCode() const { return m_reportCode; }
    QString Title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    QPageLayout::Orientation Orientation() const { return m_orientation; }
    QStringList SQL() const { return m_sql; }
    QStringList SQL_IB() const { return m_sqlIb; }
    // The text that runs on Firebird (SQL_IB, else SQL) or on any other database.
    QStringList QueryFor(bool interBase) const
    {
        return interBase && !m_sqlIb.join(QString()).trimmed().isEmpty() ? m_sqlIb : m_sql;
    }
    QList<Column> Columns() const { return m_columns; }
    void setColumnTitle(int column, const QString& title);
    void setColumns(const QList<Column>& columns) { m_columns = columns; }
    void setReportCode(const QString& code) { m_reportCode = code; }
    void setOrientation(QPageLayout::Orientation o) { m_orientation = o; }
    void setSQL(const QStringList& sql) { m_sql = sql; }
    void setSQL_IB(const QStringList& sql) { m_sqlIb = sql; }
    void setFilters(const QList<FilterItem>& filters) { m_filters = filters; }
    void setGroupBy(const Group& group) { m_group = group; }
    // The second group level, inside the first; only with a first one.
    bool HasSubGroup() const { return HasGroup() && !m_subGroup.field.isEmpty(); }
    Group SubGroup() const { return m_subGroup; }
    void setSubGroup(const Group& group) { m_subGroup = group; }
    void setTotals(const Totals& totals) { m_totals = totals; }
    // Fields the rows are ordered by ("NAME" or "NAME DESC"); empty keeps the query's order.
    QStringList Sort() const { return m_sort; }
    void setSort(const QStringList& sort) { m_sort = sort; }
    // Whether the page header shows the filter line.
    bool FilterLine() const { return m_filterLine; }
    void setFilterLine(bool on) { m_filterLine = on; }
    void setFilePath(const QString& path) { m_filePath = path; }
    // What a run prints: hidden columns and their totals left out, the filter line
    // dropped when switched off, the query ordered by the groups and the sort fields.
    TReportDefinition printable() const;
    QList<FilterItem> Filters() const { return m_filters; }
    bool HasGroup() const { return !m_group.field.isEmpty(); }
    Group GroupBy() const { return m_group; }
    bool HasTotals() const { return !m_totals.fields.isEmpty(); }
    Totals TotalsBy() const { return m_totals; }
    QString FilePath() const { return m_filePath; }

private:
    QString m_name;
    QString m_reportCode;
    QString m_title;
    QPageLayout::Orientation m_orientation = QPageLayout::Portrait;
    QStringList m_sql;
    QStringList m_sqlIb;
    QList<Column> m_columns;
    QList<FilterItem> m_filters;
    Group m_group;
    Totals m_totals;
    Group m_subGroup;
    QStringList m_sort;
    bool m_filterLine = true;
    QString m_filePath;
};
