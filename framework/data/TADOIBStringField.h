#pragma once

#include "FisDataExport.h"

#include <QObject>
#include <QString>

class TADOIBQuery;

// A declared text column of a query's result, read on the dataset's current row.
class FIS_DATA_EXPORT TADOIBStringField : public QObject
{
    Q_OBJECT

public:
    TADOIBStringField(TADOIBQuery* query, const QString& fieldName);

    QString FieldName() const { return m_fieldName; }
    // The column's title wherever the field is listed; the column name when unset.
    QString DisplayLabel() const;
    void setDisplayLabel(const QString& label) { m_displayLabel = label; }
    int Size() const { return m_size; }
    void setSize(int size) { m_size = size; }
    bool Required() const { return m_required; }
    void setRequired(bool required) { m_required = required; }
    bool Visible() const { return m_visible; }
    void setVisible(bool visible) { m_visible = visible; }

    // The text on the current row; empty for NULL. Reading a closed query is an error.
    QString AsString() const;
    bool IsNull() const;

private:
    TADOIBQuery* m_query;
    QString m_fieldName;
    QString m_displayLabel;
    int m_size = 20;
    bool m_required = false;
    bool m_visible = true;
};
