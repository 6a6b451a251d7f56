#include "ReportFixture.h"
#include "TSavedFilters.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace ReportFixture;

// The command-line report runner, run as a scheduler runs it: its figures on stdout, its
// reason on stderr, and no file at all when it fails.
class tst_FisReport : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_database;

    struct Outcome
    {
        int exitCode = -1;
        QString out, err;
    };

    Outcome run(const QStringList& args, const QString& password = {}, int umask = 022)
    {
        QProcess p;
        p.setChildProcessModifier([umask] { ::umask(mode_t(umask)); });
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("FIS_DB_PASSWORD"), password);
        p.setProcessEnvironment(environment);
        p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/fisreport"), args);
        if (!p.waitForFinished(120000))
            p.kill();
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    QStringList base(const QString& report, const QString& output) const
    {
        return {QStringLiteral("--driver"),   QStringLiteral("sqlite"),
                QStringLiteral("--database"), m_database,
                QStringLiteral("--reports"),  reportsDirectory(),
                QStringLiteral("--code"),     QStringLiteral("FIS012"),
                QStringLiteral("--report"),   report,
                QStringLiteral("--output"),   output};
    }

    static QStringList params(const QStringList& pairs)
    {
        QStringList args;
        for (const QString& pair : pairs)
            args << QStringLiteral("--param") << pair;
        return args;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_database = m_dir.filePath(QStringLiteral("docs.sqlite"));
        {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("make"));
            db.setDatabaseName(m_database);
            QVERIFY(db.open());
            for (const QString& sql : schema()) {
                QSqlQuery q(db);
                QVERIFY2(q.exec(sql), qPrintable(q.lastError().text()));
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("make"));
    }

    void runsToAFile_data()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<QStringList>("pairs");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("expectedOut");
        QTest::addColumn<QStringList>("inFile");

        const QStringList january{QStringLiteral("P_DTENTRINI=2024-01-01"),
                                  QStringLiteral("P_DTENTRFIM=2024-01-31")};
        QTest::newRow("all, pdf") << listagem() << january << "pdf"
                                  << "Páginas: 1\nLinhas: 4\n"
                                  << QStringList{"1001", "1002", "1003", "1006"};
        QTest::newRow("company and direction")
            << listagem() << january + QStringList{"P_CDEMPRESA=01", "P_IDENTRSAID=e"} << "pdf"
            << "Páginas: 1\nLinhas: 2\n"
            << QStringList{"1001", "1003"};
        QTest::newRow("csv has no pages") << listagem() << january << "csv"
                                          << "Linhas: 4\n"
                                          << QStringList{"1002;", "1006"};
        QTest::newRow("type list, screen's quoting")
            << retencoes() << january + QStringList{"P_CDTIPOOPER='E02'"} << "pdf"
            << "Páginas: 1\nLinhas: 1\n"
            << QStringList{"1003"};
        QTest::newRow("type list, bare keys")
            << retencoes() << january + QStringList{"P_CDTIPOOPER=e02,S05"} << "csv"
            << "Linhas: 2\n"
            << QStringList{"1002", "1003"};
        QTest::newRow("nothing matches")
            << listagem() << QStringList{"P_DTENTRINI=2030-01-01", "P_DTENTRFIM=2030-01-31"}
            << "pdf"
            << "Páginas: 1\nLinhas: 0\n"
            << QStringList{"Não há dados para o filtro informado."};
    }

    void runsToAFile()
    {
        QFETCH(QString, report);
        QFETCH(QStringList, pairs);
        QFETCH(QString, extension);
        QFETCH(QString, expectedOut);
        QFETCH(QStringList, inFile);

        const QString output = m_dir.filePath(QStringLiteral("out.") + extension);
        QFile::remove(output);
        const Outcome r = run(base(report, output) + params(pairs));
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(r.err, QString());
        QCOMPARE(r.out, QStringLiteral("Arquivo: %1\n").arg(output) + expectedOut);
        QString text;
        if (extension == QLatin1String("pdf")) {
            QCOMPARE(pdfPages(output), 1);
            text = pdfText(output);
        } else {
            QFile file(output);
            QVERIFY(file.open(QIODevice::ReadOnly));
            text = QString::fromUtf8(file.readAll());
        }
        for (const QString& part : inFile)
            QVERIFY2(text.contains(part), qPrintable(part + QStringLiteral(" in\n") + text));
    }

    void failsWithoutAFile_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("reason");

        QDir(m_dir.path()).mkpath(QStringLiteral("falha"));
        const QString output = m_dir.filePath(QStringLiteral("falha/relatorio.pdf"));
        const QStringList ok = base(listagem(), output);
        const QStringList january = params({"P_DTENTRINI=2024-01-01", "P_DTENTRFIM=2024-01-31"});
        QTest::newRow("missing date")
            << ok + params({"P_DTENTRINI=2024-01-01"}) << 1 << "pede a data P_DTENTRFIM";
        QTest::newRow("date not ISO")
            << ok + params({"P_DTENTRINI=01/01/2024", "P_DTENTRFIM=2024-01-31"}) << 1
            << "use AAAA-MM-DD";
        QTest::newRow("no such day")
            << ok + params({"P_DTENTRINI=2024-02-30", "P_DTENTRFIM=2024-03-31"}) << 1
            << "Data inválida em P_DTENTRINI";
        QTest::newRow("range backwards")
            << ok + params({"P_DTENTRINI=2024-02-01", "P_DTENTRFIM=2024-01-01"}) << 1
            << "anterior à inicial";
        QTest::newRow("direction")
            << ok + january + params({"P_IDENTRSAID=X"}) << 1 << "use E, S ou A";
        QTest::newRow("unknown parameter") << ok + january + params({"P_CDEMPRSA=01"}) << 1
                                           << "Parâmetro desconhecido: P_CDEMPRSA";
        QTest::newRow("list and all types")
            << ok + january + params({"P_CDTIPOOPER=E01", "P_TCDTIPOOPER=T"}) << 1 << "contradiz";
        QStringList driver = ok + january;
        driver[1] = QStringLiteral("oracle");
        QTest::newRow("bad driver") << driver << 2 << "Banco de dados desconhecido: oracle";
        QStringList missing = ok + january;
        missing[3] = m_dir.filePath(QStringLiteral("nao-existe.sqlite"));
        QTest::newRow("missing database") << missing << 1 << "nao-existe.sqlite não existe";
        QStringList notDatabase = ok + january;
        notDatabase[3] = reportsDirectory() + QStringLiteral("/FIS012_01.json");
        QTest::newRow("not a database") << notDatabase << 1 << "FIS012_01.json";
        QStringList server = ok + january;
        server[1] = QStringLiteral("postgresql");
        server << QStringLiteral("--host") << QStringLiteral("127.0.0.1")
               << QStringLiteral("--port") << QStringLiteral("1");
        QTest::newRow("server down") << server << 1 << "não respondeu";
        QStringList report = ok + january;
        report[9] = QStringLiteral("Listagem Inexistente");
        QTest::newRow("unknown report") << report << 1 << "\"Listagem dos Documentos\"";
        QStringList format = ok + january;
        format[11] = m_dir.filePath(QStringLiteral("falha/relatorio.doc"));
        QTest::newRow("unknown format") << format << 1 << "não é conhecido";
        QTest::newRow("password argument")
            << ok + january + QStringList{"--password=x"} << 2 << "FIS_DB_PASSWORD";
    }

    void failsWithoutAFile()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, reason);

        const Outcome r = run(args);
        QCOMPARE(r.exitCode, exitCode);
        QCOMPARE(r.out, QString());
        QVERIFY2(r.err.startsWith(QStringLiteral("fisreport: ")) && r.err.contains(reason),
                 qPrintable(r.err));
        // Neither the file nor a temporary beside it.
        QCOMPARE(QDir(m_dir.filePath(QStringLiteral("falha")))
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());
    }

    // A scheduler's tool: no window system at all.
    void linksNoWidgets()
    {
        QProcess ldd;
        ldd.start(QStringLiteral("ldd"),
                  {QCoreApplication::applicationDirPath() + QStringLiteral("/fisreport")});
        if (!ldd.waitForFinished(30000) || ldd.exitCode() != 0)
            QSKIP("ldd is not available");
        const QString libraries = QString::fromUtf8(ldd.readAllStandardOutput());
        QVERIFY(libraries.contains(QStringLiteral("libfisreportengine")));
        QVERIFY2(!libraries.contains(QStringLiteral("libQt6Widgets")), qPrintable(libraries));
    }

    // At a terminal a line on standard error follows the run and is cleared at its end;
    // to a pipe (runsToAFile) nothing but the summary is written.
    void progressLineOnATerminal()
    {
        const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
        if (script.isEmpty())
            QSKIP("util-linux's script is not installed");
        const QString output = m_dir.filePath(QStringLiteral("terminal.pdf"));
        QStringList words{QCoreApplication::applicationDirPath() + QStringLiteral("/fisreport")};
        words += base(listagem(), output) + params({QStringLiteral("P_DTENTRINI=2024-01-01"),
                                                    QStringLiteral("P_DTENTRFIM=2024-01-31")});
        for (QString& word : words)
            word = QStringLiteral("'") + word.replace(u'\'', QStringLiteral("'\\''")) +
                   QStringLiteral("'");
        QProcess terminal;
        terminal.start(script,
                       {QStringLiteral("-qec"), words.join(u' '), QStringLiteral("/dev/null")});
        QVERIFY(terminal.waitForFinished(120000));
        QCOMPARE(terminal.exitCode(), 0);
        const QString seen = QString::fromUtf8(terminal.readAllStandardOutput());
        const qsizetype progress = seen.indexOf(QStringLiteral("página"));
        // The line starts over each time with a carriage return.
        QVERIFY2(progress > 0 && seen.lastIndexOf(u'\r', progress) >= 0, qPrintable(seen));
        // Cleared before the summary, which starts a line of its own.
        QVERIFY2(seen.indexOf(QStringLiteral("\rArquivo: ")) > progress, qPrintable(seen));
        QVERIFY(QFile::exists(output));
    }

    // What the run writes, and where it trusts definitions from.
    void filesAndFolders_data()
    {
        QTest::addColumn<int>("umask");
        QTest::addColumn<int>("oldMode"); // of a file already at the output; 0 none
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<QString>("broken"); // a broken definition in the folder
        QTest::addColumn<QString>("extension");
        QTest::addColumn<int>("mode");      // of the output; 0: no output, the run refused
        QTest::addColumn<QString>("said");  // on stderr
        QTest::addColumn<QString>("query"); // put in the listing's definition; empty keeps it

        QTest::newRow("pdf, umask 077") << 077 << 0 << 0755 << ""
                                        << "pdf" << 0600 << ""
                                        << "";
        QTest::newRow("csv, umask 077") << 077 << 0 << 0755 << ""
                                        << "csv" << 0600 << ""
                                        << "";
        QTest::newRow("xlsx, umask 077") << 077 << 0 << 0755 << ""
                                         << "xlsx" << 0600 << ""
                                         << "";
        QTest::newRow("pdf, umask 022") << 022 << 0 << 0755 << ""
                                        << "pdf" << 0644 << ""
                                        << "";
        QTest::newRow("xlsx, umask 022") << 022 << 0 << 0755 << ""
                                         << "xlsx" << 0644 << ""
                                         << "";
        QTest::newRow("old file keeps its mode") << 022 << 0640 << 0755 << ""
                                                 << "csv" << 0640 << ""
                                                 << "";
        QTest::newRow("folder anyone may write") << 022 << 0 << 0777 << ""
                                                 << "pdf" << 0 << "pode ser alterada por outros"
                                                 << "";
        QTest::newRow("folder its group may write") << 022 << 0 << 0775 << ""
                                                    << "pdf" << 0 << "chmod go-w"
                                                    << "";
        QTest::newRow("broken file beside") << 022 << 0 << 0755 << "FIS012_99.json"
                                            << "pdf" << 0644 << "FIS012_99.json"
                                            << "";
        QTest::newRow("query that writes")
            << 022 << 0 << 0755 << ""
            << "pdf" << 0 << "\"DELETE\" não é permitido"
            << "DELETE FROM DOCFISCAL WHERE DTENTRADA BETWEEN :P_DTENTRINI AND :P_DTENTRFIM";
        QTest::newRow("broken file, the one asked for not found")
            << 022 << 0 << 0755 << "FIS012_98.json"
            << "pdf" << 0 << "FIS012_98.json"
            << "";
    }

    void filesAndFolders()
    {
        QFETCH(int, umask);
        QFETCH(int, oldMode);
        QFETCH(int, folderMode);
        QFETCH(QString, broken);
        QFETCH(QString, extension);
        QFETCH(int, mode);
        QFETCH(QString, said);
        QFETCH(QString, query);

        QTemporaryDir work;
        const QString reports = work.filePath(QStringLiteral("reports"));
        QVERIFY(QDir().mkpath(reports));
        for (const QString& f : QDir(reportsDirectory()).entryList({"*.json"}, QDir::Files))
            QVERIFY(QFile::copy(QDir(reportsDirectory()).filePath(f), reports + u'/' + f));
        if (!broken.isEmpty()) {
            QFile file(reports + u'/' + broken);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("{ \"name\": \"Quebrado\", ");
        }
        for (const QString& f : QDir(reports).entryList({"*.json"}, QDir::Files)) {
            QFile file(reports + u'/' + f);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QJsonObject o = QJsonDocument::fromJson(file.readAll()).object();
            if (query.isEmpty() || o.value("name").toString() != listagem())
                continue;
            o.insert("query", QJsonObject{{"SQL", query}, {"SQL_IB", query}});
            file.resize(0);
            file.write(QJsonDocument(o).toJson());
        }
        QVERIFY(QFile::setPermissions(reports, QFileDevice::Permissions(0)));
        QCOMPARE(::chmod(QFile::encodeName(reports).constData(), mode_t(folderMode)), 0);

        const QString output = work.filePath(QStringLiteral("saida.") + extension);
        if (oldMode) {
            QFile old(output);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.close();
            QCOMPARE(::chmod(QFile::encodeName(output).constData(), mode_t(oldMode)), 0);
        }
        QStringList args = base(QTest::currentDataTag() == QByteArray("broken file, the one "
                                                                      "asked for not found")
                                    ? QStringLiteral("Relatório que não há")
                                    : listagem(),
                                output);
        args[5] = reports;
        const Outcome r =
            run(args + params({"P_DTENTRINI=2024-01-01", "P_DTENTRFIM=2024-01-31"}), {}, umask);
        QVERIFY2(said.isEmpty() ? r.err.isEmpty() : r.err.contains(said), qPrintable(r.err));
        if (!mode) {
            QVERIFY(r.exitCode != 0);
            QVERIFY(!QFile::exists(output));
            return;
        }
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        struct stat st
        {
        };
        QCOMPARE(::stat(QFile::encodeName(output).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 07777), mode);
    }

    void sixteenDigitTotalsPrintWhole_data()
    {
        QTest::addColumn<QString>("report");
        QTest::newRow("listagem") << listagem();
        QTest::newRow("retenções") << retencoes();
    }

    // A figure a clerk cannot read whole is a wrong report.
    void sixteenDigitTotalsPrintWhole()
    {
        QFETCH(QString, report);
        const QString database = m_dir.filePath(QStringLiteral("grande.sqlite"));
        if (!QFile::exists(database)) {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "big");
            db.setDatabaseName(database);
            QVERIFY(db.open());
            QSqlQuery q(db);
            for (const QString& sql : schema())
                if (!sql.startsWith(QStringLiteral("INSERT INTO DOCFISCAL")))
                    QVERIFY2(q.exec(sql), qPrintable(q.lastError().text()));
            QVERIFY(q.exec("INSERT INTO DOCFISCAL (CDEMPRESA, CDINSCESTA, CDINSCMUNI, CDFILIAL, "
                           "IDENTRSAIDOP, CDTIPOOPER, NRDOCUMENTO, DTENTRADA, CDCLIFOR, NMCLIFOR, "
                           "VLDOCUMENTO, VLIRRF) VALUES "
                           "('01','IE1','IM1','0001','E','01','1','2024-01-05','22222222000122',"
                           "'FORNECEDOR BETA LTDA',6000000000000.00,5555555555555.55),"
                           "('01','IE1','IM1','0001','E','01','2','2024-01-06','22222222000122',"
                           "'FORNECEDOR BETA LTDA',6345678901234.56,5555555555555.55)"));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("big"));
        const QString output = m_dir.filePath(QStringLiteral("grande.pdf"));
        QStringList args =
            base(report, output) + params({"P_DTENTRINI=2024-01-01", "P_DTENTRFIM=2024-01-31"});
        args[args.indexOf(QStringLiteral("--database")) + 1] = database;
        const Outcome outcome = run(args);
        QCOMPARE(outcome.err, QString());
        const QString text = pdfText(output);
        for (const char* figure : {"6.345.678.901.234,56", "5.555.555.555.555,55",
                                   "12.345.678.901.234,56", "11.111.111.111.111,10"})
            QVERIFY2(text.contains(QLatin1String(figure)), qPrintable(figure + ("\n" + text)));
    }

    // Last: it adds documents of this month and the one before to the fixture.
    void savedFilterRunsAsItsDates_data()
    {
        QTest::addColumn<int>("period");
        QTest::addColumn<QString>("lines");
        QTest::newRow("previous month")
            << int(TSavedFilters::Period::PreviousMonth) << "Linhas: 2\n";
        QTest::newRow("current month") << int(TSavedFilters::Period::CurrentMonth) << "Linhas: 1\n";
    }

    void savedFilterRunsAsItsDates()
    {
        QFETCH(int, period);
        QFETCH(QString, lines);
        const QDate month(QDate::currentDate().year(), QDate::currentDate().month(), 1);
        static bool added = false;
        if (!added) {
            added = true;
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "recent");
            db.setDatabaseName(m_database);
            QVERIFY(db.open());
            QSqlQuery q(db);
            for (const QDate& d : {month.addMonths(-1), month.addDays(-1), month}) {
                q.prepare("INSERT INTO DOCFISCAL (CDEMPRESA, CDINSCESTA, CDINSCMUNI, CDFILIAL, "
                          "IDENTRSAIDOP, CDTIPOOPER, NRDOCUMENTO, DTENTRADA, CDCLIFOR, NMCLIFOR, "
                          "VLDOCUMENTO, VLIRRF) VALUES ('01','IE1','IM1','0001','E','01',?,?,"
                          "'22222222000122','FORNECEDOR BETA LTDA',10.00,0)");
                q.addBindValue(QStringLiteral("9%1").arg(d.toString("MMdd")));
                q.addBindValue(d.toString(Qt::ISODate));
                QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("recent"));

        const QString folder = m_dir.filePath(QStringLiteral("filtros"));
        qputenv("FIS_USER_FILTERS", folder.toUtf8());
        TSavedFilters::Entry saved;
        saved.name = QStringLiteral("Mensal do balcão");
        saved.reportName = listagem();
        saved.period = TSavedFilters::Period(period);
        saved.filter.empresa = {QStringLiteral("01"), false};
        for (auto* code : {&saved.filter.inscEstad, &saved.filter.inscMuni, &saved.filter.filial})
            *code = {{}, true};
        saved.filter.direction = QStringLiteral("Entrada");
        TSavedFilters(QStringLiteral("FIS012")).save(saved);
        const auto dates = TSavedFilters::dates(saved.period, QDate::currentDate());

        const QString byName = m_dir.filePath(QStringLiteral("filtro.csv"));
        QStringList args = base(QString(), byName);
        args.removeAt(args.indexOf(QStringLiteral("--report")) + 1);
        args.removeOne(QStringLiteral("--report"));
        const Outcome named = run(args << QStringLiteral("--filtro") << saved.name);
        QCOMPARE(named.err, QString());
        QCOMPARE(named.out.section(u'\n', 1), lines);

        const QString byParams = m_dir.filePath(QStringLiteral("params.csv"));
        const Outcome given = run(base(listagem(), byParams) +
                                  params({"P_CDEMPRESA=01", "P_IDENTRSAID=E",
                                          "P_DTENTRINI=" + dates.first.toString(Qt::ISODate),
                                          "P_DTENTRFIM=" + dates.second.toString(Qt::ISODate)}));
        QCOMPARE(given.exitCode, 0);
        QFile a(byName), b(byParams);
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QCOMPARE(a.readAll(), b.readAll());

        const QString missing = m_dir.filePath(QStringLiteral("nenhum.csv"));
        QStringList unknown = base(listagem(), missing);
        const Outcome refused =
            run(unknown << QStringLiteral("--filtro") << QStringLiteral("Outro"));
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains(QStringLiteral("\"Outro\" não existe")),
                 qPrintable(refused.err));
        QVERIFY(!QFile::exists(missing));
    }
};

QTEST_GUILESS_MAIN(tst_FisReport)
#include "tst_fisreport.moc"
