#include "TLookupQueries.h"

#include "TdtmDBGeral.h"

namespace {

// The filter's fields as their labels read: named in what the clerk is told.
void labelParams(TADOIBQuery* query)
{
    static const std::pair<const char*, const char*> labels[] = {
        {"P_CDEMPRESA", "Empresa"},          {"P_TCDEMPRESA", "Empresa"},
        {"P_CDINSCESTA", "Insc. Estadual"},  {"P_TCDINSCESTA", "Insc. Estadual"},
        {"P_CDINSCMUNI", "Insc. Municipal"}, {"P_TCDINSCMUNI", "Insc. Municipal"},
        {"P_CDFILIAL", "Filial Origem"},
    };
    for (const auto& [name, label] : labels)
        query->setParamLabel(QLatin1String(name), QString::fromUtf8(label));
}

TADOIBQuery* makeQuery(QObject* owner, const char* name, const char* description,
                       TDataSource*& source, const char* sourceName)
{
    auto* query = new TADOIBQuery(owner);
    query->setObjectName(QLatin1String(name));
    query->setDescription(QString::fromUtf8(description));
    labelParams(query);
    if (dtmDBGeral) {
        query->setADOConnection(dtmDBGeral->adcGeral);
        query->setDataBase(dtmDBGeral->dtbGeral);
        query->setTransaction(dtmDBGeral->ibtGeral);
    }
    source = new TDataSource(owner);
    source->setObjectName(QLatin1String(sourceName));
    source->setDataSet(query);
    query->setDataSource(source);
    query->setParamCheck(true);
    return query;
}

// The branch text with its NULL-tolerant function (NVL or ISNULL) in place.
// The state and municipal registrations of one company: the same statement on two tables.
QStringList registrationText(const QString& table, const QString& code)
{
    return {
        QStringLiteral("SELECT"),
        QStringLiteral("   ") + code,
        QStringLiteral("FROM"),
        QStringLiteral("   ") + table,
        QStringLiteral("WHERE"),
        QStringLiteral("   (CDEMPRESA  = :P_CDEMPRESA) AND"),
        QStringLiteral("   (%1 = :P_%1 OR :P_T%1 = 'T')").arg(code),
        QStringLiteral("ORDER BY"),
        QStringLiteral("   ") + code,
    };
}

QStringList filialText(const QString& nvl)
{
    return {
        QStringLiteral("SELECT"),
        QStringLiteral("   CDFILIAL,"),
        QStringLiteral("   NMFILIAL"),
        QStringLiteral("FROM"),
        QStringLiteral("   FILIAL"),
        QStringLiteral("WHERE"),
        QStringLiteral("   (CDEMPRESA  = %1(:P_CDEMPRESA,  CDEMPRESA)) AND").arg(nvl),
        QStringLiteral("   (CDINSCMUNI = %1(:P_CDINSCMUNI, CDINSCMUNI)) AND").arg(nvl),
        QStringLiteral("   (CDINSCESTA = %1(:P_CDINSCESTA, CDINSCESTA)) AND").arg(nvl),
        QStringLiteral("   (CDFILIAL   = %1(:P_CDFILIAL,   CDFILIAL))").arg(nvl),
        QString(),
        QStringLiteral("ORDER BY"),
        QStringLiteral("   CDFILIAL"),
    };
}

} // namespace

