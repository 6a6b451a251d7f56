#include "TReportExporter.h"

#include "EFrameworkError.h"
#include "TCsvExporter.h"
#include "TValueFormat.h"
#include "TXlsxExporter.h"

#include <QFileInfo>
#include <QLocale>
#include <QTemporaryFile>
#include <filesystem>

namespace {

constexpr int kBatch = 1024;

int sourceIndex(const QStringList& names, const QString& field, const QString& report)
{
    for (int i = 0; i < names.size(); ++i)
        if (names[i].compare(field, Qt::CaseInsensitive) == 0)
            return i;
    throw EFrameworkError(
        QStringLiteral("Relatório '%1': a consulta não traz a coluna '%2'.").arg(report, field));
}

QString caption(const QString& text, const QString& countLabel, qint64 count)
{
    if (countLabel.isEmpty())
        return text;
    const QString counted = QStringLiteral("%1: %2").arg(
        countLabel, QLocale(QLocale::Portuguese, QLocale::Brazil).toString(count));
    return text.isEmpty() ? counted : text + QStringLiteral(" - ") + counted;
}

} // namespace

TReportExporter::~TReportExporter() = default;

std::unique_ptr<TReportExporter> TReportExporter::forPath(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"csv")
        return std::make_unique<TCsvExporter>();
    if (suffix == u"xlsx")
        return std::make_unique<TXlsxExporter>();
    return nullptr;
}

QStringList TReportExporter::fileFilters()
{
    return {QStringLiteral("Planilha do Excel (*.xlsx)"),
            QStringLiteral("Texto separado por ponto e vírgula (*.csv)")};
}

void TReportExporter::totals(const QString&, const std::vector<qint64>&, bool)
{
}

QString TReportExporter::fileError(const QString& file, const QString& reason)
{
    return QStringLiteral("Não foi possível gravar o arquivo '%1': %2.").arg(file, reason);
}

bool TReportExporter::write(const TReportDefinition& d, TRowSource& rows, const QString& path,
                            const Progress& progress)
{
    const QStringList names = rows.columnNames();
    std::vector<Column> columns;
    std::vector<int> summed;
    auto add = [&](const TReportDefinition::Column& c, bool canSum) {
        const bool sum = canSum && d.TotalsBy().fields.contains(c.field, Qt::CaseInsensitive);
        columns.push_back({c, sourceIndex(names, c.field, d.Name()), sum});
        if (sum)
            summed.push_back(columns.back().source);
    };
    if (d.HasGroup())
        for (const TReportDefinition::Column& c : d.GroupBy().textColumns)
            add(c, false);
    for (const TReportDefinition::Column& c : d.Columns())
        add(c, true);
    const int groupIndex = d.HasGroup() ? sourceIndex(names, d.GroupBy().field, d.Name()) : -1;

    // Written beside the target, so the rename that publishes it stays on one file system.
    const QFileInfo target(path);
    QTemporaryFile temp(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                        QStringLiteral(".XXXXXX"));
    if (!temp.open())
        throw EFrameworkError(fileError(path, temp.errorString()));
    temp.close();
    const QString file = temp.fileName();

    std::vector<qint64> groupSums(summed.size(), 0), reportSums(summed.size(), 0);
    qint64 groupCount = 0, count = 0;
    QString groupKey;
    const TReportDefinition::Totals totals = d.TotalsBy();
    auto closeGroup = [&] {
        if (groupCount > 0 && d.HasTotals())
            this->totals(caption(d.GroupBy().footer, totals.countLabel, groupCount), groupSums,
                         false);
        std::fill(groupSums.begin(), groupSums.end(), 0);
        groupCount = 0;
    };

    try {
        begin(file, columns);
        std::vector<TRowSource::Row> batch;
        while (!rows.atEnd()) {
            batch.clear();
            rows.read(kBatch, batch);
            for (const TRowSource::Row& r : batch) {
                if (groupIndex >= 0) {
                    const QString key = r[size_t(groupIndex)].toString();
                    if (key != groupKey)
                        closeGroup();
                    groupKey = key;
                }
                row(r);
                for (size_t s = 0; s < summed.size(); ++s) {
                    const qint64 cents = TValueFormat::toCents(r[size_t(summed[s])]);
                    groupSums[s] += cents;
                    reportSums[s] += cents;
                }
                ++groupCount;
                ++count;
            }
            if (progress && !progress(count)) {
                rows.cancel();
                discard();
                return false;
            }
        }
        if (groupIndex >= 0)
            closeGroup();
        if (d.HasTotals())
            this->totals(caption(totals.caption, totals.countLabel, count), reportSums, true);
        end();
    } catch (...) {
        discard();
        throw;
    }

    temp.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    std::error_code error;
    std::filesystem::rename(file.toStdString(), path.toStdString(), error);
    if (error)
        throw EFrameworkError(fileError(path, QString::fromStdString(error.message())));
    return true;
}
