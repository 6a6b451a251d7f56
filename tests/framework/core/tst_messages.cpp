#include "EAbort.h"
#include "EFrameworkError.h"
#include "Helpers.h"
#include "RecordingPresenter.h"
#include "TEventGuard.h"
#include "TMessages.h"
#include "TQtTranslations.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <memory>
#include <stdexcept>

// The core layer: messages, helpers, the event guard and Qt's own translations.
class tst_Messages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void messagesLookupByKey();
    void ajustaPadsAndNeverTruncates();
    void emptyStringIsBlankOnly();
    void mensErroShowsAndAborts();
    void guardSwallowsAbortAndReportsErrors();
    void qtDialogsSpeakPortugueseWhereInstalled_data();
    void qtDialogsSpeakPortugueseWhereInstalled();

private:
    std::unique_ptr<RecordingPresenter> m_presenter;
};

void tst_Messages::init()
{
    m_presenter = std::make_unique<RecordingPresenter>();
}

void tst_Messages::cleanup()
{
    m_presenter.reset();
}

void tst_Messages::messagesLookupByKey()
{
    TMessages msg;
    msg.setMessages({u"Emp_inf|Empresa deve ser informada."_qs, u"Pipe|a|b"_qs, u"Emp|curta"_qs});
    QCOMPARE(msg.Msg(u"Emp_inf"_qs), u"Empresa deve ser informada."_qs);
    QCOMPARE(msg.Msg(u"Emp"_qs), u"curta"_qs); // a key is not matched by its prefix
    QCOMPARE(msg.Msg(u"Pipe"_qs), u"a|b"_qs);
    QVERIFY_THROWS_EXCEPTION(EFrameworkError, msg.Msg(u"Falta"_qs));
}

void tst_Messages::ajustaPadsAndNeverTruncates()
{
    QCOMPARE(Ajusta(u"1"_qs, 2), u"01"_qs);
    QCOMPARE(Ajusta(u"01"_qs, 2), u"01"_qs);
    QCOMPARE(Ajusta(u"1 "_qs, 2), u"01"_qs);
    QCOMPARE(Ajusta(u"A1"_qs, 4), u"00A1"_qs);
    QCOMPARE(Ajusta(u"123"_qs, 2), u"123"_qs);
    QCOMPARE(Ajusta(QString(), 2), QString());
}

void tst_Messages::emptyStringIsBlankOnly()
{
    QVERIFY(EmptyString(QString()));
    QVERIFY(EmptyString(u"   "_qs));
    QVERIFY(EmptyString(u"\t"_qs));
    QVERIFY(!EmptyString(u" 0 "_qs));
}

void tst_Messages::mensErroShowsAndAborts()
{
    QVERIFY_THROWS_EXCEPTION(EAbort, MensErro(u"Empresa não cadastrada."_qs, true));
    MensErro(u"Aviso"_qs, false);
    QCOMPARE(m_presenter->errors, (QStringList{u"Empresa não cadastrada."_qs, u"Aviso"_qs}));
}

void tst_Messages::guardSwallowsAbortAndReportsErrors()
{
    QVERIFY(TEventGuard::run([] {}));
    QVERIFY(!TEventGuard::run([] { MensErro(u"Falhou."_qs, true); }));
    QCOMPARE(m_presenter->errors, QStringList{u"Falhou."_qs});
    m_presenter->clear();
    QVERIFY(!TEventGuard::run([] { throw EFrameworkError(u"Erro do banco: tabela"_qs); }));
    QVERIFY(!TEventGuard::run([] { throw std::runtime_error("boom"); }));
    QVERIFY(!TEventGuard::run([] { throw 42; }));
    QCOMPARE(m_presenter->errors,
             (QStringList{u"Erro do banco: tabela"_qs, u"boom"_qs, u"Erro inesperado."_qs}));
}

void tst_Messages::qtDialogsSpeakPortugueseWhereInstalled_data()
{
    QTest::addColumn<bool>("installed");
    QTest::newRow("Debian's translations") << true;
    QTest::newRow("folder without them") << false;
}

void tst_Messages::qtDialogsSpeakPortugueseWhereInstalled()
{
    QFETCH(bool, installed);
    const QString shipped = TQtTranslations::defaultDirectory() + u"/qtbase_pt_BR.qm"_qs;
    if (!QFile::exists(shipped))
        QSKIP("qt6-translations-l10n is not installed");
    QTemporaryDir folder;
    if (installed)
        QVERIFY(QFile::copy(shipped, folder.filePath(u"qtbase_pt_BR.qm"_qs)));
    std::unique_ptr<QTranslator> translator(
        TQtTranslations::install(*QCoreApplication::instance(), folder.path()));
    QCOMPARE(translator != nullptr, installed);
    QCOMPARE(QCoreApplication::translate("QPrintPreviewDialog", "Print Preview"),
             installed ? u"Visualizar impressão"_qs : u"Print Preview"_qs);
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"),
             installed ? u"Cancelar"_qs : u"Cancel"_qs);
}

QTEST_MAIN(tst_Messages)
#include "tst_messages.moc"
