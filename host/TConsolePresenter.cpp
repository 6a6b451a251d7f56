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

void TConsolePresenter::showInformation(const QString& text)
{
    m_shown.showInformation(text);
}
