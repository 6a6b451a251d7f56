#include "TConnectionSettings.h"

#include <QFile>
#include <QSettings>

namespace {

const QString group = QStringLiteral("conexao/");

QString key(const char* name)
{
    return group + QLatin1String(name);
}

} // namespace

TConnectionOptions TConnectionSettings::load(const QSettings& settings)
{
    TConnectionOptions options;
    options.driver = settings.value(key("driver"), options.driver).toString();
    options.database = settings.value(key("database")).toString();
    options.host = settings.value(key("host")).toString();
    options.port = settings.value(key("port"), 0).toInt();
    options.user = settings.value(key("user")).toString();
    options.passwordFile = settings.value(key("passwordFile")).toString();
    options.askPassword = settings.value(key("askPassword"), false).toBool();
    // Set by hand in the settings file; the dialog leaves them as they are.
    options.statementTimeout =
        settings.value(key("statementTimeout"), options.statementTimeout).toInt();
    options.responseTimeout =
        settings.value(key("responseTimeout"), options.responseTimeout).toInt();
    options.keepalive = settings.value(key("keepalive"), options.keepalive).toInt();
    return options;
}

void TConnectionSettings::save(QSettings& settings, const TConnectionOptions& options)
{
    settings.setValue(key("driver"), options.driver);
    settings.setValue(key("database"), options.database);
    settings.setValue(key("host"), options.host);
    settings.setValue(key("port"), options.port);
    settings.setValue(key("user"), options.user);
    settings.setValue(key("passwordFile"), options.passwordFile);
    settings.setValue(key("askPassword"), options.askPassword);
    // A password written by an older version or by hand does not stay.
    settings.remove(key("password"));
    settings.sync();
}

bool TConnectionSettings::readPasswordFile(TConnectionOptions& options, QString* error)
{
    if (!options.password.isEmpty() || options.passwordFile.isEmpty())
        return true;
    QFile file(options.passwordFile);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Não foi possível ler o arquivo de senha %1: %2")
                     .arg(file.fileName(), file.errorString());
        return false;
    }
    if (file.permissions() & (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup)) {
        *error = QStringLiteral("O arquivo de senha %1 pode ser lido por outros usuários: "
                                "proteja-o com chmod 600.")
                     .arg(file.fileName());
        return false;
    }
    QByteArray content = file.readAll();
    // Editors end the file with a line break that is not part of the password.
    while (content.endsWith('\n') || content.endsWith('\r'))
        content.chop(1);
    options.password = QString::fromUtf8(content);
    return true;
}
