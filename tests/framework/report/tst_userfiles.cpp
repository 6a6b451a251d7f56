// Where a user's reports are read and written: only in the user's own folder, never
// through a symbolic link or a folder others may change, with the mode the umask gives.
#include "EFrameworkError.h"
#include "ReportFixture.h"
#include "TUserReports.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace ReportFixture;

namespace {

int modeOf(const QString& path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// The umask of this process for one scope.
class Umask
{
public:
    explicit Umask(int mask) : m_old(::umask(mode_t(mask))) {}
    ~Umask() { ::umask(m_old); }
    Umask(const Umask&) = delete;
    Umask& operator=(const Umask&) = delete;

private:
    mode_t m_old;
};

} // namespace

class tst_UserFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void placesAndModes_data();
    void placesAndModes();
};

void tst_UserFiles::placesAndModes_data()
{
    QTest::addColumn<QString>("setup"); // what the folder is made into first
    QTest::addColumn<int>("umask");
    QTest::addColumn<int>("mode");      // of the saved file; 0: the save is refused
    QTest::addColumn<QString>("named"); // in the refusal and the list's warning

    QTest::newRow("new file, umask 077") << "" << 077 << 0600 << "";
    QTest::newRow("new file, umask 022") << "" << 022 << 0644 << "";
    QTest::newRow("saved again keeps its mode") << "chmod 0640" << 022 << 0640 << "";
    QTest::newRow("report is a link") << "link report" << 022 << 0 << "FIS012_01.json";
    QTest::newRow("folder is a link") << "link folder" << 022 << 0 << "reports";
    QTest::newRow("folder others may write") << "open folder" << 022 << 0 << "reports";
}

void tst_UserFiles::placesAndModes()
{
    QFETCH(QString, setup);
    QFETCH(int, umask);
    QFETCH(int, mode);
    QFETCH(QString, named);

    QTemporaryDir work;
    const QString folder = work.filePath(QStringLiteral("reports"));
    const QString elsewhere = work.filePath(QStringLiteral("elsewhere"));
    QVERIFY(QDir().mkpath(elsewhere));
    qputenv("FIS_USER_REPORTS", QFile::encodeName(folder));

    TReportDefinition d = shipped(listagem());
    d.setName(QStringLiteral("Minha listagem"));
    QString path;
    {
        const Umask mask(umask);
        path = TUserReports::saveNew(d);
    }
    QCOMPARE(modeOf(folder), 0700);
    const QString target = QDir(elsewhere).filePath(QStringLiteral("FIS012_01.json"));
    if (setup == u"chmod 0640") {
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    } else if (setup == u"link report") {
        QVERIFY(QFile::rename(path, target));
        QVERIFY(QFile::link(target, path));
    } else if (setup == u"link folder") {
        QVERIFY(QDir().rmdir(elsewhere));
        QVERIFY(QDir().rename(folder, elsewhere));
        QVERIFY(QFile::link(elsewhere, folder));
    } else if (setup == u"open folder") {
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0777), 0);
    }

    QString refusal;
    const Umask mask(umask);
    try {
        TUserReports::rename(path, QStringLiteral("Outro título"), reportsDirectory());
        d.save(path);
    } catch (const EFrameworkError& e) {
        refusal = e.message();
    }
    if (mode) {
        QVERIFY2(refusal.isEmpty(), qPrintable(refusal));
        QCOMPARE(modeOf(path), mode);
        QCOMPARE(TUserReports::list(QStringLiteral("FIS012")).size(), 1);
        return;
    }
    QVERIFY2(refusal.contains(named), qPrintable(refusal));
    // The file a link leads to is left as it was, and the list leaves the place out.
    QFile old(target);
    if (old.open(QIODevice::ReadOnly))
        QVERIFY(!QString::fromUtf8(old.readAll()).contains(QStringLiteral("Outro título")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(named)));
    QCOMPARE(TUserReports::list(QStringLiteral("FIS012")).size(), 0);
    if (setup != u"link report")
        QVERIFY_THROWS_EXCEPTION(EFrameworkError, TUserReports::saveNew(d));
}

QTEST_MAIN(tst_UserFiles)
#include "tst_userfiles.moc"
