#pragma once

#include "FisCoreExport.h"

#include <QLoggingCategory>

// One category per layer; an administrator turns a trace on with QT_LOGGING_RULES,
// e.g. "fis.data.debug=true" for every statement sent (texts and the kinds of the
// values bound, never the values of passwords or of the connection).
FIS_CORE_EXPORT Q_DECLARE_LOGGING_CATEGORY(fisCore)
FIS_CORE_EXPORT Q_DECLARE_LOGGING_CATEGORY(fisData)
FIS_CORE_EXPORT Q_DECLARE_LOGGING_CATEGORY(fisWidgets)
FIS_CORE_EXPORT Q_DECLARE_LOGGING_CATEGORY(fisReport)
FIS_CORE_EXPORT Q_DECLARE_LOGGING_CATEGORY(fisForms)
FIS_CORE_EXPORT Q_DECLARE_LOGGING_CATEGORY(fisHost)
