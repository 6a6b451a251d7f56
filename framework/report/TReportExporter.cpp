#include "TReportExporter.h"

#include "EFrameworkError.h"
#include "TCancelToken.h"
#include "TReportCellFormat_p.h"
#include "TReportFile.h"
#include "TReportFormats.h"
#include "TReportRun.h"

#include <QLocale>

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
    const TReportFormats::Format* format = TReportFormats::forPath(path);
    return format && format->exporter ? format->exporter() : nullptr;
}

QStringList TReportExporter::fileFilters()
{
    return TReportFormats::exporterFilters();
}

void TReportExporter::totals(const QString&, const std::vector<TReportSum>&, bool)
{
}

bool TReportExporter::goesOn() const
{
    const bool wanted = !m_progress || !*m_progress || (*m_progress)(m_written);
    return wanted && !TCancelToken::process().isCancelled();
}

QString TReportExporter::fileError(const QString& file, const QString& reason)
{
    return TReportFile::errorText(file, reason);
}

bool TReportExporter::writeRun(TReportRun& run, const QString& file)
{
    return writeRows(
        run.definition(), [&](const QString& field) { return run.column(field); },
        [&] { return run.next(); }, file,
        [&](qint64 rows) {
            // The rows are read forward once, so their number is known only at the end.
            static const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
            return run.progress(QStringLiteral("Exportando linha %1…").arg(brazil.toString(rows)),
                                rows, 0);
        });
}

bool TReportExporter::write(const TReportDefinition& d, TRowSource& rows, const QString& path,
                            const Progress& progress)
{
    const QStringList names = rows.columnNames();
    std::vector<TRowSource::Row> batch;
    size_t at = 0;
    bool cancelled = false;
    auto next = [&]() -> const TRowSource::Row* {
        if (at == batch.size()) {
            if (cancelled || rows.atEnd())
                return nullptr;
            batch.clear();
            at = 0;
            rows.read(kBatch, batch);
            if (batch.empty())
                return nullptr;
        }
        return &batch[at++];
    };
    auto check = [&](qint64 done) {
        cancelled = progress && !progress(done);
        if (cancelled)
            rows.cancel();
        return !cancelled;
    };

    return TReportFile::writeThenRename(path, [&](const QString& file) {
        return writeRows(
            d, [&](const QString& field) { return sourceIndex(names, field, d.Name()); }, next,
            file, check);
    });
}

bool TReportExporter::writeRows(const TReportDefinition& d,
                                const std::function<int(const QString&)>& columnOf,
                                const std::function<const TRowSource::Row*()>& next,
                                const QString& file, const std::function<bool(qint64)>& progress)
{
    std::vector<Column> columns;
    std::vector<size_t> summed;
    auto add = [&](const TReportDefinition::Column& c, bool canSum) {
        const bool sum = canSum && d.TotalsBy().fields.contains(c.field, Qt::CaseInsensitive);
        columns.push_back(
            {c, columnOf(c.field), sum, std::make_shared<const TReportCellFormat>(c)});
        if (sum)
            summed.push_back(columns.size() - 1);
    };
    if (d.HasGroup())
        for (const TReportDefinition::Column& c : d.GroupBy().textColumns)
            add(c, false);
    for (const TReportDefinition::Column& c : d.Columns())
        add(c, true);
    const int groupIndex = d.HasGroup() ? columnOf(d.GroupBy().field) : -1;

    std::vector<TReportSum> groupSums(summed.size()), reportSums(summed.size());
    qint64 groupCount = 0, count = 0;
    QString groupKey;
    const TReportDefinition::Totals totals = d.TotalsBy();
    auto closeGroup = [&] {
        if (groupCount > 0 && d.HasTotals())
            this->totals(caption(d.GroupBy().footer, totals.countLabel, groupCount), groupSums,
                         false);
        for (TReportSum& sum : groupSums)
            sum.clear();
        groupCount = 0;
    };

    try {
        m_reportName = d.Name();
        m_progress = &progress;
        m_written = 0;
        begin(file, columns);
        while (const TRowSource::Row* r = next()) {
            if (groupIndex >= 0) {
                // Compared in place: a copy of the key a row is measurable at a million.
                const QVariant& key = (*r)[size_t(groupIndex)];
                const bool same = key.typeId() == QMetaType::QString
                                      ? groupKey == *static_cast<const QString*>(key.constData())
                                      : groupKey == key.toString();
                if (!same) {
                    closeGroup();
                    groupKey = key.toString();
                }
            }
            row(*r);
            for (size_t s = 0; s < summed.size(); ++s) {
                const Column& c = columns[summed[s]];
                qint64 cents = 0;
                if (c.cell->cents((*r)[size_t(c.source)], cents)) {
                    groupSums[s].add(cents);
                    reportSums[s].add(cents);
                } else {
                    groupSums[s].spoil();
                    reportSums[s].spoil();
                }
            }
            ++groupCount;
            if (++count % kBatch == 0 && !progress(count)) {
                discard();
                return false;
            }
        }
        if (!progress(count)) {
            discard();
            return false;
        }
        if (groupIndex >= 0)
            closeGroup();
        if (d.HasTotals())
            this->totals(caption(totals.caption, totals.countLabel, count), reportSums, true);
        m_written = count;
        if (!end()) {
            m_progress = nullptr;
            discard();
            return false;
        }
    } catch (...) {
        m_progress = nullptr;
        discard();
        throw;
    }
    m_progress = nullptr;
    return true;
}
