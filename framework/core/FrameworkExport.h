#pragma once

#include <QtCore/qglobal.h>

#if defined(FISFRAMEWORK_LIBRARY)
#define FW_EXPORT Q_DECL_EXPORT
#else
#define FW_EXPORT Q_DECL_IMPORT
#endif
