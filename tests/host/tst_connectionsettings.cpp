#include "TCommandLine.h"
#include "TConnectionDialog.h"
#include "TConnectionSettings.h"

#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_METATYPE(TConnectionOptions)

// The remembered connection: what is saved comes back, through the dialog too; the
// command line wins over it; the password never reaches the settings file.
class tst_ConnectionSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void nothingSavedOpensTheDemo();
    void roundTrip_data();
    void roundTrip();
    void passwordNeverInTheFile();
    void commandLineOverrides_data();
    void commandLineOverrides();
    void badSettingIsNamed_data();
    void badSettingIsNamed();
    void passwordFileIsTheUsersAlone_data();
    void passwordFileIsTheUsersAlone();

private:
    QTemporaryDir m_dir;
};

namespace {

TConnectionOptions server()
{
    TConnectionOptions options;
    options.driver = u"postgresql"_qs;
    options.database = u"fiscal"_qs;
    options.host = u"db.escritorio"_qs;
    options.port = 5433;
    options.user = u"leitor"_qs;
    options.askPassword = true;
    return options;
}

bool same(const TConnectionOptions& a, const TConnectionOptions& b)
{
    return a.driver == b.driver && a.database == b.database && a.host == b.host &&
           a.port == b.port && a.user == b.user && a.passwordFile == b.passwordFile &&
           a.askPassword == b.askPassword;
}

QString describe(const TConnectionOptions& o)
{
    return u"%1 %2 %3:%4 %5 file=%6 ask=%7"_qs.arg(o.driver, o.database, o.host)
        .arg(o.port)
        .arg(o.user, o.passwordFile)
        .arg(o.askPassword);
}

} // namespace

void tst_ConnectionSettings::nothingSavedOpensTheDemo()
{
    QSettings settings(m_dir.filePath(u"vazio.ini"_qs), QSettings::IniFormat);
    const TConnectionOptions loaded = TConnectionSettings::load(settings);
    QVERIFY2(same(loaded, TConnectionOptions()), qPrintable(describe(loaded)));
    QCOMPARE(loaded.driver, u"sqlite"_qs);
    QVERIFY(loaded.database.isEmpty()); // the host's demo database
}

void tst_ConnectionSettings::roundTrip_data()
{
    QTest::addColumn<TConnectionOptions>("options");
    QTest::addColumn<bool>("throughDialog");
    TConnectionOptions file;
    file.database = u"/srv/fis/fiscal.sqlite"_qs;
    TConnectionOptions firebird;
    firebird.driver = u"firebird"_qs;
    firebird.database = u"/srv/fis/FISCAL.FDB"_qs;
    firebird.user = u"SYSDBA"_qs;
    firebird.passwordFile = u"/home/ana/.fis-senha"_qs;
    for (bool dialog : {false, true}) {
        const char* how = dialog ? " via dialog" : "";
        QTest::addRow("sqlite file%s", how) << file << dialog;
        QTest::addRow("postgresql server%s", how) << server() << dialog;
        QTest::addRow("firebird with password file%s", how) << firebird << dialog;
    }
}

void tst_ConnectionSettings::roundTrip()
{
    QFETCH(TConnectionOptions, options);
    QFETCH(bool, throughDialog);
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + u".ini"_qs);
    TConnectionOptions saved = options;
    if (throughDialog) {
        TConnectionDialog dialog;
        dialog.setOptions(options);
        saved = dialog.options();
    }
    {
        QSettings settings(path, QSettings::IniFormat);
        TConnectionSettings::save(settings, saved);
    }
    QSettings again(path, QSettings::IniFormat); // read back as the next start does
    const TConnectionOptions loaded = TConnectionSettings::load(again);
    QVERIFY2(same(loaded, options), qPrintable(describe(loaded) + u" <> "_qs + describe(options)));
}

