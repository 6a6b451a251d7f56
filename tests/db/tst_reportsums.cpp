#include "DatabaseFixture.h"
#include "ReportFixture.h"
#include "TReportDesignerDialog.h"
#include "TValueFormat.h"
#include "XlsxRows.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

using namespace ReportFixture;

Q_DECLARE_METATYPE(ReportFixture::Filter)

namespace {

const QStringList kTaxes{"VLIRRF", "VLINSS", "VLISS", "VLPIS", "VLCOFINS", "VLCSLL"};

// What the database itself says the filter selects: a count and sums in hundredths,
// keyed "COUNT", "VLDOCUMENTO" and each tax column.
QMap<QString, qint64> sqlSums(const QSqlDatabase& db, const Filter& f, bool withheldOnly,
                              bool typeList)
{
    QString sql = QStringLiteral("SELECT COUNT(*), SUM(VLDOCUMENTO)");
    for (const QString& tax : kTaxes)
        sql += QStringLiteral(", SUM(%1)").arg(tax);
    sql += QStringLiteral(" FROM DOCFISCAL WHERE DTENTRADA >= ? AND DTENTRADA <= ?");
    QVariantList values{f.inicio, f.fim};
    auto equal = [&](const char* column, const QString& value, const QString& all) {
        if (value != all) {
            sql += QStringLiteral(" AND %1 = ?").arg(QLatin1String(column));
            values << value;
        }
    };
    equal("CDEMPRESA", f.empresa, "T");
    equal("CDINSCESTA", f.inscEstad, "T");
    equal("CDINSCMUNI", f.inscMuni, "T");
    equal("CDFILIAL", f.filial, "T");
    equal("IDENTRSAIDOP", f.direcao, "A");
    if (typeList && f.todosTipos != u"T") {
        QStringList keys;
        for (const QString& key : f.listaTipos.split(u',')) {
            keys << QStringLiteral("(IDENTRSAIDOP = ? AND CDTIPOOPER = ?)");
            values << key.mid(1, 1) << key.mid(2, 2);
        }
        sql += QStringLiteral(" AND (%1)").arg(keys.join(QStringLiteral(" OR ")));
    }
    if (withheldOnly)
        sql += QStringLiteral(" AND (") + kTaxes.join(QStringLiteral(" > 0 OR ")) +
               QStringLiteral(" > 0)");
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        qFatal("%s", qPrintable(q.lastError().text()));
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec() || !q.next())
        qFatal("%s", qPrintable(q.lastError().text()));
    QMap<QString, qint64> sums{{"COUNT", q.value(0).toLongLong()},
                               {"VLDOCUMENTO", TValueFormat::toCents(q.value(1))}};
    qint64 withheld = 0;
    for (int t = 0; t < kTaxes.size(); ++t) {
        sums[kTaxes[t]] = TValueFormat::toCents(q.value(2 + t));
        withheld += sums[kTaxes[t]];
    }
    sums["VLRETIDO"] = withheld;
    return sums;
}

// Hundredths of "1.234,56" or of a plain count "1.234".
qint64 brazilianCents(QString text)
{
    text.remove(u'.');
    if (!text.contains(u','))
        return text.toLongLong() * 100;
    return TValueFormat::toCents(text.replace(u',', u'.'));
}

// The numbers of the report's grand total line, as the PDF prints them.
QList<qint64> pdfGrandTotal(const QString& text, qint64* count)
{
    static const QRegularExpression number(
        QStringLiteral("(?<![\\d.,])-?\\d{1,3}(?:\\.\\d{3})*(?:,\\d\\d)?(?![\\d,])"));
    QString line;
    for (const QString& l : text.split(u'\n'))
        if (l.contains(u"Total geral"))
            line = l;
    QList<qint64> out;
    const qsizetype at = line.indexOf(u"Documentos:");
    if (at >= 0) {
        const auto m = number.match(line, at);
        *count = brazilianCents(m.captured()) / 100;
        line = line.mid(m.capturedEnd());
    }
    for (auto it = number.globalMatch(line); it.hasNext();)
        out << brazilianCents(it.next().captured());
    return out;
}

} // namespace

