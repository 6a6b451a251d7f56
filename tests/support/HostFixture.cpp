#include "HostFixture.h"

#include "RecordingPresenter.h"
#include "TApplication.h"
#include "TdtmDBGeral.h"
#include "TestDatabase.h"

HostFixture::HostFixture()
    : m_presenter(std::make_unique<RecordingPresenter>()),
      m_db(std::make_unique<TestDatabase>(QStringList{
          QStringLiteral("CREATE TABLE EMPRESA (CDEMPRESA VARCHAR(2), NMRAZSOCEMPR VARCHAR(80))"),
          QStringLiteral("INSERT INTO EMPRESA VALUES ('01', 'Comércio São Paulo Ltda')")})),
      m_dm(std::make_unique<TdtmDBGeral>(m_db->connectionName())),
      m_main(std::make_unique<QMainWindow>()), m_mdi(new QMdiArea)
{
    dtmDBGeral = m_dm.get();
    m_main->setCentralWidget(m_mdi);
    m_main->resize(1000, 700);
    m_main->show();
    TApplication::instance()->setMainForm(m_main.get());
    useProjectReports();
}

HostFixture::~HostFixture()
{
    TApplication::instance()->destroyOwnedForms();
    TApplication::instance()->setMainForm(nullptr);
    m_main.reset();
    dtmDBGeral = nullptr;
}

void HostFixture::useEmptyReportDirectory()
{
    TApplication::instance()->setReportDirectory(m_emptyReports.path());
}

void HostFixture::useProjectReports()
{
    TApplication::instance()->setReportDirectory(qEnvironmentVariable("FIS_SOURCE_DIR") +
                                                 QStringLiteral("/reports"));
}

void HostFixture::dropMainWindow()
{
    TApplication::instance()->setMainForm(nullptr);
}