void tst_ConnectionSettings::passwordNeverInTheFile()
{
    const QString path = m_dir.filePath(u"senha.ini"_qs);
    {
        // A password written by hand, or by an older version, is dropped on save.
        QSettings settings(path, QSettings::IniFormat);
        settings.setValue(u"conexao/password"_qs, u"antiga-senha"_qs);
    }
    TConnectionOptions options = server();
    options.password = u"s3gredo-do-servidor"_qs;
    {
        QSettings settings(path, QSettings::IniFormat);
        TConnectionSettings::save(settings, options);
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(text.contains("db.escritorio"));
    QVERIFY2(!text.contains("s3gredo") && !text.contains("antiga-senha"), text.constData());
    QSettings again(path, QSettings::IniFormat);
    QVERIFY(TConnectionSettings::load(again).password.isEmpty());
}

void tst_ConnectionSettings::commandLineOverrides_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<TConnectionOptions>("expected");
    QTest::addColumn<QString>("environmentPassword");
    QTest::newRow("nothing named") << QStringList{} << server() << QString();
    TConnectionOptions host = server();
    host.host = u"outro"_qs;
    host.port = 6000;
    QTest::newRow("host and port")
        << QStringList{"--host", "outro", "--port", "6000"} << host << QString();
    TConnectionOptions user = server();
    user.user = u"auditor"_qs;
    user.database = u"fiscal2026"_qs;
    QTest::newRow("user and database")
        << QStringList{"--user", "auditor", "--database", "fiscal2026"} << user << QString();
    QTest::newRow("same driver keeps the server")
        << QStringList{"--driver", "postgresql"} << server() << QString();
    TConnectionOptions demo;
    QTest::newRow("other driver starts afresh")
        << QStringList{"--driver", "sqlite"} << demo << QString();
    // FIS_DB_PASSWORD answers the question the settings would ask.
    TConnectionOptions given = server();
    given.askPassword = false;
    QTest::newRow("password in the environment") << QStringList{} << given << u"senha"_qs;
}

void tst_ConnectionSettings::commandLineOverrides()
{
    QFETCH(QStringList, arguments);
    QFETCH(TConnectionOptions, expected);
    QFETCH(QString, environmentPassword);
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + u".ini"_qs);
    {
        QSettings settings(path, QSettings::IniFormat);
        TConnectionSettings::save(settings, server());
    }
    QSettings settings(path, QSettings::IniFormat);
    QProcessEnvironment environment;
    if (!environmentPassword.isEmpty())
        environment.insert(u"FIS_DB_PASSWORD"_qs, environmentPassword);
    TCommandLine line;
    QVERIFY2(line.parse(QStringList{u"fishost"_qs} + arguments, environment),
             qPrintable(line.errorText()));
    const TConnectionOptions used = line.connection(TConnectionSettings::load(settings));
    QCOMPARE(used.password, environmentPassword);
    QVERIFY2(same(used, expected), qPrintable(describe(used) + u" <> "_qs + describe(expected)));
    // What the command line names is for this run only.
    QVERIFY(same(TConnectionSettings::load(settings), server()));
}

void tst_ConnectionSettings::badSettingIsNamed_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    // Empty: the value is taken.
    QTest::addColumn<QString>("hint");
    const QString port = u"use um número de porta de 1 a 65535, ou 0 para a porta padrão"_qs;
    const QString seconds = u"use segundos, de 0 a 86.400; 0 desliga"_qs;
    QTest::newRow("port abc") << "port"
                              << "abc" << port;
    QTest::newRow("port 70000") << "port"
                                << "70000" << port;
    QTest::newRow("port -1") << "port"
                             << "-1" << port;
    QTest::newRow("port 5433") << "port"
                               << "5433" << QString();
    QTest::newRow("statement 3000000") << "statementTimeout"
                                       << "3000000" << seconds;
    QTest::newRow("statement 2^32") << "statementTimeout"
                                    << "4294967596" << seconds;
    QTest::newRow("statement 0") << "statementTimeout"
                                 << "0" << QString();
    QTest::newRow("response text") << "responseTimeout"
                                   << "1min" << seconds;
    QTest::newRow("keepalive -5") << "keepalive"
                                  << "-5" << seconds;
    QTest::newRow("keepalive day") << "keepalive"
                                   << "86400" << QString();
    QTest::newRow("ask maybe") << "askPassword"
                               << "talvez" << u"use true ou false"_qs;
    QTest::newRow("ask true") << "askPassword"
                              << "true" << QString();
    QTest::newRow("driver oracle") << "driver"
                                   << "oracle" << u"use sqlite, postgresql ou firebird"_qs;
    QTest::newRow("driver upper case") << "driver"
                                       << "FIREBIRD" << QString();
}

