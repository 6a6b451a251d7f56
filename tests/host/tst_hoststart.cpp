// A start whose saved connection fails: the window stays up and says why in Portuguese,
// "Configurar conexão…" reaches a working database and the screen opens on it, all
// without a restart; a missing SQLite file is never made.
#include "TConnectionBanner.h"
#include "TConnectionDialog.h"
#include "TConnectionSettings.h"
#include "TDataModuleFactory.h"
#include "THostSession.h"
#include "TdtmDBGeral.h"
#include "TfrmPrincipal.h"
#include "WhenShown.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(TConnectionOptions)

class tst_HostStart : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void failedStartIsRepairedInPlace_data();
    void failedStartIsRepairedInPlace();
    void demoIsNamedUntilARealConnection();
    void dialogTabOrderFollowsTheRows();

private:
    QTemporaryDir m_dir;
    QString m_working;
};

void tst_HostStart::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_working = m_dir.filePath(QStringLiteral("escritorio.sqlite"));
    TDataModuleFactory::makeDemo(m_working);
    // The demo's default path is the test's own: nothing reaches the user's.
    qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("xdg")).toLocal8Bit());
}

void tst_HostStart::failedStartIsRepairedInPlace_data()
{
    QTest::addColumn<TConnectionOptions>("saved");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<bool>("cancelQuestion");
    // A value written by hand over the saved ones, "key=value".
    QTest::addColumn<QString>("written");

    TConnectionOptions missing;
    missing.database = m_dir.filePath(QStringLiteral("fiscl.sqlite"));
    QTest::newRow("missing sqlite file")
        << missing << QStringLiteral("O arquivo do banco de dados %1 não foi encontrado")
        << QString() << false << QString();

    TConnectionOptions firebird;
    firebird.driver = QStringLiteral("firebird");
    firebird.database = m_dir.filePath(QStringLiteral("sumiu/FISCAL.FDB"));
    QTest::newRow("missing firebird file")
        << firebird << QStringLiteral("O arquivo do banco de dados %1 não foi encontrado")
        << QString() << false << QString();

    // Told before anything is tried; "Tentar novamente" then goes on with the default.
    QTest::newRow("bad setting")
        << missing
        << QStringLiteral("A configuração conexao/statementTimeout em %1 tem um valor "
                          "inválido, \"3000000\"")
        << QString() << false << QStringLiteral("statementTimeout=3000000");

    TConnectionOptions stopped;
    stopped.driver = QStringLiteral("postgresql");
    stopped.host = QStringLiteral("127.0.0.1");
    stopped.port = 1; // nothing listens there
    stopped.database = QStringLiteral("fis");
    stopped.user = QStringLiteral("fisleitor");
    QTest::newRow("server stopped")
        << stopped
        << QStringLiteral("O servidor do banco de dados fis em 127.0.0.1:1 não respondeu")
        << QStringLiteral("refused") << false << QString();

    TConnectionOptions asked = stopped;
    asked.askPassword = true;
    QTest::newRow("question cancelled")
        << asked << QStringLiteral("Conexão cancelada: a senha do banco de dados não foi informada")
        << QString() << true << QString();

    const QString passwordUser = qEnvironmentVariable("FIS_PG_PASSWORD_USER");
    if (!passwordUser.isEmpty()) {
        TConnectionOptions wrong;
        wrong.driver = QStringLiteral("postgresql");
        wrong.host = qEnvironmentVariable("FIS_PG_HOST");
        wrong.port = qEnvironmentVariableIntValue("FIS_PG_PORT");
        wrong.database = qEnvironmentVariable("FIS_PG_DATABASE");
        wrong.user = passwordUser;
        wrong.passwordFile = m_dir.filePath(QStringLiteral("senha-errada"));
        QFile file(wrong.passwordFile);
        if (file.open(QIODevice::WriteOnly))
            file.write("nao-e-esta\n");
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        QTest::newRow("wrong password")
            << wrong
            << QStringLiteral("O banco de dados %1 em %2:%3 não aceitou a senha do usuário %4")
                   .arg(wrong.database, wrong.host)
                   .arg(wrong.port)
                   .arg(wrong.user)
            << QStringLiteral("password authentication failed") << false << QString();
    } else if (qEnvironmentVariable("FIS_REQUIRE_SERVERS") == QLatin1String("1")) {
        QFAIL("PostgreSQL login with a password not configured (scripts/db-servers.sh)");
    }
}

