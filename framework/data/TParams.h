#pragma once

#include "FisDataExport.h"
#include "TParam.h"

#include <QList>
#include <QStringList>

// An ordered list of named parameters; names compare without regard to case.
class FIS_DATA_EXPORT TParams
{
public:
    TParams() = default;
    explicit TParams(const QStringList& names);

    TParam& Add(const QString& name, TFieldType type = TFieldType::ftString);
    // The parameter of that name; a missing name is an error.
    TParam& ParamByName(const QString& name);
    const TParam& ParamByName(const QString& name) const;
    TParam* FindParam(const QString& name);
    const TParam* FindParam(const QString& name) const;

    int Count() const { return int(m_items.size()); }
    TParam& operator[](int i) { return m_items[i]; }
    const TParam& operator[](int i) const { return m_items[i]; }
    QStringList names() const;

    // Makes the list follow these names, keeping the values of names already present.
    void Rebuild(const QStringList& names);

private:
    QList<TParam> m_items;
};

// True when the list holds a parameter of that name.
FIS_DATA_EXPORT bool ExistParam(const TParams& params, const QString& name);
