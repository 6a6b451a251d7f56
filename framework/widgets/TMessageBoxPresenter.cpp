#include "TMessagePresenter.h"

#include <QApplication>
#include <QMessageBox>
#include <QTranslator>

// The message boxes are the presenter of every program with windows: the widgets layer
// sets them as the fallback when it is loaded.
namespace {

// The message box's own details button, in the clerk's language.
class DetailsButtonTexts : public QTranslator
{
public:
    QString translate(const char* context, const char* sourceText, const char*, int) const override
    {
        if (qstrcmp(context, "QMessageBox") != 0)
            return {};
        if (qstrcmp(sourceText, "Show Details...") == 0)
            return QStringLiteral("Mostrar detalhes");
        if (qstrcmp(sourceText, "Hide Details...") == 0)
            return QStringLiteral("Ocultar detalhes");
        return {};
    }
    bool isEmpty() const override { return false; }
};

class MessageBoxPresenter : public TMessagePresenter
{
public:
    void showError(const QString& text) override { showDetailedError(text, {}); }
    void showDetailedError(const QString& text, const QString& detail) override
    {
        static DetailsButtonTexts* texts = [] {
            auto* t = new DetailsButtonTexts;
            t->setParent(qApp);
            QCoreApplication::installTranslator(t);
            return t;
        }();
        Q_UNUSED(texts);
        QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), text,
                        QMessageBox::Ok, QApplication::activeWindow());
        if (!detail.isEmpty())
            box.setDetailedText(detail);
        box.exec();
    }
    void showInformation(const QString& text) override
    {
        QMessageBox::information(QApplication::activeWindow(),
                                 QApplication::applicationDisplayName(), text);
    }
};

MessageBoxPresenter messageBoxes;

struct Fallback
{
    Fallback() { TMessagePresenter::setFallback(&messageBoxes); }
    ~Fallback() { TMessagePresenter::setFallback(nullptr); }
} fallback;

} // namespace
