#include "EFrameworkError.h"
#include "RecordingPresenter.h"
#include "TEventGuard.h"
#include "TModuleLoader.h"
#include "TestModuleProbe.h"

#include <QDir>
#include <QTemporaryFile>
#include <QTest>

class tst_HostModule : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void loadCallsInitializeOnce();
    void iniProcReceivesParameter_data();
    void iniProcReceivesParameter();
    void finalizeRunsBeforeUnmapping_data();
    void finalizeRunsBeforeUnmapping();
    void loadingAgainFinalizesThePrevious();
    void unloadableLibraryIsReported();
    void missingEntryIsReportedAndNothingRuns();
};

namespace {

QString loadError(TModuleLoader& loader, const QString& path)
{
    try {
        loader.load(path);
    } catch (const EFrameworkError& e) {
        return e.message();
    }
    return QString();
}

} // namespace

void tst_HostModule::loadCallsInitializeOnce()
{
    TestModuleProbe probe;
    TModuleLoader loader;
    loader.load(TestModuleProbe::path());

    QVERIFY(loader.isLoaded());
    QCOMPARE(TestModuleProbe::journal(), QStringList{QStringLiteral("Initialize")});
}

void tst_HostModule::iniProcReceivesParameter_data()
{
    QTest::addColumn<QVariant>("parameter");
    QTest::newRow("null") << QVariant();
    QTest::newRow("mode S") << QVariant(QVariantList{QStringLiteral("S")});
    QTest::newRow("modal mode") << QVariant(QVariantList{QStringLiteral("M")});
}

void tst_HostModule::iniProcReceivesParameter()
{
    QFETCH(QVariant, parameter);
    TestModuleProbe probe;
    TModuleLoader loader;
    loader.load(TestModuleProbe::path());

    loader.callIniProc(parameter);

    QCOMPARE(probe.iniProcCount(), 1);
    QCOMPARE(probe.lastParameter().isNull(), parameter.isNull());
    QCOMPARE(probe.lastParameter(), parameter);
}

void tst_HostModule::finalizeRunsBeforeUnmapping_data()
{
    QTest::addColumn<bool>("byDestruction");
    QTest::newRow("unload") << false;
    QTest::newRow("destruction") << true;
}

void tst_HostModule::finalizeRunsBeforeUnmapping()
{
    QFETCH(bool, byDestruction);
    TestModuleProbe probe;
    auto loader = std::make_unique<TModuleLoader>();
    loader->load(TestModuleProbe::path());
    probe.release();

    if (byDestruction) {
        loader.reset();
    } else {
        loader->unload();
        QVERIFY(!loader->isLoaded());
        loader->unload();
    }

    QCOMPARE(TestModuleProbe::journal(),
             (QStringList{QStringLiteral("Initialize"), QStringLiteral("Finalize"),
                          QStringLiteral("unload")}));
    if (loader) {
        RecordingPresenter presenter;
        QVERIFY(!TEventGuard::run([&] { loader->callIniProc(QVariant()); }));
        QCOMPARE(presenter.lastError(), QStringLiteral("Nenhum módulo carregado."));
    }
}

void tst_HostModule::loadingAgainFinalizesThePrevious()
{
    TestModuleProbe probe;
    TModuleLoader loader;
    loader.load(TestModuleProbe::path());
    loader.load(TestModuleProbe::path());

    QCOMPARE(TestModuleProbe::journal(),
             (QStringList{QStringLiteral("Initialize"), QStringLiteral("Finalize"),
                          QStringLiteral("Initialize")}));
    QVERIFY(loader.isLoaded());
}

void tst_HostModule::unloadableLibraryIsReported()
{
    TModuleLoader loader;
    const QString missing = QStringLiteral("/nenhum/lugar/libfis01200.so");
    QCOMPARE(loadError(loader, missing),
             QStringLiteral("O módulo %1 não foi encontrado.").arg(missing));

    QTemporaryFile broken(QDir::tempPath() + QStringLiteral("/libquebrado-XXXXXX.so"));
    QVERIFY(broken.open());
    broken.write("isto não é uma biblioteca");
    broken.close();
    const QString message = loadError(loader, broken.fileName());
    const QString first =
        QStringLiteral("Não foi possível carregar o módulo %1.\n").arg(broken.fileName());
    // The loader's own reason follows.
    QVERIFY2(message.startsWith(first) && message.size() > first.size(), qPrintable(message));
    QVERIFY(!loader.isLoaded());
}

void tst_HostModule::missingEntryIsReportedAndNothingRuns()
{
    const QString path = TestModuleProbe::path(QStringLiteral("fistestmodule_nofinalize"));
    TestModuleProbe probe(path);
    TModuleLoader loader;

    QCOMPARE(loadError(loader, path),
             QStringLiteral("O módulo %1 não exporta a entrada \"Finalize\".").arg(path));
    QVERIFY(!loader.isLoaded());
    QVERIFY(TestModuleProbe::journal().isEmpty());
}

QTEST_GUILESS_MAIN(tst_HostModule)
#include "tst_hostmodule.moc"
