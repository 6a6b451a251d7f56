#include "TCommandLine.h"

#include "TCommandLineParse.h"
#include "TConnectionSettings.h"
#include "TInstallPaths.h"

#include <QCommandLineParser>

#include <algorithm>

namespace {

const QString passwordVariable = QStringLiteral("FIS_DB_PASSWORD");
// Long enough for the window and an opened screen to be painted.
constexpr int screenshotDelay = 2000;

QString optionName(const QString& argument)
{
    if (!argument.startsWith(QLatin1String("--")))
        return QString();
    return argument.mid(2).section(QLatin1Char('='), 0, 0);
}

QCommandLineOption valued(const char* name, const QString& description, const char* valueName)
{
    return QCommandLineOption(QLatin1String(name), description, QLatin1String(valueName));
}

// The options that take a value; the connection's come first.
const QList<QCommandLineOption>& valuedOptions()
{
    static const QList<QCommandLineOption> options = {
        valued("driver",
               QStringLiteral("Banco de dados: sqlite, postgresql ou firebird (padrão: o "
                              "configurado em Arquivo › Configurar conexão, ou sqlite)."),
               "DRIVER"),
        valued("database",
               QStringLiteral("Arquivo ou nome do banco (padrão no SQLite: o banco de "
                              "demonstração)."),
               "BANCO"),
        valued("host", QStringLiteral("Servidor do banco."), "SERVIDOR"),
        valued("port", QStringLiteral("Porta do servidor."), "PORTA"),
        valued("user", QStringLiteral("Usuário do banco."), "USUARIO"),
        valued("password-file",
               QStringLiteral("Arquivo com a senha do banco, legível só pelo dono. Sem ele vale "
                              "a variável de ambiente FIS_DB_PASSWORD; a senha nunca é aceita "
                              "na linha de comando."),
               "ARQUIVO"),
        valued("module", QStringLiteral("Biblioteca do módulo (padrão: libfis01200.so instalada)."),
               "ARQUIVO"),
        valued("reports", QStringLiteral("Diretório das definições de relatórios."), "DIR"),
        valued("screenshot",
               QStringLiteral("Grava a janela principal neste arquivo PNG e encerra."), "ARQUIVO"),
        valued("quit-after",
               QStringLiteral("Encerra após MS milissegundos (com --screenshot, grava a imagem "
                              "antes)."),
               "MS"),
    };
    return options;
}

const QStringList connectionNames = {QStringLiteral("driver"), QStringLiteral("database"),
                                     QStringLiteral("host"),   QStringLiteral("port"),
                                     QStringLiteral("user"),   QStringLiteral("password-file")};

} // namespace

bool TCommandLine::fail(const QString& text)
{
    m_errorText = text;
    return false;
}

bool TCommandLine::parse(const QStringList& arguments, const QProcessEnvironment& environment)
{
    *this = TCommandLine();

    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Mostra esta ajuda."));
    const QCommandLineOption open(
        QStringLiteral("open"),
        QStringLiteral("Abre a Listagem dos Documentos ao iniciar. Aceita um MODO opcional "
                       "(--open MODO): S abre como janela filha, outro valor como diálogo."));
    const QCommandLineOption listReports(
        QStringLiteral("list-reports"),
        QStringLiteral("Lista os relatórios do sistema e os do usuário, com a pasta de cada um, "
                       "e encerra."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Mostra a versão e encerra."));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Sistema Fiscal"));
    parser.addOption(help);
    parser.addOptions(valuedOptions());
    parser.addOption(open);
    parser.addOption(listReports);
    parser.addOption(version);

    QStringList prepared;
    if (!prepare(arguments, valuedOptions(), prepared))
        return false;
    QString parseError;
    const auto outcome = TCommandLineParse::parse(parser, prepared, help, parseError);
    if (outcome == TCommandLineParse::Outcome::Failed)
        return fail(parseError);
    if (outcome == TCommandLineParse::Outcome::Help) {
        m_helpRequested = true;
        m_helpText = parser.helpText();
        return true;
    }

    m_versionRequested = parser.isSet(version);
    m_listReports = parser.isSet(listReports);
    m_modulePath = parser.isSet(QStringLiteral("module")) ? parser.value(QStringLiteral("module"))
                                                          : TInstallPaths::modulePath();
    m_reportDirectory = parser.isSet(QStringLiteral("reports"))
                            ? parser.value(QStringLiteral("reports"))
                            : TInstallPaths::reportDirectory();
    return readConnection(parser, environment) && readRun(parser);
}

