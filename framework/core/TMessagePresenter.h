#pragma once

#include "FisCoreExport.h"

#include <QString>

class QWidget;

// Where error and information texts go: message boxes in the application,
// a recorder in tests.
class FIS_CORE_EXPORT TMessagePresenter
{
public:
    virtual ~TMessagePresenter();
    virtual void showError(const QString& text) = 0;
    // An error with the technical text behind it (the driver's), shown on demand.
    virtual void showDetailedError(const QString& text, const QString& detail);
    virtual void showInformation(const QString& text) = 0;

    static TMessagePresenter& current();
    // Installs a presenter (not owned); nullptr restores the message boxes.
    static void install(TMessagePresenter* presenter);
    // What current() gives when none is installed (not owned): the message boxes, which
    // the widgets layer sets when it is loaded; standard error in a program without it.
    static void setFallback(TMessagePresenter* presenter);
};
