#pragma once

#include "FisReportExport.h"

#include <QString>
#include <functional>

// A report file is written beside its target and renamed over it once complete, so the
// rename stays on one file system: a failed or cancelled write leaves neither a part of
// the file nor a changed old one.
class FIS_REPORT_EXPORT TReportFile
{
public:
    // write fills the temporary file it is given; it returns false when cancelled. True
    // once the file is at path, with the old file's mode or the one the umask leaves. A temporary
    // that cannot be made or renamed is an EFrameworkError naming path; what write
    // throws passes through, the temporary removed.
    static bool writeThenRename(const QString& path,
                                const std::function<bool(const QString& file)>& write);
    // "Não foi possível gravar o arquivo 'path': reason."
    static QString errorText(const QString& path, const QString& reason);
    // What keeps a file from being written at path, in the clerk's words, when its folder
    // tells: read-only (or not the user's to write) or a full disk; empty otherwise.
    static QString folderFault(const QString& path);
};
