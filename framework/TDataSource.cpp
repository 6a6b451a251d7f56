#include "TDataSource.h"

#include "TADOIBQuery.h"

TDataSource::TDataSource(QObject* parent) : QObject(parent) {}
