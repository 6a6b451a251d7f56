#include "TReportRun.h"

#include "EFrameworkError.h"
#include "TADOIBQuery.h"
#include "TCancelToken.h"
#include "TDBConnection.h"
#include "TReadStatement.h"
#include "TReportPipeline_p.h"
#include "TRunningStatement.h"
#include "TSqlText.h"
#include "TdtmDBGeral.h"

namespace {

using Pipeline = TReportPipeline<std::vector<TRowSource::Row>>;

// How long a stopped reader may take to let go on its own (the end of the batch it reads)
// before the statement it waits on is cancelled under it.
constexpr std::chrono::milliseconds readerGrace(200);
// How often the caller, waiting for rows that do not come, hands the clerk the event loop
// (and Cancelar) and looks at the process's cancel token.
constexpr std::chrono::milliseconds waitSlice(100);

} // namespace

TReportRun::TReportRun(const TReportDefinition& definition, TADOIBQuery* query)
    : m_definition(definition.printable()), m_query(query)
{
}

TReportRun::~TReportRun()
{
    stopReadAhead();
}

bool TReportRun::start(const TBeforeGetQueryParamsEvent& beforeGetQueryParams)
{
    m_query->Close();
    if (!dtmDBGeral)
        throw EFrameworkError(
            QStringLiteral("Não há conexão com o banco de dados para emitir o relatório."));
    m_query->setADOConnection(dtmDBGeral->adcGeral);
    m_query->setDataBase(dtmDBGeral->dtbGeral);
    m_query->setTransaction(dtmDBGeral->ibtGeral);
    m_query->setDescription(QStringLiteral("relatório '%1'").arg(m_definition.Name()));
    for (const TReportDefinition::FilterItem& f : m_definition.Filters()) {
        m_query->setParamLabel(f.parameter, f.label);
        if (!f.toParameter.isEmpty())
            m_query->setParamLabel(f.toParameter, f.label);
    }
    // The list follows the text that runs on this database, not the default one.
    m_query->setParamCheck(false);
    m_query->setSQL(m_definition.SQL());
    m_query->setSQL_IB(m_definition.SQL_IB());
    // A definition written by hand or saved by an older version is checked here too.
    if (const QString problem = TReadStatement::problem(m_query->activeText()); !problem.isEmpty())
        throw EFrameworkError(QStringLiteral("O relatório '%1' não pode ser emitido. %2")
                                  .arg(m_definition.Name(), problem));
    const QStringList names = TSqlText::parameterNames(m_query->activeText());

    m_params = TParams(names);
    bool handled = true;
    if (beforeGetQueryParams)
        beforeGetQueryParams(m_params, handled);
    if (!handled)
        return false;

    // A parameter left without a value would run as NULL and empty the report unseen.
    for (const QString& name : names)
        if (!m_params.ParamByName(name).Assigned())
            throw EFrameworkError(
                QStringLiteral("O relatório '%1' não pode ser emitido: a consulta usa o "
                               "parâmetro %2, que esta tela não preenche. Corrija a definição "
                               "do relatório.")
                    .arg(m_definition.Name(), name));
    m_query->Params().Rebuild(names);
    for (const QString& name : names)
        m_query->ParamByName(name).SetAsVariant(m_params.ParamByName(name).Value());
    m_query->Open();
    return true;
}

int TReportRun::column(const QString& field) const
{
    const int index = m_query->Query()->columnIndex(field);
    if (index < 0)
        throw EFrameworkError(QStringLiteral("Relatório '%1': a consulta não traz a coluna '%2'.")
                                  .arg(m_definition.Name(), field));
    return index;
}

void TReportRun::checkColumns() const
{
    for (const TReportDefinition::Column& c : m_definition.Columns())
        column(c.field);
    for (const TReportDefinition::Group& g : {m_definition.GroupBy(), m_definition.SubGroup()}) {
        if (g.field.isEmpty())
            continue;
        column(g.field);
        for (const QString& f : g.textFields)
            column(f);
    }
}

void TReportRun::readAhead()
{
    if (m_ahead || m_cancelled || !Pipeline::threaded())
        return;
    // The dataset's own rows (and its model's reset) are taken here, on its thread: the
    // reader only ever reaches the row source.
    if (m_next >= m_batch.size()) {
        try {
            m_query->Query()->readForward(TADOIBDataSet::BatchSize, m_batch);
        } catch (const EFrameworkError& e) {
            readFailed(e);
        }
        m_next = 0;
        if (m_batch.empty())
            return;
    }
    m_ahead = std::make_unique<Pipeline>(16);
    m_spent = std::make_unique<Pipeline>(16);
    TADOIBDataSet* data = m_query->Query();
    Pipeline* ahead = m_ahead.get();
    Pipeline* spent = m_spent.get();
    ahead->start([data, ahead, spent] {
        for (;;) {
            // Freed on this thread: memory freed on another thread than the one that
            // allocated it costs malloc a lock per value.
            std::vector<TRowSource::Row> batch;
            while (spent->tryPop(batch))
                batch.clear();
            data->readForward(TADOIBDataSet::BatchSize, batch);
            if (batch.empty() || !ahead->push(std::move(batch)))
                break;
        }
        ahead->end();
    });
}

