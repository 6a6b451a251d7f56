#pragma once

#include "TMessagePresenter.h"

// Shows messages as the presenter it replaces does, and writes errors to stderr as
// well: a box alone leaves a headless run without a word. Counts the errors.
class TConsolePresenter : public TMessagePresenter
{
public:
    // Installs itself over the current presenter until destroyed.
    TConsolePresenter();
    ~TConsolePresenter() override;

    void showError(const QString& text) override;
    void showDetailedError(const QString& text, const QString& detail) override;
    void showInformation(const QString& text) override;

    int errorCount() const { return m_errors; }

private:
    TMessagePresenter& m_shown;
    int m_errors = 0;
};
