#include "TConnectionSettings.h"

#include "TCommandLineParse.h"

#include <QFile>
#include <QLocale>
#include <QSettings>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString group = QStringLiteral("conexao/");

QString key(const char* name)
{
    return group + QLatin1String(name);
}

// The longest a timeout may be, in seconds: a day; the drivers take milliseconds in an int.
constexpr int kMaxSeconds = 86400;

// Reads one key of the settings, leaving value as it is when the key is absent or its
// value is refused; the first refusal goes to error.
class SettingsReader
{
public:
    SettingsReader(const QSettings& settings, QString* error) : m_settings(settings), m_error(error)
    {
    }

    void text(const char* name, QString& value) const
    {
        value = m_settings.value(key(name), value).toString();
    }

    void number(const char* name, int& value, int least, int most, const QString& hint)
    {
        const QVariant v = m_settings.value(key(name));
        if (!v.isValid())
            return;
        bool ok = false;
        const qlonglong n = v.toString().trimmed().toLongLong(&ok);
        if (ok && n >= least && n <= most)
            value = int(n);
        else
            refuse(name, v.toString(), hint);
    }

    void flag(const char* name, bool& value)
    {
        const QVariant v = m_settings.value(key(name));
        if (!v.isValid())
            return;
        const QString t = v.toString().trimmed().toLower();
        if (t == u"true" || t == u"1")
            value = true;
        else if (t == u"false" || t == u"0")
            value = false;
        else
            refuse(name, v.toString(), QStringLiteral("use true ou false"));
    }

    void driver(QString& value)
    {
        const QVariant v = m_settings.value(key("driver"));
        QString refused;
        if (v.isValid() && !TCommandLineParse::readDriver(v.toString(), value, refused))
            refuse("driver", v.toString(), QStringLiteral("use sqlite, postgresql ou firebird"));
    }

private:
    void refuse(const char* name, const QString& value, const QString& hint)
    {
        if (!m_error || !m_error->isEmpty())
            return;
        *m_error = QStringLiteral("A configuração %1 em %2 tem um valor inválido, \"%3\" (%4). "
                                  "Corrija o arquivo, use \"Tentar novamente\" para conectar "
                                  "com o valor padrão ou \"Configurar conexão…\" para escolher "
                                  "outra conexão.")
                       .arg(key(name), m_settings.fileName(), value, hint);
    }

    const QSettings& m_settings;
    QString* m_error;
};

} // namespace

TConnectionOptions TConnectionSettings::load(const QSettings& settings, QString* error)
{
    if (error)
        error->clear();
    TConnectionOptions options;
    SettingsReader read(settings, error);
    const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
    const QString seconds =
        QStringLiteral("use segundos, de 0 a %1; 0 desliga").arg(brazil.toString(kMaxSeconds));
    read.driver(options.driver);
    read.text("database", options.database);
    read.text("host", options.host);
    read.number("port", options.port, 0, 65535,
                QStringLiteral("use um número de porta de 1 a 65535, ou 0 para a porta padrão"));
    read.text("user", options.user);
    read.text("passwordFile", options.passwordFile);
    read.flag("askPassword", options.askPassword);
    // Set by hand in the settings file; the dialog leaves them as they are.
    read.number("statementTimeout", options.statementTimeout, 0, kMaxSeconds, seconds);
    read.number("responseTimeout", options.responseTimeout, 0, kMaxSeconds, seconds);
    read.number("keepalive", options.keepalive, 0, kMaxSeconds, seconds);
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
    const QString& path = options.passwordFile;
    // Without O_NONBLOCK a FIFO would hold the program until something wrote to it.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = QStringLiteral("Não foi possível ler o arquivo de senha %1: %2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    struct stat st = {};
    QString refused;
    if (::fstat(fd, &st) != 0)
        refused = QStringLiteral("Não foi possível ler o arquivo de senha %1: %2")
                      .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    else if (!S_ISREG(st.st_mode))
        refused = QStringLiteral("O arquivo de senha %1 não é um arquivo comum (é uma pasta, "
                                 "um FIFO ou um dispositivo): guarde a senha num arquivo seu, "
                                 "protegido com chmod 600.")
                      .arg(path);
    else if (st.st_uid != ::geteuid())
        refused = QStringLiteral("O arquivo de senha %1 pertence a outro usuário: guarde a senha "
                                 "num arquivo seu, protegido com chmod 600.")
                      .arg(path);
    else if (st.st_mode & (S_IRWXG | S_IRWXO))
        refused = QStringLiteral("O arquivo de senha %1 pode ser lido ou alterado por outros "
                                 "usuários (permissões %2): proteja-o com chmod 600.")
                      .arg(path)
                      .arg(st.st_mode & 0777, 4, 8, QChar(u'0'));
    QFile file;
    if (refused.isEmpty() && !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        refused = QStringLiteral("Não foi possível ler o arquivo de senha %1: %2")
                      .arg(path, file.errorString());
    if (!refused.isEmpty()) {
        if (!file.isOpen())
            ::close(fd);
        *error = refused;
        return false;
    }
    QByteArray content = file.readAll();
    // Editors end the file with a line break that is not part of the password.
    while (content.endsWith('\n') || content.endsWith('\r'))
        content.chop(1);
    options.password = QString::fromUtf8(content);
    return true;
}