void tst_ConnectionSettings::badSettingIsNamed()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, hint);
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + u".ini"_qs);
    {
        QSettings settings(path, QSettings::IniFormat);
        settings.setValue(u"conexao/"_qs + key, value);
    }
    QSettings settings(path, QSettings::IniFormat);
    QString error = u"anterior"_qs;
    const TConnectionOptions loaded = TConnectionSettings::load(settings, &error);
    if (hint.isEmpty()) {
        QCOMPARE(error, QString());
        return;
    }
    QCOMPARE(error,
             u"A configuração conexao/%1 em %2 tem um valor inválido, \"%3\" (%4). "
             "Corrija o arquivo, use \"Tentar novamente\" para conectar com o valor padrão ou "
             "\"Configurar conexão…\" para escolher outra conexão."_qs.arg(key, path, value, hint));
    // The default stays: no port 0 from "abc", no negative time.
    QVERIFY2(same(loaded, TConnectionOptions()), qPrintable(describe(loaded)));
    QCOMPARE(loaded.statementTimeout, TConnectionOptions().statementTimeout);
    QCOMPARE(loaded.keepalive, TConnectionOptions().keepalive);
}

void tst_ConnectionSettings::passwordFileIsTheUsersAlone_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("mode");
    // Empty: the password is read.
    QTest::addColumn<QString>("error");
    const QString others = u"O arquivo de senha %1 pode ser lido ou alterado por outros "
                           "usuários (permissões %2): proteja-o com chmod 600."_qs;
    const QString special = u"O arquivo de senha %1 não é um arquivo comum (é uma pasta, um FIFO "
                            "ou um dispositivo): guarde a senha num arquivo seu, protegido com "
                            "chmod 600."_qs;
    QTest::newRow("0600") << "file" << 0600 << QString();
    QTest::newRow("0400") << "file" << 0400 << QString();
    QTest::newRow("0620 group writes") << "file" << 0620 << others.arg("%1", "0620");
    QTest::newRow("0640 group reads") << "file" << 0640 << others.arg("%1", "0640");
    QTest::newRow("0602 others write") << "file" << 0602 << others.arg("%1", "0602");
    QTest::newRow("0610 group runs") << "file" << 0610 << others.arg("%1", "0610");
    // Opened as a file, a FIFO would wait for a writer for ever.
    QTest::newRow("fifo") << "fifo" << 0600 << special;
    QTest::newRow("folder") << "folder" << 0700 << special;
    QTest::newRow("device") << "device" << 0 << special;
    QTest::newRow("missing") << "missing" << 0
                             << u"Não foi possível ler o arquivo de senha %1: "_qs;
    QTest::newRow("someone else's") << "foreign" << 0600
                                    << u"O arquivo de senha %1 pertence a outro usuário: guarde "
                                       "a senha num arquivo seu, protegido com chmod 600."_qs;
}

void tst_ConnectionSettings::passwordFileIsTheUsersAlone()
{
    QFETCH(QString, kind);
    QFETCH(int, mode);
    QFETCH(QString, error);
    QTemporaryDir dir;
    QString path = dir.filePath(u"senha"_qs);
    const QByteArray native = QFile::encodeName(path);
    if (kind == u"file" || kind == u"foreign") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("s3gredo\n");
        file.close();
        QCOMPARE(::chmod(native.constData(), mode_t(mode)), 0);
        if (kind == u"foreign" && (::geteuid() != 0 || ::chown(native.constData(), 65534, 65534)))
            QSKIP("only root can give a file to another user");
    } else if (kind == u"fifo") {
        QCOMPARE(::mkfifo(native.constData(), mode_t(mode)), 0);
    } else if (kind == u"folder") {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == u"device") {
        path = u"/dev/null"_qs;
    }
    TConnectionOptions options;
    options.passwordFile = path;
    QString told;
    const bool read = TConnectionSettings::readPasswordFile(options, &told);
    // The system's reason for a missing file follows in the system's language.
    if (kind == u"missing")
        QVERIFY2(told.startsWith(error.arg(path)) && told.size() > error.arg(path).size(),
                 qPrintable(told));
    else
        QCOMPARE(told, error.isEmpty() ? QString() : error.arg(path));
    QCOMPARE(read, error.isEmpty());
    QCOMPARE(options.password, read ? u"s3gredo"_qs : QString());
}

QTEST_MAIN(tst_ConnectionSettings)
#include "tst_connectionsettings.moc"
