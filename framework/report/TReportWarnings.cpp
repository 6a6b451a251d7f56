#include "TReportWarnings.h"

#include "FisLog.h"

#include <mutex>

namespace {

// Warnings are rare; one lock serves every collector.
std::mutex lock;
TReportWarnings* current = nullptr;

} // namespace

TReportWarnings::TReportWarnings()
{
    const std::lock_guard hold(lock);
    m_outer = current;
    current = this;
}

TReportWarnings::~TReportWarnings()
{
    const std::lock_guard hold(lock);
    // Ended out of order, the outer one collects on.
    for (TReportWarnings** at = &current; *at; at = &(*at)->m_outer)
        if (*at == this) {
            *at = m_outer;
            break;
        }
}

QStringList TReportWarnings::texts() const
{
    const std::lock_guard hold(lock);
    return m_texts;
}

QString TReportWarnings::summary() const
{
    const QStringList told = texts();
    if (told.isEmpty())
        return {};
    return QStringLiteral("O relatório foi gerado com avisos:\n\n") +
           told.join(QStringLiteral("\n\n"));
}

void TReportWarnings::tell(const QString& text)
{
    qCWarning(fisReport).noquote() << text;
    const std::lock_guard hold(lock);
    if (current && !current->m_texts.contains(text))
        current->m_texts << text;
}
