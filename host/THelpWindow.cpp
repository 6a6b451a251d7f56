#include "THelpWindow.h"

#include <QDir>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>

THelpWindow::THelpWindow(const QString& directory, QWidget* parent)
    : QMainWindow(parent, Qt::Window), m_directory(directory), m_browser(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("frmAjuda"));
    setWindowTitle(QStringLiteral("Ajuda"));
    resize(640, 560);
    m_browser->setObjectName(QStringLiteral("txbAjuda"));
    m_browser->setOpenExternalLinks(true);
    setCentralWidget(m_browser);
    connect(m_browser, &QTextBrowser::sourceChanged, this,
            [this] { setWindowTitle(QStringLiteral("Ajuda — ") + m_browser->documentTitle()); });
}

QString THelpWindow::pagePath(const QString& directory, int context)
{
    return QDir(directory).filePath(QString::number(context) + QStringLiteral(".html"));
}

bool THelpWindow::showContext(int context)
{
    const QString path = pagePath(m_directory, context);
    if (!QFileInfo::exists(path))
        return false;
    m_browser->setSource(QUrl::fromLocalFile(path));
    show();
    raise();
    activateWindow();
    return true;
}
