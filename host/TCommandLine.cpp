#include "TCommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

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
    const QCommandLineOption module(
        QStringLiteral("module"),
        QStringLiteral("Biblioteca do módulo (padrão: libfis01200.so ao lado do programa)."),
        QStringLiteral("ARQUIVO"));
    const QCommandLineOption open(
        QStringLiteral("open"),
        QStringLiteral("Abre a Listagem dos Documentos ao iniciar. Aceita um MODO opcional "
                       "(--open MODO): S abre como janela filha, outro valor como diálogo."));
    const QCommandLineOption reports(QStringLiteral("reports"),
                                     QStringLiteral("Diretório das definições de relatórios."),
                                     QStringLiteral("DIR"));
    const QCommandLineOption driver(
        QStringLiteral("driver"),
        QStringLiteral("Banco de dados: sqlite, postgresql ou firebird (padrão: sqlite)."),
        QStringLiteral("DRIVER"));
    const QCommandLineOption database(
        QStringLiteral("database"),
        QStringLiteral("Arquivo ou nome do banco (padrão no SQLite: o banco de demonstração)."),
        QStringLiteral("BANCO"));
    const QCommandLineOption host(QStringLiteral("host"), QStringLiteral("Servidor do banco."),
                                  QStringLiteral("SERVIDOR"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Porta do servidor."),
                                  QStringLiteral("PORTA"));
    const QCommandLineOption user(QStringLiteral("user"), QStringLiteral("Usuário do banco."),
                                  QStringLiteral("USUARIO"));
    const QCommandLineOption passwordFile(
        QStringLiteral("password-file"),
        QStringLiteral("Arquivo com a senha do banco. Sem ele vale a variável de ambiente "
                       "FIS_DB_PASSWORD; a senha nunca é aceita na linha de comando."),
        QStringLiteral("ARQUIVO"));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Grava a janela principal neste arquivo PNG e encerra."),
        QStringLiteral("ARQUIVO"));
    const QCommandLineOption quitAfter(
        QStringLiteral("quit-after"),
        QStringLiteral("Encerra após MS milissegundos (com --screenshot, grava a imagem antes)."),
        QStringLiteral("MS"));
    const QList<QCommandLineOption> valued = {module, reports, driver,       database,   host,
                                              port,   user,    passwordFile, screenshot, quitAfter};

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Sistema Fiscal"));
    parser.addOption(help);
    parser.addOptions(valued);
    parser.addOption(open);

    // QCommandLineParser has no optional values, so the mode after --open is taken
    // out here; a following option is not a mode.
    QStringList prepared{arguments.value(0)};
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

    if (!parser.parse(prepared)) {
        if (!parser.unknownOptionNames().isEmpty())
            return fail(
                QStringLiteral("Opção desconhecida: %1.").arg(parser.unknownOptionNames().first()));
        return fail(QStringLiteral("Linha de comando inválida: %1").arg(parser.errorText()));
    }
    if (parser.isSet(help)) {
        m_helpRequested = true;
        m_helpText = parser.helpText();
        return true;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("Argumento não esperado: %1.")
                        .arg(parser.positionalArguments().first()));

    m_modulePath = parser.isSet(module) ? parser.value(module) : defaultModulePath();
    m_reportDirectory = parser.isSet(reports) ? parser.value(reports) : defaultReportDirectory();

    if (parser.isSet(driver)) {
        m_connection.driver = parser.value(driver).toLower();
        static const QStringList drivers = {QStringLiteral("sqlite"), QStringLiteral("postgresql"),
                                            QStringLiteral("firebird")};
        if (!drivers.contains(m_connection.driver))
            return fail(QStringLiteral("Banco de dados desconhecido: %1 (use sqlite, postgresql "
                                       "ou firebird).")
                            .arg(parser.value(driver)));
    }
    // Empty for SQLite: the data module's own demo database.
    m_connection.database = parser.value(database);
    m_connection.host = parser.value(host);
    m_connection.user = parser.value(user);
    if (parser.isSet(port)) {
        bool ok = false;
        m_connection.port = parser.value(port).toInt(&ok);
        if (!ok || m_connection.port < 1 || m_connection.port > 65535)
            return fail(QStringLiteral("Porta inválida: %1.").arg(parser.value(port)));
    }

    if (parser.isSet(passwordFile)) {
        QFile file(parser.value(passwordFile));
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("Não foi possível ler o arquivo de senha %1: %2")
                            .arg(file.fileName(), file.errorString()));
        QByteArray content = file.readAll();
        // Editors end the file with a line break that is not part of the password.
        while (content.endsWith('\n') || content.endsWith('\r'))
            content.chop(1);
        m_connection.password = QString::fromUtf8(content);
    } else {
        m_connection.password = environment.value(passwordVariable);
    }

    m_screenshotFile = parser.value(screenshot);
    if (parser.isSet(quitAfter)) {
        bool ok = false;
        m_quitAfter = parser.value(quitAfter).toInt(&ok);
        if (!ok || m_quitAfter < 0)
            return fail(QStringLiteral("Tempo inválido em --quit-after: %1 (milissegundos).")
                            .arg(parser.value(quitAfter)));
    } else if (!m_screenshotFile.isEmpty()) {
        m_quitAfter = screenshotDelay;
    }
    return true;
}

QVariant TCommandLine::openParameter() const
{
    return m_hasOpenMode ? QVariant(QVariantList{m_openMode}) : QVariant();
}

QString TCommandLine::defaultModulePath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("libfis01200.so"));
}

QString TCommandLine::defaultReportDirectory()
{
    const QString installed = QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                              QStringLiteral("/../share/fishost/reports"));
    if (QFileInfo(installed).isDir())
        return installed;
    return QStringLiteral(FIS_SOURCE_DIR "/reports");
}
