// The events of Qt's own controls, which cannot register themselves.
#include "TControlEvents.h"

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>

namespace {

const TControlEvents::Registration
    radio(QRadioButton::staticMetaObject,
          {// A radio button's click is its becoming selected.
           {QStringLiteral("OnClick"),
            TControlEvents::signal(&QRadioButton::toggled, [](bool on) { return on; })}});

const TControlEvents::Registration
    box(QCheckBox::staticMetaObject,
        {// Every change of the checked state, the program's too.
         {QStringLiteral("OnClick"), TControlEvents::signal(&QCheckBox::toggled)}});

const TControlEvents::Registration
    button(QAbstractButton::staticMetaObject,
           {{QStringLiteral("OnClick"), TControlEvents::signal(&QAbstractButton::clicked)}});

const TControlEvents::Registration
    combo(QComboBox::staticMetaObject,
          {// Only the user's choice is a change; selecting an item from code is not.
           {QStringLiteral("OnChange"), TControlEvents::signal(&QComboBox::activated)}});

} // namespace