// Each FIS012 report, read back from its PDF and its XLSX, against the database's own
// sums for the same filter, on every engine.
class tst_ReportSums : public QObject
{
    Q_OBJECT

    DatabaseFixture m_fixture;

private Q_SLOTS:
    void initTestCase_data() { DatabaseFixture::addEngineRows(); }
    void initTestCase() { m_fixture.open(); }

    void totalsMatchTheDatabase_data()
    {
        QTest::addColumn<QString>("report");
        // The summed columns, in the order the report prints them.
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<Filter>("filter");

        const TDemoData::Branch branch = TDemoData::branch(TDemoData::Scale(), 0, 0);
        Filter all;
        all.fim = QDate(2024, 12, 31);
        Filter codes = all;
        codes.empresa = branch.company;
        codes.inscEstad = branch.stateRegistration;
        codes.inscMuni = branch.municipalRegistration;
        codes.filial = branch.code;
        Filter entrada = all;
        entrada.direcao = QStringLiteral("E");
        entrada.inicio = QDate(2024, 3, 1);
        entrada.fim = QDate(2024, 9, 30);
        Filter saida = all;
        saida.direcao = QStringLiteral("S");
        Filter types = all;
        types.listaTipos = QStringLiteral("'E04','S06','S01'");
        types.todosTipos = QString();
        // Past the 255 characters Firebird's PARAM takes: the query's own cast decides.
        Filter longList = types;
        for (int n = 0; n < 60; ++n)
            longList.listaTipos += QStringLiteral(",'Z%1'").arg(n, 2, 10, QChar(u'0'));

        const QList<std::pair<QString, QStringList>> reports{
            {listagem(), {"VLDOCUMENTO", "VLRETIDO"}},
            {retencoes(),
             {"VLDOCUMENTO", "VLIRRF", "VLINSS", "VLISS", "VLPIS", "VLCOFINS", "VLCSLL"}},
            {QStringLiteral("Resumo Mensal por Tipo de Operação"),
             {"COUNT", "VLDOCUMENTO", "VLIRRF", "VLINSS", "VLISS", "VLPIS", "VLCOFINS", "VLCSLL"}}};
        const QList<std::pair<const char*, Filter>> filters{
            {"T", all},       {"codes", codes}, {"entrada", entrada},
            {"saida", saida}, {"types", types}, {"long type list", longList}};
        for (const auto& [report, fields] : reports)
            for (const auto& [name, filter] : filters)
                QTest::addRow("%s, %s", qPrintable(report.left(12)), name)
                    << report << fields << filter;
    }
    void totalsMatchTheDatabase()
    {
        FIS_FETCH_DATABASE(m_fixture, module);
        QFETCH(QString, report);
        QFETCH(QStringList, fields);
        QFETCH(Filter, filter);
        dtmDBGeral = module;
        const TReportDefinition definition = shipped(report);
        const bool withholding = report == retencoes();
        const QMap<QString, qint64> expected =
            sqlSums(m_fixture.database(engine), filter, withholding, withholding);
        QVERIFY(expected["COUNT"] > 0);

        TReportDesignerDialog designer;
        designer.BeforeGetQueryParams = [&](TParams& params, bool&) { filter.fill(params); };
        const QString pdf = m_fixture.scratchPath() + QStringLiteral("/sums.pdf");
        const QString xlsx = m_fixture.scratchPath() + QStringLiteral("/sums.xlsx");
        QVERIFY(designer.ExportFile(definition, pdf));
        QVERIFY(designer.ExportFile(definition, xlsx));

        // FIS_KEEP_OUTPUT=DIR keeps each report's files, to be looked at.
        const QString keep = qEnvironmentVariable("FIS_KEEP_OUTPUT");
        if (!keep.isEmpty()) {
            const QString stem =
                QStringLiteral("%1/%2-%3-%4")
                    .arg(keep, engine, QFileInfo(definition.FilePath()).baseName(),
                         QString::fromLatin1(QTest::currentDataTag()).section(u',', 1).trimmed());
            QFile::remove(stem + ".pdf");
            QFile::remove(stem + ".xlsx");
            QFile::copy(pdf, stem + ".pdf");
            QFile::copy(xlsx, stem + ".xlsx");
        }

        QList<qint64> want;
        for (const QString& field : fields)
            want << expected[field] * (field == u"COUNT" ? 100 : 1);
        qint64 count = -1;
        QCOMPARE(pdfGrandTotal(pdfText(pdf), &count), want);
        if (definition.TotalsBy().countLabel.isEmpty())
            QCOMPARE(count, -1);
        else
            QCOMPARE(count, expected["COUNT"]);

        // The sheet: a header, the rows, the subtotals and the grand total last. Its
        // rows are summed again here, so a lost or doubled row shows.
        const QStringList rows = xlsxRows(xlsx);
        QVERIFY(rows.size() > 2);
        const QStringList header = rows.first().split(u'|');
        const QStringList total = rows.last().split(u'|');
        QVERIFY2(total.value(1).startsWith(u"Total geral"), qPrintable(rows.last()));
        QMap<QString, QString> titles;
        for (const TReportDefinition::Column& c : definition.Columns())
            titles[c.field] = c.title;
        for (qsizetype f = 0; f < fields.size(); ++f) {
            const QString field = fields[f] == u"COUNT" ? "QTDOCUMENTOS" : fields[f];
            const qsizetype column = header.indexOf(titles.value(field));
            QVERIFY2(column > 0, qPrintable(field));
            QCOMPARE(qint64(std::llround(total[column].toDouble() * 100)), want[f]);
            qint64 rowSum = 0;
            for (const QString& row : rows) {
                const QStringList cells = row.split(u'|');
                if (cells != header && !cells.value(1).startsWith(u"Total"))
                    rowSum += std::llround(cells.value(column).toDouble() * 100);
            }
            QCOMPARE(rowSum, want[f]);
        }
    }

