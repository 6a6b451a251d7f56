#pragma once

#include "FisDataExport.h"

#include <QDate>
#include <QString>
#include <QVariant>

enum class TFieldType
{
    ftUnknown,
    ftString,
    ftDate,
    ftDateTime,
    ftInteger,
    ftFloat
};
enum class TParamType
{
    ptUnknown,
    ptInput,
    ptOutput,
    ptInputOutput,
    ptResult
};

// One named query parameter. A cleared parameter is NULL of its declared type.
class FIS_DATA_EXPORT TParam
{
public:
    explicit TParam(const QString& name = {}, TFieldType type = TFieldType::ftString,
                    TParamType paramType = TParamType::ptUnknown);

    QString Name() const { return m_name; }
    TFieldType DataType() const { return m_type; }
    TParamType ParamType() const { return m_paramType; }

    void SetAsString(const QString& text);
    void SetAsDate(const QDate& date);
    void SetAsVariant(const QVariant& value);
    void Clear();

    bool IsNull() const;
    // False until a value (NULL included, through Clear) is given after construction.
    bool Assigned() const { return m_assigned; }
    QString AsString() const;
    QDate AsDate() const;
    QVariant Value() const { return m_value; }

private:
    QString m_name;
    TFieldType m_type;
    TParamType m_paramType;
    QVariant m_value;
    bool m_assigned = false;
};
