#pragma once

#include <QMainWindow>
#include <QMdiArea>
#include <QTemporaryDir>
#include <memory>

class RecordingPresenter;
class TestDatabase;
class TdtmDBGeral;

// What a host gives a module: an MDI main window registered with the application
// object, a data module over a small SQLite database, and a report directory.
class HostFixture
{
public:
    HostFixture();
    ~HostFixture();

    QMainWindow* mainWindow() const { return m_main.get(); }
    QMdiArea* mdiArea() const { return m_mdi; }
    RecordingPresenter& presenter() const { return *m_presenter; }
    // Points the application at a directory without report definitions.
    void useEmptyReportDirectory();
    void useProjectReports();
    // Detaches the MDI frame, as in a host without one.
    void dropMainWindow();

private:
    std::unique_ptr<RecordingPresenter> m_presenter;
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TdtmDBGeral> m_dm;
    std::unique_ptr<QMainWindow> m_main;
    QMdiArea* m_mdi;
    QTemporaryDir m_emptyReports;
};
