#pragma once

#include "FisCoreExport.h"

#include <QString>

class QCoreApplication;
class QTranslator;

// Qt's own texts (dialog buttons, the print, preview and file dialogs) in Brazilian
// Portuguese, from Debian's qt6-translations-l10n when it is installed.
class FIS_CORE_EXPORT TQtTranslations
{
public:
    // Qt's translations folder.
    static QString defaultDirectory();
    // Installs qtbase_pt_BR from directory on app (app owns it; deleting it uninstalls
    // it). Null, and nothing installed, when the folder has no such file.
    static QTranslator* install(QCoreApplication& app,
                                const QString& directory = defaultDirectory());
};
