#include "TADOIBStringField.h"

#include "EFrameworkError.h"
#include "TADOIBQuery.h"

TADOIBStringField::TADOIBStringField(TADOIBQuery* query, const QString& fieldName)
    : QObject(query), m_query(query), m_fieldName(fieldName)
{
}

QString TADOIBStringField::DisplayLabel() const
{
    return m_displayLabel.isEmpty() ? m_fieldName : m_displayLabel;
}

static QVariant currentValue(const TADOIBQuery* query, const QString& fieldName)
{
    const TADOIBDataSet* data = query->Query();
    if (!data->isOpen())
        throw EFrameworkError(
            QStringLiteral("%1: a consulta não está aberta.").arg(query->objectName()));
    if (data->columnIndex(fieldName) < 0)
        throw EFrameworkError(QStringLiteral("%1: campo '%2' não encontrado no resultado.")
                                  .arg(query->objectName(), fieldName));
    return data->currentValue(fieldName);
}

QString TADOIBStringField::AsString() const
{
    return currentValue(m_query, m_fieldName).toString();
}

bool TADOIBStringField::IsNull() const
{
    return currentValue(m_query, m_fieldName).isNull();
}
