#include "EFrameworkError.h"

EFrameworkError::EFrameworkError(const QString& message)
    : std::runtime_error(message.toStdString()), m_message(message)
{
}
