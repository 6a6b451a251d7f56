#pragma once

#include "FisCoreExport.h"

#include <QString>
#include <stdexcept>

// An error the user is told about: a database error carries the driver's text,
// a refused value or a missing name carries a Portuguese sentence.
class FIS_CORE_EXPORT EFrameworkError : public std::runtime_error
{
public:
    explicit EFrameworkError(const QString& message);
    // A Portuguese message for the clerk, the driver's own text kept as its detail.
    EFrameworkError(const QString& message, const QString& detail);
    QString message() const { return m_message; }
    QString detail() const { return m_detail; }

private:
    QString m_message;
    QString m_detail;
};
