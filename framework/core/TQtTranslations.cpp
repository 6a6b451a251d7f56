#include "TQtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QString TQtTranslations::defaultDirectory()
{
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

QTranslator* TQtTranslations::install(QCoreApplication& app, const QString& directory)
{
    auto* translator = new QTranslator(&app);
    // qtbase_pt_BR, or qtbase_pt where only that exists.
    if (!translator->load(QLocale(QLocale::Portuguese, QLocale::Brazil), QStringLiteral("qtbase"),
                          QStringLiteral("_"), directory)) {
        delete translator;
        return nullptr;
    }
    QCoreApplication::installTranslator(translator);
    return translator;
}