void TReportRun::stopReadAhead()
{
    if (!m_ahead)
        return;
    m_ahead->stop();
    // A reader stuck on a server that stopped answering must not hold the caller too.
    if (!m_ahead->finishedWithin(readerGrace)) {
        const TDBConnection* connection = m_query->connection();
        // A session given up is reopened by the next action, without a word to the clerk.
        if (connection &&
            TRunningStatement::interrupt(connection->database(), [this](int milliseconds) {
                return m_ahead->finishedWithin(std::chrono::milliseconds(milliseconds));
            }))
            connection->markLost();
    }
    try {
        m_ahead->join();
    } catch (...) {
        // Given up: what the reader met no longer matters.
    }
    m_ahead.reset();
    m_spent.reset();
}

const TRowSource::Row* TReportRun::next()
{
    m_late = false;
    // Seen at every row: a signal stops the run within one, whatever the output.
    if (!m_cancelled && TCancelToken::process().isCancelled())
        cancel();
    if (m_cancelled || (m_rowLimit >= 0 && m_rowsRead >= m_rowLimit))
        return nullptr;
    if (m_next >= m_batch.size()) {
        m_next = 0;
        try {
            if (m_ahead) {
                if (!m_batch.empty())
                    m_spent->tryPush(m_batch);
                const auto slice =
                    m_patienceMs < 0 ? waitSlice
                                     : std::min(waitSlice, std::chrono::milliseconds(m_patienceMs));
                Pipeline::Wait got;
                while ((got = m_ahead->popFor(m_batch, slice)) == Pipeline::Wait::TimedOut) {
                    if (m_patienceMs >= 0) {
                        // The batch handed back may still be here: not to be read twice.
                        m_batch.clear();
                        m_late = true;
                        return nullptr;
                    }
                    // The rows are late (a slow or frozen server): the clerk's Cancelar and
                    // a signal are still served, which stops the reader.
                    if (!progress(m_lastText, m_lastDone, m_lastTotal))
                        return nullptr;
                }
                if (got == Pipeline::Wait::End) {
                    m_batch.clear();
                    // What the reader met once a stop was asked for is the stop's doing.
                    if (TCancelToken::process().isCancelled()) {
                        cancel();
                        return nullptr;
                    }
                    // The reader's error, if it met one, is the run's.
                    const auto ahead = std::move(m_ahead);
                    ahead->join();
                    m_spent.reset();
                    return nullptr;
                }
            } else {
                m_query->Query()->readForward(TADOIBDataSet::BatchSize, m_batch);
            }
        } catch (const EFrameworkError& e) {
            readFailed(e);
        }
        if (m_batch.empty())
            return nullptr;
    }
    ++m_rowsRead;
    return &m_batch[m_next++];
}

// A failure past the first row is told as one before it: what happened, in the clerk's
// words (the connection lost, the file damaged), the database's text as the detail.
void TReportRun::readFailed(const EFrameworkError& failure) const
{
    const TDBConnection* connection = m_query->connection();
    const QString message =
        QStringLiteral("A leitura do relatório '%1' parou na linha %2: o banco de dados "
                       "recusou o resto das linhas. Repita a emissão; se o erro continuar, "
                       "avise o suporte.")
            .arg(m_definition.Name())
            .arg(m_rowsRead + 1);
    if (!connection)
        throw EFrameworkError(message,
                              failure.detail().isEmpty() ? failure.message() : failure.detail());
    throw connection->diagnose(failure, message);
}

bool TReportRun::progress(const QString& text, qint64 done, qint64 total)
{
    m_lastText = text;
    m_lastDone = done;
    m_lastTotal = total;
    if (!m_cancelled &&
        ((m_progress && !m_progress(text, done, total)) || TCancelToken::process().isCancelled()))
        cancel();
    return !m_cancelled;
}

void TReportRun::cancel()
{
    // The reader lets go of the statement before it is closed.
    stopReadAhead();
    m_cancelled = true;
    m_batch.clear();
    // The driver gives up the rows not read yet; PostgreSQL's server is told to stop.
    m_query->Close();
}
