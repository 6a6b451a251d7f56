#include "TControlEvents.h"

namespace {

QHash<const QMetaObject*, QHash<QString, TControlEvents::Binder>>& registry()
{
    static QHash<const QMetaObject*, QHash<QString, TControlEvents::Binder>> types;
    return types;
}

} // namespace

void TControlEvents::add(const QMetaObject& type, const QHash<QString, Binder>& events)
{
    registry()[&type].insert(events);
}

TControlEvents::Binder TControlEvents::find(const QObject* control, const QString& event)
{
    for (const QMetaObject* type = control->metaObject(); type; type = type->superClass()) {
        const auto events = registry().constFind(type);
        if (events == registry().constEnd())
            continue;
        const auto binder = events->constFind(event);
        if (binder != events->constEnd())
            return *binder;
    }
    return {};
}
