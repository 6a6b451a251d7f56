#include "TEventBinder_p.h"

#include "EFrameworkError.h"
#include "TBtnPesquisa.h"
#include "TControlEvents.h"
#include "TDataSource.h"

#include <QAbstractButton>
#include <QKeySequence>
#include <QWidget>

namespace {

[[noreturn]] void refuse(const QObject* target, const QString& what)
{
    throw EFrameworkError(QStringLiteral("Definição do formulário inválida: %1 (%2).")
                              .arg(what, target->objectName()));
}

void bindEvent(const TEventBinder::Handlers& handlers, QObject* target, const QString& event,
               const QString& name)
{
    const TControlEvents::Binder binder = TControlEvents::find(target, event);
    if (!binder)
        refuse(target, QStringLiteral("evento %1 desconhecido").arg(event));
    const THandler* h = handlers(name);
    if (!h)
        refuse(target, QStringLiteral("o método '%1' do evento %2 não existe").arg(name, event));
    if (!binder(target, *h))
        refuse(target, QStringLiteral("o método '%1' não serve ao evento %2").arg(name, event));
}

QObject* component(QObject* form, const QString& name)
{
    if (QObject* found = form->findChild<QObject*>(name))
        return found;
    refuse(form, QStringLiteral("o componente '%1' não existe").arg(name));
}

void resolveReference(QObject* form, QObject* target, const QString& property, const QString& name)
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

// The control a form focuses first; the form takes it through its meta-object.
void setActiveControl(QObject* form, const QString& name)
{
    auto* control = qobject_cast<QWidget*>(component(form, name));
    if (!control)
        refuse(form, QStringLiteral("'%1' não é um controle").arg(name));
    if (!QMetaObject::invokeMethod(form, "setActiveControl", Q_ARG(QWidget*, control)))
        refuse(form, QStringLiteral("a propriedade ActiveControl não se aplica"));
}

// "On<Event>", or an event the control registers under another name.
bool isEventName(const QObject* target, const QString& name)
{
    return (name.startsWith(u"On") && name.size() > 2 && name.at(2).isUpper()) ||
           TControlEvents::find(target, name);
}

void bindObject(QObject* form, const TEventBinder::Handlers& handlers, QObject* target)
{
    const auto names = target->dynamicPropertyNames();
    for (const QByteArray& raw : names) {
        const QString property = QString::fromLatin1(raw);
        const QVariant value = target->property(raw.constData());
        const qsizetype dot = property.indexOf(u'.');
        if (target == form && dot > 0) {
            QObject* other = component(form, property.left(dot));
            const QString member = property.mid(dot + 1);
            if (isEventName(other, member))
                bindEvent(handlers, other, member, value.toString());
            else if (!other->setProperty(member.toLatin1().constData(), value))
                refuse(other, QStringLiteral("a propriedade %1 não existe").arg(member));
        } else if (target == form && property == u"ActiveControl") {
            setActiveControl(form, value.toString());
        } else if (isEventName(target, property)) {
            bindEvent(handlers, target, property, value.toString());
        } else if (property == u"Associate" || property == u"DataSource") {
            resolveReference(form, target, property, value.toString());
        } else if (property == u"ShortCut") {
            setShortCut(target, value.toString());
        }
    }
}

} // namespace

void TEventBinder::bind(QObject* form, const Handlers& handlers)
{
    bindObject(form, handlers, form);
    const auto children = form->findChildren<QObject*>();
    for (QObject* child : children)
        bindObject(form, handlers, child);
}
