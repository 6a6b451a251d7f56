#include "TCommandLine.h"

#include <QCoreApplication>
#include <QTemporaryFile>
#include <QTest>

class tst_HostCommandLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaults();
    void everyOption();
    void openMode_data();
    void openMode();
    void passwordIsRefused_data();
    void passwordIsRefused();
    void passwordFromEnvironmentOrFile();
    void refusedArguments_data();
    void refusedArguments();
};

namespace {

QStringList arguments(const QStringList& options)
{
    return QStringList{QStringLiteral("fishost")} + options;
}

QProcessEnvironment environment(const QString& password = QString())
{
    QProcessEnvironment result;
    if (!password.isNull())
        result.insert(QStringLiteral("FIS_DB_PASSWORD"), password);
    return result;
}

} // namespace

void tst_HostCommandLine::defaults()
{
    TCommandLine line;
    QVERIFY2(line.parse(arguments({}), environment()), qPrintable(line.errorText()));

    QCOMPARE(line.modulePath(),
             QCoreApplication::applicationDirPath() + QStringLiteral("/libfis01200.so"));
    QCOMPARE(line.reportDirectory(), QStringLiteral(FIS_SOURCE_DIR "/reports"));
    QCOMPARE(line.connection().driver, QStringLiteral("sqlite"));
    QVERIFY(line.connection().database.isEmpty());
    QVERIFY(!line.openRequested());
    QCOMPARE(line.quitAfter(), -1);

    // A picture alone still ends the run.
    QVERIFY(line.parse(arguments({"--screenshot", "/tmp/tela.png"}), environment()));
    QVERIFY(line.quitAfter() > 0);
}

void tst_HostCommandLine::everyOption()
{
    TCommandLine line;
    QVERIFY2(line.parse(arguments({"--module",     "/opt/fis/libfis01200.so",
                                   "--open",       "M",
                                   "--reports",    "/opt/fis/reports",
                                   "--driver",     "PostgreSQL",
                                   "--database",   "fiscal",
                                   "--host",       "db.local",
                                   "--port",       "5433",
                                   "--user",       "leitor",
                                   "--screenshot", "/tmp/tela.png",
                                   "--quit-after", "1500"}),
                        environment()),
             qPrintable(line.errorText()));

    QCOMPARE(line.modulePath(), QStringLiteral("/opt/fis/libfis01200.so"));
    QCOMPARE(line.openParameter(), QVariant(QVariantList{QStringLiteral("M")}));
    QCOMPARE(line.reportDirectory(), QStringLiteral("/opt/fis/reports"));
    const TConnectionOptions& connection = line.connection();
    QCOMPARE(connection.driver, QStringLiteral("postgresql"));
    QCOMPARE(connection.database, QStringLiteral("fiscal"));
    QCOMPARE(connection.host, QStringLiteral("db.local"));
    QCOMPARE(connection.port, 5433);
    QCOMPARE(connection.user, QStringLiteral("leitor"));
    QCOMPARE(line.screenshotFile(), QStringLiteral("/tmp/tela.png"));
    QCOMPARE(line.quitAfter(), 1500);
}

void tst_HostCommandLine::openMode_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QVariant>("parameter");
    const QVariant null;
    QTest::newRow("no mode") << QStringList{"--open"} << null;
    QTest::newRow("mode") << QStringList{"--open", "S"} << QVariant(QVariantList{"S"});
    QTest::newRow("mode with =") << QStringList{"--open=m"} << QVariant(QVariantList{"m"});
    QTest::newRow("empty mode") << QStringList{"--open="} << QVariant(QVariantList{""});
    QTest::newRow("option follows") << QStringList{"--open", "--driver", "firebird"} << null;
}

void tst_HostCommandLine::openMode()
{
    QFETCH(QStringList, options);
    QFETCH(QVariant, parameter);
    TCommandLine line;

    QVERIFY2(line.parse(arguments(options), environment()), qPrintable(line.errorText()));

    QVERIFY(line.openRequested());
    QCOMPARE(line.openParameter().isNull(), parameter.isNull());
    QCOMPARE(line.openParameter(), parameter);
    if (options.contains(QStringLiteral("firebird")))
        QCOMPARE(line.connection().driver, QStringLiteral("firebird"));
}

void tst_HostCommandLine::passwordIsRefused_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::newRow("separate value") << QStringList{"--user", "leitor", "--password", "segredo"};
    QTest::newRow("with =") << QStringList{"--password=segredo"};
    QTest::newRow("Portuguese name") << QStringList{"--senha=segredo"};
}

void tst_HostCommandLine::passwordIsRefused()
{
    QFETCH(QStringList, options);
    TCommandLine line;

    QVERIFY(!line.parse(arguments(options), environment()));
    QCOMPARE(line.errorText(), QStringLiteral("A senha não é aceita na linha de comando: use a "
                                              "variável de ambiente FIS_DB_PASSWORD ou "
                                              "--password-file ARQUIVO."));
}

void tst_HostCommandLine::passwordFromEnvironmentOrFile()
{
    TCommandLine line;
    QVERIFY(line.parse(arguments({}), environment(QStringLiteral("do-ambiente"))));
    QCOMPARE(line.connection().password, QStringLiteral("do-ambiente"));

    QTemporaryFile file;
    QVERIFY(file.open());
    file.write("s3nh@ com espaço\r\n");
    file.close();
    // The file is the explicit choice, so it wins over the environment.
    QVERIFY(line.parse(arguments({"--password-file", file.fileName()}),
                       environment(QStringLiteral("do-ambiente"))));
    QCOMPARE(line.connection().password, QStringLiteral("s3nh@ com espaço"));
}

void tst_HostCommandLine::refusedArguments_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("error");
    QTest::newRow("driver") << QStringList{"--driver", "oracle"}
                            << QStringLiteral("Banco de dados desconhecido: oracle (use sqlite, "
                                              "postgresql ou firebird).");
    QTest::newRow("port") << QStringList{"--port=0"} << QStringLiteral("Porta inválida: 0.");
    QTest::newRow("quit-after") << QStringList{"--quit-after", "x"}
                                << QStringLiteral(
                                       "Tempo inválido em --quit-after: x (milissegundos).");
    QTest::newRow("unknown") << QStringList{"--modulo", "x"}
                             << QStringLiteral("Opção desconhecida: modulo.");
    QTest::newRow("positional") << QStringList{"extra"}
                                << QStringLiteral("Argumento não esperado: extra.");
    QTest::newRow("missing value")
        << QStringList{"--open", "--module"} << QStringLiteral("Falta o valor da opção --module.");
    QTest::newRow("password file")
        << QStringList{"--password-file", "/nenhum/senha.txt"}
        << QStringLiteral("Não foi possível ler o arquivo de senha /nenhum/senha.txt");
}

void tst_HostCommandLine::refusedArguments()
{
    QFETCH(QStringList, options);
    QFETCH(QString, error);
    TCommandLine line;

    QVERIFY(!line.parse(arguments(options), environment()));
    // A system reason may follow.
    QVERIFY2(line.errorText().startsWith(error), qPrintable(line.errorText()));
}

QTEST_GUILESS_MAIN(tst_HostCommandLine)
#include "tst_hostcommandline.moc"
