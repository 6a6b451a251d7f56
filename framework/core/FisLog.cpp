#include "FisLog.h"

// Warnings (errors shown to the clerk, with their detail) are on by default.
Q_LOGGING_CATEGORY(fisCore, "fis.core", QtWarningMsg)
Q_LOGGING_CATEGORY(fisData, "fis.data", QtWarningMsg)
Q_LOGGING_CATEGORY(fisWidgets, "fis.widgets", QtWarningMsg)
Q_LOGGING_CATEGORY(fisReport, "fis.report", QtWarningMsg)
Q_LOGGING_CATEGORY(fisForms, "fis.forms", QtWarningMsg)
Q_LOGGING_CATEGORY(fisHost, "fis.host", QtWarningMsg)