TLookupQueries::TLookupQueries(QObject* owner)
{
    qryEmpresa = makeQuery(owner, "qryEmpresa", "Empresa", dtsEmpresa, "dtsEmpresa");
    qryEmpresa->setSQL({
        QStringLiteral("SELECT"),
        QStringLiteral("   CDEMPRESA,"),
        QStringLiteral("   NMRAZSOCEMPR"),
        QStringLiteral("FROM"),
        QStringLiteral("   EMPRESA"),
        QStringLiteral("WHERE"),
        QStringLiteral("   (CDEMPRESA = :P_CDEMPRESA OR :P_TCDEMPRESA = 'T')"),
        QStringLiteral("ORDER BY"),
        QStringLiteral("   CDEMPRESA"),
    });
    qryEmpresa->AddField(QStringLiteral("CDEMPRESA"), QStringLiteral("Código"), 2, true, true);
    qryEmpresa->AddField(QStringLiteral("NMRAZSOCEMPR"), QStringLiteral("Razão Social"), 80, false,
                         true);

    qryInscEstad = makeQuery(owner, "qryInscEstad", "Insc. Estadual", dtsInscEstad, "dtsInscEstad");
    qryInscEstad->setSQL(
        registrationText(QStringLiteral("INSCRESTAD"), QStringLiteral("CDINSCESTA")));
    qryInscEstad->AddField(QStringLiteral("CDINSCESTA"), QStringLiteral("Código"), 16, true, true);

    qryInscMuni = makeQuery(owner, "qryInscMuni", "Insc. Municipal", dtsInscMuni, "dtsInscMuni");
    qryInscMuni->setSQL(
        registrationText(QStringLiteral("INSCRMUNICIP"), QStringLiteral("CDINSCMUNI")));
    qryInscMuni->AddField(QStringLiteral("CDINSCMUNI"), QStringLiteral("Código"), 16, true, true);

    qryFilial = makeQuery(owner, "qryFilial", "Filial Origem", dtsFilial, "dtsFilial");
    qryFilial->setSQL(filialText(QStringLiteral("NVL")));
    qryFilial->setSQL_ORACLE(filialText(QStringLiteral("NVL")));
    qryFilial->setSQL_MSSQL(filialText(QStringLiteral("ISNULL")));
    qryFilial->setSQL_IB({
        QStringLiteral("SELECT"),
        QStringLiteral("   CDFILIAL,"),
        QStringLiteral("   NMFILIAL"),
        QStringLiteral("FROM"),
        QStringLiteral("   FILIAL,"),
        QStringLiteral("   PARAM(:P_CDEMPRESA)  P_CDEMPRESA,"),
        QStringLiteral("   PARAM(:P_CDINSCMUNI) P_CDINSCMUNI,"),
        QStringLiteral("   PARAM(:P_CDINSCESTA) P_CDINSCESTA,"),
        QStringLiteral("   PARAM(:P_CDFILIAL)   P_CDFILIAL"),
        QStringLiteral("WHERE"),
        QStringLiteral("   (CDEMPRESA  = NVLSTR(P_CDEMPRESA.PARAM,  CDEMPRESA)) AND"),
        QStringLiteral("   (CDINSCMUNI = NVLSTR(P_CDINSCMUNI.PARAM, CDINSCMUNI)) AND"),
        QStringLiteral("   (CDINSCESTA = NVLSTR(P_CDINSCESTA.PARAM, CDINSCESTA)) AND"),
        QStringLiteral("   (CDFILIAL   = NVLSTR(P_CDFILIAL.PARAM,   CDFILIAL))"),
        QString(),
        QStringLiteral("ORDER BY"),
        // The trailing blank belongs to the stored text.
        QStringLiteral("   CDFILIAL "),
    });
    qryFilial->AddField(QStringLiteral("CDFILIAL"), QStringLiteral("Código"), 4, true, true);
    qryFilial->AddField(QStringLiteral("NMFILIAL"), QStringLiteral("Nome"), 30, false, true);

    qryTpOperacao =
        makeQuery(owner, "qryTpOperacao", "Tipos de Operação", dtsTpOperacao, "dtsTpOperacao");
    qryTpOperacao->setSQL({
        QStringLiteral("SELECT ' ' as IDMARCADO,"),
        QStringLiteral("       IDENTRSAIDOP,"),
        QStringLiteral("       CDTIPOOPER,"),
        QStringLiteral("       NMTIPOOPER,"),
        QStringLiteral("       IDENTRSAIDOP||CDTIPOOPER AS CHAVE"),
        QStringLiteral("  FROM TIPOOPERAC"),
        QStringLiteral("  ORDER BY  IDENTRSAIDOP,CDTIPOOPER"),
    });
    qryTpOperacao->AddField(QStringLiteral("IDENTRSAIDOP"), QStringLiteral("Operação"), 1, false,
                            true);
    qryTpOperacao->AddField(QStringLiteral("CDTIPOOPER"), QStringLiteral("Código"), 2, false, true);
    qryTpOperacao->AddField(QStringLiteral("NMTIPOOPER"), QStringLiteral("Descrição"), 30, false,
                            true);
    qryTpOperacao->AddField(QStringLiteral("CHAVE"), QString(), 7, false, false);
}
