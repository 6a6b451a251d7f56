#pragma once

#include "TMessagePresenter.h"

#include <QStringList>

// Records the messages instead of showing boxes; installs itself while alive.
class RecordingPresenter : public TMessagePresenter
{
public:
    RecordingPresenter();
    ~RecordingPresenter() override;

    void showError(const QString& text) override { errors << text; }
    void showDetailedError(const QString& text, const QString& detail) override
    {
        errors << text;
        details << detail;
    }
    void showInformation(const QString& text) override { informations << text; }
    void clear();
    QString lastError() const { return errors.isEmpty() ? QString() : errors.last(); }

    QStringList errors;
    QStringList informations;
    // The technical texts behind the detailed errors, in their order.
    QStringList details;
};
