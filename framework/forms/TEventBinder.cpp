#include "TEventBinder.h"

#include "EFrameworkError.h"
#include "TBtnPesquisa.h"
#include "TDataSource.h"
#include "TDateEditPlus.h"
#include "TEventGuard.h"
#include "TForm.h"
#include "TMaskEdit.h"
#include "TReportDesignerDialog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QKeySequence>
#include <QRadioButton>

namespace {

[[noreturn]] void refuse(const QObject* target, const QString& what)
{
    throw EFrameworkError(QStringLiteral("Definição do formulário inválida: %1 (%2).")
                              .arg(what, target->objectName()));
}

template <typename F>
F handlerOf(const TForm* form, const QObject* target, const QString& event, const QString& name)
{
    const THandler* h = form->handler(name);
    if (!h)
        refuse(target, QStringLiteral("o método '%1' do evento %2 não existe").arg(name, event));
    if (const F* f = std::get_if<F>(h))
        return *f;
    refuse(target, QStringLiteral("o método '%1' não serve ao evento %2").arg(name, event));
}

// Qt's own widgets raise their events through signals; the handler runs guarded
// inside the slot so that nothing is thrown back into Qt.
void connectGuarded(const TForm* form, QObject* target, const QString& event, const QString& name)
{
    const TNotifyEvent h = handlerOf<TNotifyEvent>(form, target, event, name);
    auto guarded = [h, target] { TEventGuard::run([&] { h(target); }); };
    if (auto* radio = qobject_cast<QRadioButton*>(target); radio && event == u"OnClick") {
        QObject::connect(radio, &QRadioButton::toggled, target, [guarded](bool on) {
            if (on)
                guarded();
        });
    } else if (auto* box = qobject_cast<QCheckBox*>(target); box && event == u"OnClick") {
        QObject::connect(box, &QCheckBox::toggled, target, guarded);
    } else if (auto* button = qobject_cast<QAbstractButton*>(target);
               button && event == u"OnClick") {
        QObject::connect(button, &QAbstractButton::clicked, target, guarded);
    } else if (auto* combo = qobject_cast<QComboBox*>(target); combo && event == u"OnChange") {
        // Only the user's choice is a change; selecting an item from code is not.
        QObject::connect(combo, &QComboBox::activated, target, guarded);
    } else {
        refuse(target, QStringLiteral("evento %1 desconhecido").arg(event));
    }
}

void bindEvent(TForm* form, QObject* target, const QString& event, const QString& name)
{
    if (auto* edit = qobject_cast<TMaskEdit*>(target)) {
        if (event == u"OnChange")
            edit->OnChange = handlerOf<TNotifyEvent>(form, target, event, name);
        else if (event == u"OnExit")
            edit->OnExit = handlerOf<TNotifyEvent>(form, target, event, name);
        else
            refuse(target, QStringLiteral("evento %1 desconhecido").arg(event));
    } else if (auto* date = qobject_cast<TDateEditPlus*>(target)) {
        if (event == u"OnChange")
            date->OnChange = handlerOf<TNotifyEvent>(form, target, event, name);
        else if (event == u"OnExit")
            date->OnExit = handlerOf<TNotifyEvent>(form, target, event, name);
        else
            refuse(target, QStringLiteral("evento %1 desconhecido").arg(event));
    } else if (auto* search = qobject_cast<TBtnPesquisa*>(target)) {
        if (event == u"OnBeforePesq")
            search->OnBeforePesq = handlerOf<TBeforePesqEvent>(form, target, event, name);
        else if (event == u"OnAfterPesq")
            search->OnAfterPesq = handlerOf<TNotifyEvent>(form, target, event, name);
        else if (event == u"OnClick")
            search->OnClick = handlerOf<TNotifyEvent>(form, target, event, name);
        else
            refuse(target, QStringLiteral("evento %1 desconhecido").arg(event));
    } else if (auto* engine = qobject_cast<TReportDesignerDialog*>(target)) {
        if (event != u"BeforeGetQueryParams")
            refuse(target, QStringLiteral("evento %1 desconhecido").arg(event));
        engine->BeforeGetQueryParams =
            handlerOf<TBeforeGetQueryParamsEvent>(form, target, event, name);
    } else if (target == form) {
        if (event == u"OnCreate")
            form->OnCreate = handlerOf<TNotifyEvent>(form, target, event, name);
        else if (event == u"OnActivate")
            form->OnActivate = handlerOf<TNotifyEvent>(form, target, event, name);
        else if (event == u"OnClose")
            form->OnClose = handlerOf<TCloseEvent>(form, target, event, name);
        else
            refuse(target, QStringLiteral("evento %1 desconhecido").arg(event));
    } else {
        connectGuarded(form, target, event, name);
    }
}

QObject* component(TForm* form, const QString& name)
{
    if (QObject* found = form->findChild<QObject*>(name))
        return found;
    refuse(form, QStringLiteral("o componente '%1' não existe").arg(name));
}

void resolveReference(TForm* form, QObject* target, const QString& property, const QString& name)
{
    auto* search = qobject_cast<TBtnPesquisa*>(target);
    if (!search)
        refuse(target, QStringLiteral("a propriedade %1 não se aplica").arg(property));
    QObject* referred = component(form, name);
    if (property == u"Associate") {
        auto* widget = qobject_cast<QWidget*>(referred);
        if (!widget)
            refuse(target, QStringLiteral("'%1' não é um controle").arg(name));
        search->setAssociate(widget);
    } else {
        auto* source = qobject_cast<TDataSource*>(referred);
        if (!source)
            refuse(target, QStringLiteral("'%1' não é uma fonte de dados").arg(name));
        search->setDataSource(source);
    }
}

// Set after the definition's texts: a button's text (its mnemonic) resets its shortcut.
void setShortCut(QObject* target, const QString& text)
{
    auto* button = qobject_cast<QAbstractButton*>(target);
    if (!button)
        refuse(target, QStringLiteral("a propriedade ShortCut não se aplica"));
    const QKeySequence key = QKeySequence::fromString(text, QKeySequence::PortableText);
    if (key.isEmpty() || key[0].key() == Qt::Key_unknown)
        refuse(target, QStringLiteral("tecla '%1' inválida").arg(text));
    button->setShortcut(key);
}

bool isEventName(const QString& name)
{
    return (name.startsWith(u"On") && name.size() > 2 && name.at(2).isUpper()) ||
           name == u"BeforeGetQueryParams";
}

void bindObject(TForm* form, QObject* target)
{
    const auto names = target->dynamicPropertyNames();
    for (const QByteArray& raw : names) {
        const QString property = QString::fromLatin1(raw);
        const QVariant value = target->property(raw.constData());
        const qsizetype dot = property.indexOf(u'.');
        if (target == form && dot > 0) {
            QObject* other = component(form, property.left(dot));
            const QString member = property.mid(dot + 1);
            if (isEventName(member))
                bindEvent(form, other, member, value.toString());
            else if (!other->setProperty(member.toLatin1().constData(), value))
                refuse(other, QStringLiteral("a propriedade %1 não existe").arg(member));
        } else if (target == form && property == u"ActiveControl") {
            auto* control = qobject_cast<QWidget*>(component(form, value.toString()));
            if (!control)
                refuse(form, QStringLiteral("'%1' não é um controle").arg(value.toString()));
            form->setActiveControl(control);
        } else if (isEventName(property)) {
            bindEvent(form, target, property, value.toString());
        } else if (property == u"Associate" || property == u"DataSource") {
            resolveReference(form, target, property, value.toString());
        } else if (property == u"ShortCut") {
            setShortCut(target, value.toString());
        }
    }
}

} // namespace

void TEventBinder::bind(TForm* form)
{
    bindObject(form, form);
    const auto children = form->findChildren<QObject*>();
    for (QObject* child : children)
        bindObject(form, child);
}
