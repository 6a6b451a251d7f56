// A clerk's random actions on the screen, on each database: codes typed (known and
// unknown), "Todas" boxes clicked, direction, operation-type option and report chosen.
// After every action the boxes' rules still hold. FIS_SEED repeats a run; the seed is
// printed with any failure.
#include "DatabaseFixture.h"
#include "RecordingPresenter.h"
#include "TApplication.h"
#include "TMaskEdit.h"
#include "TfrmListDocumentos.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTest>

class tst_RandomActions : public QObject
{
    Q_OBJECT

    DatabaseFixture m_db;
    RecordingPresenter m_presenter;

    struct Row
    {
        QCheckBox* box;
        TMaskEdit* code;
        QLineEdit* name;
    };

    // The boxes' rules (what a checked box leaves behind), or why not.
    static QString broken(TfrmListDocumentos& f)
    {
        const QList<Row> rows{{f.chbEmpresa, f.medCdEmpresa, f.edtNmEmpresa},
                              {f.chbInscEstad, f.medInscEstad, nullptr},
                              {f.chbInscMuni, f.medInscMuni, nullptr},
                              {f.chbFilial, f.medCdFilial, f.edtNmFilial}};
        for (const Row& r : rows) {
            const bool on = r.box->isChecked();
            if (r.code->isEnabledTo(&f) == on)
                return r.code->objectName() + QStringLiteral(": enabled while its box is ") +
                       (on ? u"checked" : u"unchecked");
            if (on &&
                (!r.code->text().trimmed().isEmpty() || (r.name && !r.name->text().isEmpty())))
                return r.code->objectName() + QStringLiteral(" holds a value under its box");
        }
        const bool company = f.chbEmpresa->isChecked();
        for (QCheckBox* b : {f.chbInscEstad, f.chbInscMuni})
            if ((company && (!b->isChecked() || b->isEnabledTo(&f))) ||
                (!company && !b->isEnabledTo(&f)))
                return b->objectName() + QStringLiteral(" does not follow the company box");
        return {};
    }

private Q_SLOTS:
    void initTestCase_data() { DatabaseFixture::addEngineRows(); }
    void initTestCase()
    {
        m_db.open();
        TApplication::instance()->setReportDirectory(qEnvironmentVariable("FIS_SOURCE_DIR") +
                                                     QStringLiteral("/reports"));
    }

    void boxRulesHoldUnderRandomActions()
    {
        FIS_FETCH_DATABASE(m_db, module);
        const quint32 seed = qEnvironmentVariableIsSet("FIS_SEED")
                                 ? quint32(qEnvironmentVariableIntValue("FIS_SEED"))
                                 : QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        const int actions = engine == u"sqlite" ? 3000 : 1000;
        dtmDBGeral = module;
        TfrmListDocumentos form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        const QList<TMaskEdit*> codes{form.medCdEmpresa, form.medInscEstad, form.medInscMuni,
                                      form.medCdFilial};
        const QList<QCheckBox*> boxes{form.chbEmpresa, form.chbInscEstad, form.chbInscMuni,
                                      form.chbFilial};
        const QStringList typed{"01", "1", "99", "IE1", "IM2", "0001", "0003", "ZZZZ", "", " "};
        for (int i = 0; i < actions; ++i) {
            QString action;
            switch (random.bounded(5)) {
            case 0: {
                TMaskEdit* code = codes.at(random.bounded(int(codes.size())));
                if (!code->isEnabledTo(&form))
                    break;
                const QString text = typed.at(random.bounded(int(typed.size())));
                action = QStringLiteral("type '%1' in %2").arg(text, code->objectName());
                code->setFocus();
                code->selectAll();
                QTest::keyClicks(code, text);
                QTest::keyClick(code, Qt::Key_Tab);
                break;
            }
            case 1: {
                QCheckBox* box = boxes.at(random.bounded(int(boxes.size())));
                if (!box->isEnabledTo(&form))
                    break;
                action = QStringLiteral("click ") + box->objectName();
                QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
                break;
            }
            case 2:
                action = QStringLiteral("direction");
                form.cbbEntrSaida->setCurrentIndex(random.bounded(form.cbbEntrSaida->count()));
                break;
            case 3: {
                QRadioButton* radio = random.bounded(2) ? form.rdbTodos : form.rdbLista;
                if (radio->isEnabledTo(&form)) {
                    action = QStringLiteral("click ") + radio->objectName();
                    QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(6, radio->height() / 2));
                }
                break;
            }
            default:
                action = QStringLiteral("report");
                form.cbbReportNames->setCurrentIndex(random.bounded(form.cbbReportNames->count()));
                break;
            }
            const QString why = broken(form);
            if (!why.isEmpty())
                QFAIL(qPrintable(QStringLiteral("seed %1, action %2 (%3): %4")
                                     .arg(seed)
                                     .arg(i)
                                     .arg(action, why)));
        }
        dtmDBGeral = nullptr;
    }
};

QTEST_MAIN(tst_RandomActions)
#include "tst_RandomActions.moc"
