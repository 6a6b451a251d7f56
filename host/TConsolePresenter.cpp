#include "TConsolePresenter.h"

#include <cstdio>

TConsolePresenter::TConsolePresenter() : m_shown(TMessagePresenter::current())
{
    TMessagePresenter::install(this);
}

TConsolePresenter::~TConsolePresenter()
{
    TMessagePresenter::install(&m_shown);
}

void TConsolePresenter::showError(const QString& text)
{
    ++m_errors;
    std::fprintf(stderr, "fishost: %s\n", qPrintable(text));
    m_shown.showError(text);
}

void TConsolePresenter::showDetailedError(const QString& text, const QString& detail)
{
    ++m_errors;
    std::fprintf(stderr, "fishost: %s\n  %s\n", qPrintable(text), qPrintable(detail));
    m_shown.showDetailedError(text, detail);
}

void TConsolePresenter::showInformation(const QString& text)
{
    m_shown.showInformation(text);
}
