#pragma once

#include "TReportDefinition.h"

#include <QString>
#include <QUndoCommand>
#include <functional>

// One edit of the report being designed: the definition before and after it. Edits of
// the same kind on the same item in a row (typing a title) merge into one undo step.
class TReportDesignCommand : public QUndoCommand
{
public:
    using Apply = std::function<void(const TReportDefinition&)>;

    TReportDesignCommand(const QString& text, const QString& mergeKey,
                         const TReportDefinition& before, const TReportDefinition& after,
                         Apply apply);

    void undo() override;
    void redo() override;
    int id() const override;
    bool mergeWith(const QUndoCommand* other) override;

private:
    QString m_mergeKey;
    TReportDefinition m_before;
    TReportDefinition m_after;
    Apply m_apply;
};
