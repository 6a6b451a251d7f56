#pragma once

#include "TParams.h"
#include "TReportDefinition.h"
#include "TdtmDBGeral.h"
#include "TestDatabase.h"

#include <QDate>
#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <memory>

// A small documents table and the filter values the form would hand over.
namespace ReportFixture {

inline QStringList schema()
{
    return {
        QStringLiteral("CREATE TABLE EMPRESA (CDEMPRESA VARCHAR(2), NMRAZSOCEMPR VARCHAR(80))"),
        QStringLiteral("CREATE TABLE TIPOOPERAC (IDENTRSAIDOP CHAR(1), CDTIPOOPER VARCHAR(2), "
                       "NMTIPOOPER VARCHAR(30))"),
        QStringLiteral("CREATE TABLE DOCFISCAL (CDEMPRESA VARCHAR(2), CDINSCESTA VARCHAR(16), "
                       "CDINSCMUNI VARCHAR(16), CDFILIAL VARCHAR(4), IDENTRSAIDOP CHAR(1), "
                       "CDTIPOOPER VARCHAR(2), NRDOCUMENTO VARCHAR(12), DTENTRADA DATE, "
                       "CDCLIFOR VARCHAR(14), NMCLIFOR VARCHAR(60), VLDOCUMENTO NUMERIC(15,2), "
                       "VLIRRF NUMERIC(15,2), CDMODELO VARCHAR(2) DEFAULT '55', "
                       "CDSERIE VARCHAR(3) DEFAULT '1', DTEMISSAO DATE DEFAULT '2024-01-01', "
                       "VLBCINSS NUMERIC(15,2) DEFAULT 0, VLINSS NUMERIC(15,2) DEFAULT 0, "
                       "VLBCISS NUMERIC(15,2) DEFAULT 0, VLISS NUMERIC(15,2) DEFAULT 0, "
                       "VLPIS NUMERIC(15,2) DEFAULT 0, VLCOFINS NUMERIC(15,2) DEFAULT 0, "
                       "VLCSLL NUMERIC(15,2) DEFAULT 0)"),
        QStringLiteral("INSERT INTO EMPRESA VALUES ('01', 'EMPRESA UM LTDA'), "
                       "('02', 'EMPRESA DOIS S.A.')"),
        QStringLiteral("INSERT INTO TIPOOPERAC VALUES ('E', '01', 'COMPRA PARA COMERCIALIZAÇÃO'), "
                       "('E', '02', 'SERVIÇO TOMADO'), ('S', '05', 'PRESTAÇÃO DE SERVIÇO')"),
        // 1005 falls before January and 1004 after it; 1001 has no withholding.
        QStringLiteral("INSERT INTO DOCFISCAL (CDEMPRESA, CDINSCESTA, CDINSCMUNI, CDFILIAL, "
                       "IDENTRSAIDOP, CDTIPOOPER, NRDOCUMENTO, DTENTRADA, CDCLIFOR, NMCLIFOR, "
                       "VLDOCUMENTO, VLIRRF) VALUES "
                       "('01','IE1','IM1','0001','E','01','1001','2024-01-05','22222222000122',"
                       "'FORNECEDOR BETA LTDA',1000.00,0),"
                       "('01','IE1','IM1','0001','S','05','1002','2024-01-10','22222222000122',"
                       "'FORNECEDOR BETA LTDA',2500.50,150.03),"
                       "('01','IE2','IM2','0002','E','02','1003','2024-01-31','11111111000111',"
                       "'CLIENTE ALFA E CIA',300.00,30.00),"
                       "('02','IE3','IM3','0003','S','05','1004','2024-02-01','33333333000133',"
                       "'SERVIÇOS GAMA',750.25,75.02),"
                       "('01','IE1','IM1','0001','E','01','1005','2023-12-31','22222222000122',"
                       "'FORNECEDOR BETA LTDA',100.00,10.00),"
                       "('02','IE3','IM3','0003','E','01','1006','2024-01-01','33333333000133',"
                       "'SERVIÇOS GAMA',50.00,5.00)"),
    };
}

// The values of a filter, keyed by parameter name.
struct Filter
{
    QString empresa = QStringLiteral("T");
    QString inscEstad = QStringLiteral("T");
    QString inscMuni = QStringLiteral("T");
    QString filial = QStringLiteral("T");
    QString direcao = QStringLiteral("A");
    QDate inicio = QDate(2024, 1, 1);
    QDate fim = QDate(2024, 1, 31);
    QString listaTipos;
    QString todosTipos = QStringLiteral("T");

    // Fills whatever the list declares, as the filter form does.
    void fill(TParams& params) const
    {
        auto text = [&](const char* name, const QString& value) {
            if (ExistParam(params, QLatin1String(name)))
                params.ParamByName(QLatin1String(name)).SetAsString(value);
        };
        text("P_CDEMPRESA", empresa);
        text("P_CDINSCESTA", inscEstad);
        text("P_CDINSCMUNI", inscMuni);
        text("P_CDFILIAL", filial);
        text("P_IDENTRSAID", direcao);
        if (ExistParam(params, QStringLiteral("P_DTENTRINI")))
            params.ParamByName(QStringLiteral("P_DTENTRINI")).SetAsDate(inicio);
        if (ExistParam(params, QStringLiteral("P_DTENTRFIM")))
            params.ParamByName(QStringLiteral("P_DTENTRFIM")).SetAsDate(fim);
        if (ExistParam(params, QStringLiteral("P_CDTIPOOPER")))
            params.ParamByName(QStringLiteral("P_CDTIPOOPER")).SetAsVariant(listaTipos);
        if (ExistParam(params, QStringLiteral("P_TCDTIPOOPER")))
            params.ParamByName(QStringLiteral("P_TCDTIPOOPER")).SetAsVariant(todosTipos);
    }
};

inline QString reportsDirectory()
{
    return qEnvironmentVariable("FIS_SOURCE_DIR") + QStringLiteral("/reports");
}

// The shipped definition with that name.
inline TReportDefinition shipped(const QString& name)
{
    for (const TReportDefinition& d :
         TReportDefinition::listForCode(reportsDirectory(), QStringLiteral("FIS012")))
        if (d.Name() == name)
            return d;
    return {};
}

inline QString listagem()
{
    return QStringLiteral("Listagem dos Documentos");
}

inline QString retencoes()
{
    return QStringLiteral("Retenções por Cliente/Fornecedor");
}

// The text of a PDF, or of some of its pages, as pdftotext reads it.
inline QString pdfText(const QString& path, int firstPage = 0, int lastPage = 0)
{
    QStringList args{QStringLiteral("-layout")};
    if (firstPage > 0)
        args << QStringLiteral("-f") << QString::number(firstPage) << QStringLiteral("-l")
             << QString::number(lastPage);
    args << path << QStringLiteral("-");
    QProcess p;
    p.start(QStringLiteral("pdftotext"), args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

inline int pdfPages(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {path});
    p.waitForFinished(60000);
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split(u'\n'))
        if (line.startsWith(QStringLiteral("Pages:")))
            return line.mid(6).trimmed().toInt();
    return -1;
}

} // namespace ReportFixture
