#pragma once

#include "FrameworkExport.h"

#include <QLoggingCategory>

// One category per layer; an administrator turns a trace on with QT_LOGGING_RULES,
// e.g. "fis.data.debug=true" for every statement sent (texts and the kinds of the
// values bound, never the values of passwords or of the connection).
FW_EXPORT Q_DECLARE_LOGGING_CATEGORY(fisCore)
FW_EXPORT Q_DECLARE_LOGGING_CATEGORY(fisData)
FW_EXPORT Q_DECLARE_LOGGING_CATEGORY(fisWidgets)
FW_EXPORT Q_DECLARE_LOGGING_CATEGORY(fisReport)
FW_EXPORT Q_DECLARE_LOGGING_CATEGORY(fisForms)
FW_EXPORT Q_DECLARE_LOGGING_CATEGORY(fisHost)
