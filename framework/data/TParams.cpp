#include "TParams.h"

#include "EFrameworkError.h"

TParams::TParams(const QStringList& names)
{
    Rebuild(names);
}

TParam& TParams::Add(const QString& name, TFieldType type)
{
    m_items.append(TParam(name, type));
    return m_items.last();
}

TParam* TParams::FindParam(const QString& name)
{
    for (TParam& p : m_items)
        if (p.Name().compare(name, Qt::CaseInsensitive) == 0)
            return &p;
    return nullptr;
}

const TParam* TParams::FindParam(const QString& name) const
{
    return const_cast<TParams*>(this)->FindParam(name);
}

TParam& TParams::ParamByName(const QString& name)
{
    if (TParam* p = FindParam(name))
        return *p;
    throw EFrameworkError(QStringLiteral("Parâmetro '%1' não encontrado.").arg(name));
}

const TParam& TParams::ParamByName(const QString& name) const
{
    return const_cast<TParams*>(this)->ParamByName(name);
}

QStringList TParams::names() const
{
    QStringList out;
    for (const TParam& p : m_items)
        out << p.Name();
    return out;
}

void TParams::Rebuild(const QStringList& names)
{
    QList<TParam> rebuilt;
    for (const QString& name : names) {
        const TParam* old = FindParam(name);
        rebuilt.append(old ? *old : TParam(name));
    }
    m_items = rebuilt;
}

bool ExistParam(const TParams& params, const QString& name)
{
    return params.FindParam(name) != nullptr;
}
