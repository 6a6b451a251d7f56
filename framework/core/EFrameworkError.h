#pragma once

#include "FrameworkExport.h"

#include <QString>
#include <stdexcept>

// An error the user is told about: a database error carries the driver's text,
// a refused value or a missing name carries a Portuguese sentence.
class FW_EXPORT EFrameworkError : public std::runtime_error
{
public:
    explicit EFrameworkError(const QString& message);
    QString message() const { return m_message; }

private:
    QString m_message;
};