bool TCommandLine::prepare(const QStringList& arguments, const QList<QCommandLineOption>& valued,
                           QStringList& prepared)
{
    // QCommandLineParser has no optional values, so the mode after --open is taken
    // out here; a following option is not a mode.
    prepared = QStringList{arguments.value(0)};
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--")) {
            prepared << arguments.mid(i);
            break;
        }
        const QString name = optionName(argument);
        if (name == QLatin1String("password") || name == QLatin1String("senha"))
            return fail(QStringLiteral("A senha não é aceita na linha de comando: use a variável "
                                       "de ambiente %1 ou --password-file ARQUIVO.")
                            .arg(passwordVariable));
        if (name == QLatin1String("open")) {
            m_openRequested = true;
            if (argument.contains(QLatin1Char('='))) {
                m_hasOpenMode = true;
                m_openMode = argument.section(QLatin1Char('='), 1);
            } else if (i + 1 < arguments.size() && !arguments.at(i + 1).startsWith(u'-')) {
                m_hasOpenMode = true;
                m_openMode = arguments.at(++i);
            }
            prepared << QStringLiteral("--open");
            continue;
        }
        const bool needsValue = std::any_of(valued.begin(), valued.end(), [&](const auto& option) {
            return option.names().contains(name) && !argument.contains(QLatin1Char('='));
        });
        if (needsValue && i + 1 == arguments.size())
            return fail(QStringLiteral("Falta o valor da opção --%1.").arg(name));
        prepared << argument;
    }
    return true;
}

bool TCommandLine::readConnection(const QCommandLineParser& parser,
                                  const QProcessEnvironment& environment)
{
    for (const QString& name : connectionNames) {
        if (parser.isSet(name))
            m_connectionValues.insert(name, parser.value(name));
    }
    QString error;
    if (m_connectionValues.contains(QStringLiteral("driver"))) {
        QString& driver = m_connectionValues[QStringLiteral("driver")];
        if (!TCommandLineParse::readDriver(driver, driver, error))
            return fail(error);
    }
    int port = 0;
    if (m_connectionValues.contains(QStringLiteral("port")) &&
        !TCommandLineParse::readPort(m_connectionValues.value(QStringLiteral("port")), port, error))
        return fail(error);
    // The file is the explicit choice, so it wins over the environment.
    TConnectionOptions fromFile;
    fromFile.passwordFile = m_connectionValues.value(QStringLiteral("password-file"));
    if (!TConnectionSettings::readPasswordFile(fromFile, &error))
        return fail(error);
    m_password =
        fromFile.passwordFile.isEmpty() ? environment.value(passwordVariable) : fromFile.password;
    return true;
}

bool TCommandLine::readRun(const QCommandLineParser& parser)
{
    m_screenshotFile = parser.value(QStringLiteral("screenshot"));
    if (parser.isSet(QStringLiteral("quit-after"))) {
        bool ok = false;
        m_quitAfter = parser.value(QStringLiteral("quit-after")).toInt(&ok);
        if (!ok || m_quitAfter < 0)
            return fail(QStringLiteral("Tempo inválido em --quit-after: %1 (milissegundos).")
                            .arg(parser.value(QStringLiteral("quit-after"))));
    } else if (!m_screenshotFile.isEmpty()) {
        m_quitAfter = screenshotDelay;
    }
    return true;
}

TConnectionOptions TCommandLine::connection(const TConnectionOptions& saved) const
{
    const auto take = [this](const char* name, QString& field) {
        const auto found = m_connectionValues.constFind(QLatin1String(name));
        if (found != m_connectionValues.cend())
            field = *found;
    };
    TConnectionOptions result = saved;
    const QString driver = m_connectionValues.value(QStringLiteral("driver"), saved.driver);
    if (driver != saved.driver) {
        result = TConnectionOptions();
        result.driver = driver;
    }
    take("database", result.database);
    take("host", result.host);
    take("user", result.user);
    if (m_connectionValues.contains(QStringLiteral("port")))
        result.port = m_connectionValues.value(QStringLiteral("port")).toInt();
    if (!m_password.isEmpty()) {
        result.password = m_password;
        result.askPassword = false;
    }
    return result;
}

QVariant TCommandLine::openParameter() const
{
    return m_hasOpenMode ? QVariant(QVariantList{m_openMode}) : QVariant();
}
