#pragma once

#include <QMainWindow>

class QTextBrowser;

// The application's help window: one page per help context, read from the help
// directory as <context>.html, links followed inside the window.
class THelpWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit THelpWindow(const QString& directory, QWidget* parent = nullptr);

    static QString pagePath(const QString& directory, int context);
    // Shows the page and raises the window; false when the page does not exist.
    bool showContext(int context);

    QTextBrowser* browser() const { return m_browser; }

private:
    QString m_directory;
    QTextBrowser* m_browser;
};
