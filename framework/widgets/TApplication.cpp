#include "TApplication.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <QMdiArea>

TApplication* TApplication::instance()
{
    static TApplication* app = nullptr;
    if (!app) {
        app = new TApplication;
        // Owned forms go before the Qt application does.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, app,
                         &TApplication::destroyOwnedForms);
    }
    return app;
}

TApplication::TApplication() = default;

TApplication::~TApplication()
{
    destroyOwnedForms();
}

QMainWindow* TApplication::MainForm() const
{
    return m_mainForm;
}

void TApplication::setMainForm(QMainWindow* mainForm)
{
    m_mainForm = mainForm;
}

QMdiArea* TApplication::mdiArea() const
{
    QWidget* central = m_mainForm ? m_mainForm->centralWidget() : nullptr;
    if (auto* area = qobject_cast<QMdiArea*>(central))
        return area;
    // A frame may keep a banner above its MDI area, both inside the central widget.
    return central ? central->findChild<QMdiArea*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

void TApplication::own(QWidget* form)
{
    m_forms.removeAll(nullptr);
    m_forms.append(form);
}

void TApplication::destroyOwnedForms()
{
    const auto forms = m_forms;
    m_forms.clear();
    for (const QPointer<QWidget>& form : forms)
        delete form.data();
}