    void participantsShowValidCnpjOrCpf()
    {
        FIS_FETCH_DATABASE(m_fixture, module);
        dtmDBGeral = module;
        Filter all;
        all.fim = QDate(2024, 12, 31);
        TReportDesignerDialog designer;
        designer.BeforeGetQueryParams = [&](TParams& params, bool&) { all.fill(params); };
        const QString xlsx = m_fixture.scratchPath() + QStringLiteral("/cnpj.xlsx");
        QVERIFY(designer.ExportFile(shipped(listagem()), xlsx));
        const QStringList rows = xlsxRows(xlsx);
        const qsizetype column = rows.first().split(u'|').indexOf(u"CNPJ/CPF"_qs);
        QVERIFY(column > 0);
        static const QRegularExpression cnpj(
            QStringLiteral("^\\d\\d\\.\\d{3}\\.\\d{3}/\\d{4}-\\d\\d$"));
        static const QRegularExpression cpf(QStringLiteral("^\\d{3}\\.\\d{3}\\.\\d{3}-\\d\\d$"));
        QSet<QString> seen;
        for (const QString& row : rows.mid(1)) {
            const QString shown = row.split(u'|').value(column);
            if (shown.isEmpty())
                continue; // subtotal rows
            QVERIFY2(cnpj.match(shown).hasMatch() || cpf.match(shown).hasMatch(),
                     qPrintable(shown));
            QString digits = shown;
            digits.remove(QRegularExpression(QStringLiteral("\\D")));
            // Modulo 11 over the digits before each check digit: CNPJ weights run
            // 2..9 from the right and start again, CPF weights run on up to 11.
            for (int check = digits.size() - 2; check < digits.size(); ++check) {
                int sum = 0;
                for (int i = 0; i < check; ++i) {
                    const int fromRight = check - i + 1;
                    const int weight = digits.size() == 14 ? (fromRight - 2) % 8 + 2 : fromRight;
                    sum += digits[i].digitValue() * weight;
                }
                const int rest = sum % 11;
                QVERIFY2(digits[check].digitValue() == (rest < 2 ? 0 : 11 - rest),
                         qPrintable(shown));
            }
            seen << shown;
        }
        // A company and a person the demo is known to hold.
        QVERIFY(seen.contains(u"11.222.333/0001-81"_qs));
        QVERIFY(seen.contains(u"529.982.247-25"_qs));
    }
};

QTEST_MAIN(tst_ReportSums)
#include "tst_reportsums.moc"
