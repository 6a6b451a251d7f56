#include "TForm.h"

#include "EFrameworkError.h"
#include "TApplication.h"
#include "TControlEvents.h"
#include "TDrawnIcons.h"
#include "TEventBinder_p.h"
#include "TEventGuard.h"
#include "TMessagePresenter.h"
#include "TScreen.h"
#include "TUserAction.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QShortcut>

namespace {

const TControlEvents::Registration
    events(TForm::staticMetaObject,
           {{QStringLiteral("OnCreate"), TControlEvents::member(&TForm::OnCreate)},
            {QStringLiteral("OnActivate"), TControlEvents::member(&TForm::OnActivate)},
            {QStringLiteral("OnClose"), TControlEvents::member(&TForm::OnClose)}});

} // namespace

TForm::TForm(QWidget* parent) : QWidget(parent)
{
    TUserAction::install();
    // F1 anywhere on the form opens the page of its HelpContext (set by the definition).
    auto* help = new QShortcut(QKeySequence::HelpContents, this, nullptr, nullptr,
                               Qt::WidgetWithChildrenShortcut);
    connect(help, &QShortcut::activated, this, [this] {
        TEventGuard::run([this] {
            const int context = property("HelpContext").toInt();
            if (context > 0 && !TApplication::instance()->showHelp(context))
                TMessagePresenter::current().showInformation(
                    QStringLiteral("Não há ajuda instalada para esta tela."));
        });
    });
}

TForm::~TForm()
{
    if (m_modalLoop)
        m_modalLoop->exit(mrCancel);
}

void TForm::setBorderStyle(int style)
{
    m_borderStyle = style;
    applyFlags();
}

void TForm::setBorderIcons(int icons)
{
    m_borderIcons = icons;
    applyFlags();
}

void TForm::setFormStyle(int style)
{
    if (style == m_formStyle)
        return;
    if (m_formStyle == fsMDIChild)
        return; // an MDI child stays one until it is destroyed
    if (style != fsMDIChild) {
        m_formStyle = style;
        return;
    }
    QMdiArea* area = TApplication::instance()->mdiArea();
    if (!area)
        throw EFrameworkError(QStringLiteral(
            "Não é possível abrir o formulário como janela filha: não há janela principal MDI."));
    m_formStyle = fsMDIChild;
    setWindowModality(Qt::NonModal);
    m_subWindow = area->addSubWindow(this);
    // The form decides when it goes (Release); closing only hides the frame.
    m_subWindow->setAttribute(Qt::WA_DeleteOnClose, false);
    // Without an icon the frame loads the style's image afresh for every form, each
    // painted into QPixmapCache under keys of its own.
    m_subWindow->setWindowIcon(windowIcon().isNull() ? TDrawnIcons::window() : windowIcon());
    connect(area, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* window) {
        if (window && window == m_subWindow)
            activated();
    });
    applyFlags();
}

void TForm::applyFlags()
{
    const bool fixed = m_borderStyle == bsSingle || m_borderStyle == bsDialog;
    if (fixed && !size().isEmpty()) {
        setFixedSize(size());
    } else if (!fixed) {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }

    Qt::WindowFlags flags = Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (m_borderIcons & (1 << biSystemMenu))
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if ((m_borderIcons & (1 << biMinimize)) && m_borderStyle != bsDialog)
        flags |= Qt::WindowMinimizeButtonHint;
    if (m_borderIcons & (1 << biMaximize))
        flags |= Qt::WindowMaximizeButtonHint;
    if (m_borderIcons & (1 << biHelp))
        flags |= Qt::WindowContextHelpButtonHint;

    if (m_subWindow) {
        m_subWindow->setWindowFlags(Qt::SubWindow | flags);
        if (fixed)
            m_subWindow->setFixedSize(m_subWindow->sizeHint());
        return;
    }
    const bool visible = isVisible();
    QWidget* owner = TApplication::instance()->MainForm();
    if (m_borderStyle == bsDialog) {
        // A dialog sits over the main window and is centred on it.
        if (owner && parentWidget() != owner)
            setParent(owner);
        setWindowFlags(Qt::Dialog | flags);
    } else {
        setWindowFlags(Qt::Window | flags);
    }
    if (visible)
        QWidget::show();
}

