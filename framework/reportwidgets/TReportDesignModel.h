#pragma once

#include "FisReportWidgetsExport.h"
#include "TReportDefinition.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QUndoStack;

// The report being laid out in the designer. Every edit is a command on the undo
// stack; an edit that would make the report unusable is refused with an error and
// leaves both the report and the stack as they were.
class FIS_REPORTWIDGETS_EXPORT TReportDesignModel : public QObject
{
    Q_OBJECT

public:
    using Format = TReportDefinition::Format;
    using Group = TReportDefinition::Group;

    enum class Dialect
    {
        Default,
        Firebird
    };

    // shippedDirectory holds the reports delivered with the system; empty means the
    // application's report directory.
    explicit TReportDesignModel(const TReportDefinition& definition,
                                const QString& shippedDirectory = {}, QObject* parent = nullptr);
    ~TReportDesignModel() override;

    // A report of that code with no columns and no query yet.
    static TReportDefinition emptyReport(const QString& reportCode);
    // The parameters the filter screen fills, in its order (the installed
    // TReportParameters).
    static QStringList parameterNames();
    // The filter line items of those parameters, as the shipped reports show them.
    static QList<TReportDefinition::FilterItem> standardFilters();

    const TReportDefinition& definition() const { return m_definition; }
    QUndoStack* undoStack() const { return m_undo; }

    // Columns; at -1 appends.
    void addColumn(const QString& field, int at = -1);
    void removeColumn(int index);
    void moveColumn(int from, int to);
    void setColumnTitle(int index, const QString& title);
    void setColumnWidth(int index, double width);
    void setColumnAlignment(int index, Qt::Alignment alignment);
    // A column leaving money or integer also leaves the totals.
    void setColumnFormat(int index, Format format);
    void setColumnValues(int index, const QMap<QString, QString>& values);
    void setColumnVisible(int index, bool visible);

    void setSort(const QStringList& sort);
    // Level 0 is the outer group, 1 the one inside it; an empty field removes the level
    // (and the inner one with the outer).
    void setGroup(int level, const Group& group);
    // Fields summed per group and for the report (money or integer columns), the grand
    // total's caption and the count's label (empty: no count).
    void setTotals(const QStringList& fields, const QString& caption, const QString& countLabel);
    void setOrientation(QPageLayout::Orientation orientation);
    void setTitle(const QString& title);
    void setFilterLine(bool on);
    // Refuses a text that uses a parameter the screen does not fill.
    void setQuery(Dialect dialect, const QString& text);
    QString query(Dialect dialect) const;

    // A user report is saved in place; a shipped or a new one only under a new title.
    bool canSave() const;
    QString save();
    QString saveAs(const QString& title);
    QString shippedDirectory() const { return m_shippedDirectory; }

Q_SIGNALS:
    void changed();
    void saved(const QString& path);

private:
    void push(const QString& text, const TReportDefinition& after, const QString& mergeKey = {});
    void apply(const TReportDefinition& definition);
    int checkedColumn(int index) const;
    // The definition with one column changed, for an edit to push.
    TReportDefinition
    withColumn(int index, const std::function<void(TReportDefinition::Column&)>& change) const;
    // The definition as it would be read back from its file; refuses what the file
    // format refuses. While editing, a report may still lack its name, columns or query.
    void validate(const TReportDefinition& definition, bool complete = false) const;

    TReportDefinition m_definition;
    QString m_shippedDirectory;
    QUndoStack* m_undo;
};
