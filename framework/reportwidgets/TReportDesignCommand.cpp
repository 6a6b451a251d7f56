#include "TReportDesignCommand_p.h"

TReportDesignCommand::TReportDesignCommand(const QString& text, const QString& mergeKey,
                                           const TReportDefinition& before,
                                           const TReportDefinition& after, Apply apply)
    : QUndoCommand(text), m_mergeKey(mergeKey), m_before(before), m_after(after),
      m_apply(std::move(apply))
{
}

void TReportDesignCommand::undo()
{
    m_apply(m_before);
}

void TReportDesignCommand::redo()
{
    m_apply(m_after);
}

int TReportDesignCommand::id() const
{
    // Only commands with a key take part in merging.
    return m_mergeKey.isEmpty() ? -1 : 1;
}

bool TReportDesignCommand::mergeWith(const QUndoCommand* other)
{
    const auto* next = static_cast<const TReportDesignCommand*>(other);
    if (next->m_mergeKey != m_mergeKey)
        return false;
    m_after = next->m_after;
    return true;
}
