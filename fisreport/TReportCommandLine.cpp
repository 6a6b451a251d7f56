#include "TReportCommandLine.h"

#include "TCommandLineParse.h"
#include "TConnectionSettings.h"
#include "TInstallPaths.h"
#include "TReportParams.h"

#include <QCommandLineParser>

namespace {

const QString passwordVariable = QStringLiteral("FIS_DB_PASSWORD");

QCommandLineOption valued(const char* name, const QString& description, const char* valueName)
{
    return QCommandLineOption(QLatin1String(name), description, QLatin1String(valueName));
}

} // namespace

bool TReportCommandLine::fail(const QString& text)
{
    m_errorText = text;
    return false;
}

bool TReportCommandLine::parse(const QStringList& arguments, const QProcessEnvironment& environment)
{
    *this = TReportCommandLine();

    for (const QString& argument : arguments.mid(1)) {
        const QString name = argument.mid(2).section(u'=', 0, 0);
        if (argument.startsWith(QLatin1String("--")) &&
            (name == QLatin1String("password") || name == QLatin1String("senha")))
            return fail(QStringLiteral("A senha não é aceita na linha de comando: use a variável "
                                       "de ambiente %1 ou --password-file ARQUIVO.")
                            .arg(passwordVariable));
    }

    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Mostra esta ajuda."));
    const QList<QCommandLineOption> options = {
        valued("driver", QStringLiteral("Banco de dados: sqlite, postgresql ou firebird."),
               "DRIVER"),
        valued("database", QStringLiteral("Arquivo ou nome do banco."), "BANCO"),
        valued("host", QStringLiteral("Servidor do banco."), "SERVIDOR"),
        valued("port", QStringLiteral("Porta do servidor."), "PORTA"),
        valued("user", QStringLiteral("Usuário do banco."), "USUARIO"),
        valued("password-file",
               QStringLiteral("Arquivo com a senha do banco, legível só pelo dono. Sem ele vale "
                              "a variável de ambiente FIS_DB_PASSWORD."),
               "ARQUIVO"),
        valued("reports",
               QStringLiteral("Diretório das definições de relatórios (padrão: o instalado)."),
               "DIR"),
        valued("code", QStringLiteral("Código do relatório (FIS012)."), "CODIGO"),
        valued("report", QStringLiteral("Nome do relatório (\"Listagem dos Documentos\")."),
               "NOME"),
        valued("param",
               QStringLiteral("Valor de um parâmetro da consulta; datas em AAAA-MM-DD. Pode "
                              "repetir. Um parâmetro não informado vale \"todos\"."),
               "NOME=VALOR"),
        valued("filtro",
               QStringLiteral("Filtro salvo na tela com esse nome; um período relativo (mês "
                              "anterior, mês atual, ano anterior, ano atual) vale para a data "
                              "de hoje. Dispensa --report e --param."),
               "NOME"),
        valued("output",
               QStringLiteral("Arquivo gerado; o formato segue a extensão (.pdf, .csv, .xlsx)."),
               "ARQUIVO"),
    };

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Emite um relatório do Sistema Fiscal em arquivo, sem janela."));
    parser.addOption(help);
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Mostra a versão e encerra."));
    parser.addOption(version);
    parser.addOptions(options);
    QString parseError;
    const auto outcome = TCommandLineParse::parse(parser, arguments, help, parseError);
    if (outcome == TCommandLineParse::Outcome::Failed)
        return fail(parseError);
    if (outcome == TCommandLineParse::Outcome::Help) {
        m_helpRequested = true;
        m_helpText = parser.helpText();
        return true;
    }
    if (parser.isSet(version)) {
        m_versionRequested = true;
        return true;
    }

    for (const char* single : {"driver", "database", "host", "port", "user", "password-file",
                               "reports", "code", "report", "output", "filtro"}) {
        if (parser.values(QLatin1String(single)).size() > 1)
            return fail(QStringLiteral("A opção --%1 foi informada mais de uma vez.")
                            .arg(QLatin1String(single)));
    }

    QString error;
    const QString driver = parser.value(QStringLiteral("driver"));
    m_connection.driver = QStringLiteral("sqlite");
    if (!driver.isEmpty() && !TCommandLineParse::readDriver(driver, m_connection.driver, error))
        return fail(error);
    m_connection.database = parser.value(QStringLiteral("database"));
    if (m_connection.database.isEmpty())
        return fail(QStringLiteral("Informe o banco de dados com --database."));
    m_connection.host = parser.value(QStringLiteral("host"));
    m_connection.user = parser.value(QStringLiteral("user"));
    if (parser.isSet(QStringLiteral("port")) &&
        !TCommandLineParse::readPort(parser.value(QStringLiteral("port")), m_connection.port,
                                     error))
        return fail(error);
    m_connection.passwordFile = parser.value(QStringLiteral("password-file"));
    if (!TConnectionSettings::readPasswordFile(m_connection, &error))
        return fail(error);
    if (m_connection.passwordFile.isEmpty())
        m_connection.password = environment.value(passwordVariable);

    m_reportDirectory = parser.isSet(QStringLiteral("reports"))
                            ? parser.value(QStringLiteral("reports"))
                            : TInstallPaths::reportDirectory();
    m_reportCode = parser.value(QStringLiteral("code")).toUpper();
    m_reportName = parser.value(QStringLiteral("report"));
    m_outputPath = parser.value(QStringLiteral("output"));
    m_filterName = parser.value(QStringLiteral("filtro"));
    if (m_reportCode.isEmpty())
        return fail(QStringLiteral("Informe o código do relatório com --code (como FIS012)."));
    if (parser.isSet(QStringLiteral("filtro")) && m_filterName.trimmed().isEmpty())
        return fail(QStringLiteral("Informe o nome do filtro salvo em --filtro."));
    if (!m_filterName.isEmpty() && parser.isSet(QStringLiteral("param")))
        return fail(QStringLiteral("Use --filtro ou --param, não os dois: o filtro salvo já "
                                   "traz todos os valores."));
    if (m_reportName.isEmpty() && m_filterName.isEmpty())
        return fail(QStringLiteral("Informe o nome do relatório com --report."));
    if (m_outputPath.isEmpty())
        return fail(QStringLiteral("Informe o arquivo a gerar com --output."));

    if (!TReportParams::readPairs(parser.values(QStringLiteral("param")), m_params, error))
        return fail(error);
    return true;
}
