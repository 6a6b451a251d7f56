#include "TParam.h"

TParam::TParam(const QString& name, TFieldType type, TParamType paramType)
    : m_name(name), m_type(type), m_paramType(paramType)
{
    Clear();
    m_assigned = false;
}

void TParam::SetAsString(const QString& text)
{
    m_assigned = true;
    m_type = TFieldType::ftString;
    // An empty text is a value, not NULL: only Clear makes NULL.
    m_value = QVariant(text.isNull() ? QStringLiteral("") : text);
}

void TParam::SetAsDate(const QDate& date)
{
    m_assigned = true;
    m_type = TFieldType::ftDate;
    m_value = date.isValid() ? QVariant(date) : QVariant(QMetaType::fromType<QDate>());
}

void TParam::SetAsVariant(const QVariant& value)
{
    m_assigned = true;
    m_value = value;
    switch (value.typeId()) {
    case QMetaType::QString:
        m_type = TFieldType::ftString;
        break;
    case QMetaType::QDate:
        m_type = TFieldType::ftDate;
        break;
    case QMetaType::QDateTime:
        m_type = TFieldType::ftDateTime;
        break;
    case QMetaType::Int:
    case QMetaType::LongLong:
        m_type = TFieldType::ftInteger;
        break;
    case QMetaType::Double:
        m_type = TFieldType::ftFloat;
        break;
    default:
        break;
    }
}

void TParam::Clear()
{
    m_assigned = true;
    switch (m_type) {
    case TFieldType::ftDate:
        m_value = QVariant(QMetaType::fromType<QDate>());
        break;
    case TFieldType::ftDateTime:
        m_value = QVariant(QMetaType::fromType<QDateTime>());
        break;
    case TFieldType::ftInteger:
        m_value = QVariant(QMetaType::fromType<int>());
        break;
    case TFieldType::ftFloat:
        m_value = QVariant(QMetaType::fromType<double>());
        break;
    default:
        m_value = QVariant(QMetaType::fromType<QString>());
        break;
    }
}

bool TParam::IsNull() const
{
    return m_value.isNull();
}

QString TParam::AsString() const
{
    return m_value.toString();
}

QDate TParam::AsDate() const
{
    return m_value.toDate();
}