void tst_HostStart::failedStartIsRepairedInPlace()
{
    QFETCH(TConnectionOptions, saved);
    QFETCH(QString, message);
    QFETCH(QString, detail);
    QFETCH(bool, cancelQuestion);
    QFETCH(QString, written);
    const QString ini = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + u".ini"_qs);
    if (message.contains(QLatin1String("%1")))
        message = message.arg(written.isEmpty() ? saved.database : ini);

    QSettings settings(ini, QSettings::IniFormat);
    TConnectionSettings::save(settings, saved);
    if (!written.isEmpty())
        settings.setValue(u"conexao/"_qs + written.section(u'=', 0, 0), written.section(u'=', 1));
    TCommandLine commandLine;
    QVERIFY(commandLine.parse(
        {QStringLiteral("fishost"), QStringLiteral("--module"),
         QCoreApplication::applicationDirPath() + QStringLiteral("/libfis01200.so"),
         QStringLiteral("--reports"),
         qEnvironmentVariable("FIS_SOURCE_DIR") + QStringLiteral("/reports"),
         QStringLiteral("--open"), QStringLiteral("S")},
        QProcessEnvironment()));
    if (cancelQuestion)
        whenShown<QInputDialog>(20, this, [](QInputDialog* question) { question->reject(); });

    THostSession session(commandLine);
    session.start(settings);
    TfrmPrincipal* window = session.mainWindow();
    TConnectionBanner* banner = window->connectionBanner();
    QTRY_VERIFY(banner->isVisible());
    QVERIFY(window->isVisible());
    QVERIFY(!session.connected());
    QVERIFY2(banner->lblMensagem->text().startsWith(message),
             qPrintable(banner->lblMensagem->text()));
    QVERIFY(banner->lblMensagem->text().contains(QStringLiteral("Configurar conexão")));
    QVERIFY2(banner->lblDetalhes->text().contains(detail), qPrintable(banner->lblDetalhes->text()));
    QCOMPARE(banner->btnDetalhes->isVisibleTo(banner), !banner->lblDetalhes->text().isEmpty());
    QVERIFY(banner->btnTentarNovamente->isVisible());
    QVERIFY(!window->actListagemDocumentos->isEnabled());
    QVERIFY(window->mdiArea()->subWindowList().isEmpty());
    if (!saved.database.isEmpty() && saved.driver != QLatin1String("postgresql"))
        QVERIFY2(!QFileInfo::exists(saved.database), "a missing database file was made");

    // Trying again fails the same way and leaves the window as it was.
    if (cancelQuestion)
        whenShown<QInputDialog>(20, this, [](QInputDialog* question) { question->reject(); });
    banner->btnTentarNovamente->click();
    QVERIFY(!session.connected());
    if (!written.isEmpty())
        message =
            QStringLiteral("O arquivo do banco de dados %1 não foi encontrado").arg(saved.database);
    QVERIFY(banner->lblMensagem->text().startsWith(message));

    whenShown<TConnectionDialog>(20, this, [this](TConnectionDialog* dialog) {
        dialog->cbbDriver->setCurrentIndex(0);
        dialog->edtBanco->setText(m_working);
        dialog->accept();
    });
    banner->btnConfigurarConexao->click();
    QVERIFY(session.connected());
    QVERIFY(!banner->isVisible());
    QCOMPARE(dtmDBGeral->adcGeral->database().databaseName(), m_working);
    QVERIFY(window->actListagemDocumentos->isEnabled());
    QTRY_COMPARE(window->mdiArea()->subWindowList().size(), 1);
    QVERIFY(window->mdiArea()->subWindowList().first()->isVisible());
    // Chosen in the dialog, it is the saved connection from now on.
    QCOMPARE(TConnectionSettings::load(settings).database, m_working);
    QCOMPARE(TConnectionSettings::load(settings).driver, QStringLiteral("sqlite"));
}

void tst_HostStart::demoIsNamedUntilARealConnection()
{
    QSettings settings(m_dir.filePath(QStringLiteral("nada.ini")), QSettings::IniFormat);
    TCommandLine commandLine;
    QVERIFY(commandLine.parse(
        {QStringLiteral("fishost"), QStringLiteral("--module"),
         QCoreApplication::applicationDirPath() + QStringLiteral("/libfis01200.so")},
        QProcessEnvironment()));
    THostSession session(commandLine);
    session.start(settings);
    TfrmPrincipal* window = session.mainWindow();
    QTRY_VERIFY(session.connected());
    QVERIFY(window->windowTitle().contains(QStringLiteral("BANCO DE DEMONSTRAÇÃO")));
    TConnectionBanner* banner = window->connectionBanner();
    QVERIFY(banner->isVisible());
    QVERIFY(banner->lblMensagem->text().startsWith(QStringLiteral("BANCO DE DEMONSTRAÇÃO")));
    QVERIFY(!banner->btnTentarNovamente->isVisible());

    whenShown<TConnectionDialog>(20, this, [this](TConnectionDialog* dialog) {
        dialog->edtBanco->setText(m_working);
        dialog->accept();
    });
    banner->btnConfigurarConexao->click();
    QCOMPARE(dtmDBGeral->adcGeral->database().databaseName(), m_working);
    QVERIFY(!banner->isVisible());
    QVERIFY(!window->windowTitle().contains(QStringLiteral("DEMONSTRAÇÃO")));
}

void tst_HostStart::dialogTabOrderFollowsTheRows()
{
    TConnectionDialog dialog;
    TConnectionOptions server;
    server.driver = QStringLiteral("postgresql");
    server.passwordFile = QStringLiteral("/tmp/senha");
    dialog.setOptions(server);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    dialog.cbbDriver->setFocus();
    QStringList order{dialog.cbbDriver->objectName()};
    for (int i = 0; i < 8; ++i) {
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Tab);
        order << dialog.focusWidget()->objectName();
    }
    // On PostgreSQL there is no file to pick, so its button is skipped.
    QCOMPARE(order, (QStringList{"cbbDriver", "edtBanco", "edtServidor", "spnPorta", "edtUsuario",
                                 "cbbSenha", "edtArquivoSenha", "btnArquivoSenha", order.last()}));
    QVERIFY(qobject_cast<QPushButton*>(dialog.focusWidget()));
}

QTEST_MAIN(tst_HostStart)
#include "tst_hoststart.moc"
