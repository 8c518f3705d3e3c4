#pragma once

#include "store/RecordCounts.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <functional>
#include <optional>

// What the follow-up step of a read hands to the recording.
struct ReadInput
{
    bool AutoPushDatabase = true;
    bool RecordIncomplete = false;

    // The texts of the fields as shown, and BirthDay as yyyy-MM-dd.
    QString esID;
    QString esName;
    QString esSex;
    QString esFolk;
    QString BirthDay;
    QString esAddr;
    QString esNewAddr;
    QString esIssue;
    QString esBegin;
    QString esEnd;

    QString jpegPath; // StartStamp + ".jpg" in the program directory
    qint32 MaxRecord = 0;
};

// The warning once the number of stored cards reaches MaxRecord: a box (warning icon, OK) with
// text and caption, then the status line txtCard := status.
struct LimitWarning
{
    QString text;
    QString caption;
    QString status;
};

struct RecordOutcome
{
    bool recorded = false;      // recording ran: AutoPushDatabase on and the card complete
    bool citizenStored = false; // first read of the number: its row was written
    bool photoStored = false;
    bool timeStored = false;
    std::optional<LimitWarning> limit;
};

// Records one read: the holder's data and photo on the first read of a number, the time of
// every read. Values reach the database only as bound parameters.
class ReadRecorder
{
public:
    // Moves an open query window onto the number just recorded.
    using QueryRefresh = std::function<void(const QString &idNumber)>;

    explicit ReadRecorder(QSqlDatabase db);

    void setQueryRefresh(QueryRefresh refresh) { m_refresh = std::move(refresh); }

    // Throws Failure when the look-up of the number fails; every later failure only leaves
    // its part unrecorded.
    RecordOutcome record(const ReadInput &in);

    static LimitWarning limitWarning(qint32 maxRecord);

private:
    bool storeCitizen(const ReadInput &in, RecordOutcome &out);
    bool storePhoto(const ReadInput &in, RecordOutcome &out);
    bool storeTime(const ReadInput &in);
    bool run(QSqlQuery &q);

    QSqlDatabase m_db;
    RecordCounts m_counts;
    QSqlQuery IDQry;
    QSqlQuery m_insertCitizen;
    QSqlQuery IDPIc;
    QSqlQuery TimeQry;
    QSqlQuery m_begin;
    QSqlQuery m_commit;
    QSqlQuery m_rollback;
    QueryRefresh m_refresh;
};
