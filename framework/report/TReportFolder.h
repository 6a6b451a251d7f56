#pragma once

#include "FisReportExport.h"

#include <QString>

// Where report definitions may be trusted from, and how written files get their mode.
class FIS_REPORT_EXPORT TReportFolder
{
public:
    // A message naming the folder when users other than its owner and root may change it
    // (group or others may write): a file planted there could pose as a shipped report.
    static QString unsafe(const QString& directory);
    // A message naming path when it is a symbolic link: a user report or folder is read and
    // written only where it really is.
    static QString symlinked(const QString& path, const QString& what);
    // The mode for a file about to be published at target: the existing file's own, or what
    // the process's umask leaves of rw-rw-rw-.
    static unsigned publishMode(const QString& target);
    // Gives file that mode; false when the system refused.
    static bool applyMode(const QString& file, unsigned mode);
};
