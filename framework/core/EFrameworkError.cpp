#include "EFrameworkError.h"

EFrameworkError::EFrameworkError(const QString& message)
    : std::runtime_error(message.toStdString()), m_message(message)
{
}

EFrameworkError::EFrameworkError(const QString& message, const QString& detail)
    : std::runtime_error(message.toStdString()), m_message(message), m_detail(detail)
{
}