int TForm::WindowState() const
{
    const Qt::WindowStates state = m_subWindow ? m_subWindow->windowState() : windowState();
    if (state & Qt::WindowMinimized)
        return wsMinimized;
    if (state & Qt::WindowMaximized)
        return wsMaximized;
    return wsNormal;
}

void TForm::setWindowState(int state)
{
    QWidget* frame = m_subWindow ? static_cast<QWidget*>(m_subWindow) : this;
    Qt::WindowStates qtState = Qt::WindowNoState;
    if (state == wsMinimized)
        qtState = Qt::WindowMinimized;
    else if (state == wsMaximized)
        qtState = Qt::WindowMaximized;
    if (frame->isVisible()) {
        if (state == wsNormal)
            frame->showNormal();
        else
            frame->setWindowState(qtState);
    } else {
        frame->setWindowState(qtState);
    }
}

void TForm::Show()
{
    if (m_subWindow) {
        m_subWindow->show();
        QWidget::show();
        m_subWindow->raise();
        if (QMdiArea* area = m_subWindow->mdiArea())
            area->setActiveSubWindow(m_subWindow);
        return;
    }
    QWidget::show();
    raise();
    activateWindow();
}

int TForm::ShowModal()
{
    if (m_subWindow) {
        // An MDI child cannot go modal; bring it to the front instead of failing.
        Show();
        return mrNone;
    }
    if (m_modalLoop)
        return mrNone;
    // The modal loop shows the normal cursor; the caller's cursor comes back after it.
    const int savedCursor = TScreen::Cursor();
    TScreen::setCursor(TScreen::crDefault);
    setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    m_modalLoop = &loop;
    QPointer<TForm> self(this);
    // A dialog opens over the middle of its owner.
    if (QWidget* owner = parentWidget())
        move(owner->mapToGlobal(owner->rect().center()) - rect().center());
    Show();
    const int result = loop.exec(QEventLoop::DialogExec);
    if (self) {
        m_modalLoop = nullptr;
        setWindowModality(Qt::NonModal);
        if (m_releasePending)
            deleteLater();
    }
    TScreen::setCursor(savedCursor);
    return result;
}

void TForm::Release()
{
    if (m_modalLoop) {
        m_releasePending = true;
        return;
    }
    if (m_subWindow)
        m_subWindow->deleteLater();
    else
        deleteLater();
}

void TForm::Repaint()
{
    repaint();
}

const THandler* TForm::handler(const QString& name) const
{
    const auto it = m_handlers.constFind(name);
    return it == m_handlers.constEnd() ? nullptr : &it.value();
}

void TForm::registerHandler(const QString& name, THandler handler)
{
    m_handlers.insert(name, std::move(handler));
}

void TForm::Loaded()
{
    TEventBinder::bind(this, [this](const QString& name) { return handler(name); });
    if (OnCreate)
        OnCreate(this);
}

void TForm::closeEvent(QCloseEvent* event)
{
    TCloseAction action = TCloseAction::caHide;
    if (OnClose && !TEventGuard::run([&] { OnClose(this, action); }))
        action = TCloseAction::caNone;
    switch (action) {
    case TCloseAction::caNone:
        event->ignore();
        return;
    case TCloseAction::caMinimize:
        event->ignore();
        setWindowState(wsMinimized);
        return;
    case TCloseAction::caFree:
        Release();
        break;
    case TCloseAction::caHide:
        break;
    }
    event->accept();
    if (m_subWindow)
        m_subWindow->hide();
    if (m_modalLoop)
        m_modalLoop->exit(mrCancel);
}

bool TForm::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && isWindow())
        activated();
    return QWidget::event(event);
}

void TForm::activated()
{
    if (!m_wasActivated) {
        m_wasActivated = true;
        if (m_activeControl && m_activeControl->isEnabled() && m_activeControl->isVisible())
            m_activeControl->setFocus(Qt::ActiveWindowFocusReason);
    }
    if (OnActivate)
        TEventGuard::run([this] { OnActivate(this); });
}
