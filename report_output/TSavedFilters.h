#pragma once

#include "TReportParamBinder.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The filters a user saved by name for one report code, and the filter of the last print,
// preview or export, in one JSON file per code in the user's folder beside the user
// reports (FIS_USER_FILTERS names another folder). The screen and fisreport both read
// it, so a saved monthly filter can run from a scheduler. Failures are EFrameworkError
// in Portuguese.
class TSavedFilters
{
public:
    // A relative period is worked out from the day the filter is applied.
    enum class Period
    {
        Fixed,
        PreviousMonth,
        CurrentMonth,
        PreviousYear,
        CurrentYear
    };

    struct Entry
    {
        QString name;
        QString reportName;
        TReportParamBinder::Filter filter; // the direction as the screen shows it
        Period period = Period::Fixed;
    };

    explicit TSavedFilters(const QString& reportCode);

    static QString directory();
    QString filePath() const;

    // In alphabetical order.
    QStringList names() const;
    std::optional<Entry> find(const QString& name) const;
    // Replaces a filter of the same name.
    void save(const Entry& entry);
    // Refuses an empty name and one already taken.
    void rename(const QString& name, const QString& newName);
    void remove(const QString& name);

    void saveLast(const Entry& entry);
    std::optional<Entry> last() const;

    // The first and last day of the period around today; invalid dates for Fixed.
    static std::pair<QDate, QDate> dates(Period period, const QDate& today);
    // "mês anterior", ...; "datas fixas" for Fixed.
    static QString periodName(Period period);
    static QList<Period> periods();
    // The entry with a relative period's dates filled in for today.
    static Entry resolved(Entry entry, const QDate& today = QDate::currentDate());

private:
    struct Store
    {
        QList<Entry> entries;
        std::optional<Entry> last;
    };
    Store read() const;
    void write(const Store& store) const;

    QString m_reportCode;
};
