// The wait dialog over a slow SQLite lookup: it appears, "Cancelar" ends the lookup
// silently, the clerk's field keeps its text and the focus, and the next lookup runs.
#include "RecordingPresenter.h"
#include "TADOIBQuery.h"
#include "TDBConnection.h"
#include "TEventGuard.h"
#include "TRunningStatement.h"
#include "TStatementWaitDialog.h"
#include "TestDatabase.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

class tst_statementwait : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cancelEndsTheLookupAndKeepsTheField_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Cancelar") << false;
        QTest::newRow("Esc") << true;
    }
    void cancelEndsTheLookupAndKeepsTheField()
    {
        QFETCH(bool, escape);
        TestDatabase db({QStringLiteral("CREATE TABLE T (N INTEGER)"),
                         QStringLiteral("INSERT INTO T VALUES (7)")});
        TDBConnection connection(db.connectionName());
        // A hang still ends, with a message this test would see.
        connection.setStatementTimeout(60000);
        RecordingPresenter presenter;
        TStatementWaitDialog::install();

        QWidget window;
        auto* field = new QLineEdit(QStringLiteral("01"), &window);
        (new QVBoxLayout(&window))->addWidget(field);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        field->setFocus();

        TADOIBQuery query;
        query.setADOConnection(&connection);
        query.setSQL({QStringLiteral("WITH RECURSIVE C(X) AS (SELECT 1 UNION ALL SELECT X + 1 "
                                     "FROM C WHERE X < 1000000000) SELECT COUNT(*) FROM C")});
        QStringList seen;
        QTimer clerk;
        connect(&clerk, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<TStatementWaitDialog*>(QApplication::activeModalWidget());
            auto* cancel =
                dialog ? dialog->findChild<QPushButton*>(QStringLiteral("btnCancelar")) : nullptr;
            if (!cancel || !cancel->isEnabled())
                return;
            seen << dialog->findChild<QLabel*>()->text() << cancel->text();
            if (escape)
                QTest::keyClick(dialog, Qt::Key_Escape);
            else
                QTest::mouseClick(cancel, Qt::LeftButton);
        });
        clerk.start(50);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!TEventGuard::run([&] { query.Open(); }));
        clerk.stop();
        QVERIFY2(clock.elapsed() < 30000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(seen, (QStringList{QStringLiteral("Consultando o banco de dados…"),
                                    QStringLiteral("Cancelar")}));
        QCOMPARE(presenter.errors, QStringList());
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(window.focusWidget(), field);
        QCOMPARE(field->text(), QStringLiteral("01"));

        // A fast lookup shows no dialog and the connection is free again.
        query.setSQL({QStringLiteral("SELECT N FROM T")});
        clerk.start(0);
        query.Open();
        QCOMPARE(query.Query()->value(0, 0).toInt(), 7);
        QCOMPARE(seen.size(), 2);
        TRunningStatement::setWaitHandler({});
    }
};

QTEST_MAIN(tst_statementwait)
#include "tst_statementwait.moc"
