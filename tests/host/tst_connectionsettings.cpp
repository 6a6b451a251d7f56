#include "TCommandLine.h"
#include "TConnectionDialog.h"
#include "TConnectionSettings.h"

#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

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

QTEST_MAIN(tst_ConnectionSettings)
#include "tst_connectionsettings.moc"
