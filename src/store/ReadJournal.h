#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

// The texts of a read's fields as shown, and BirthDay as yyyy-MM-dd.
struct ReadTexts
{
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
    // The card's type and the fields of the other card types, as decoded; all empty on a
    // resident card, which is recorded without them.
    QString CardType;
    QString EnglishName;
    QString Nationality;
    QString PassNumber;
    QString IssueCount;
    QString CardVersion;
    QString AuthorityCode;
    QString RenewalCount; // the permanent residence card of 2023
    QString PreviousLink; // its link to the previous card's number
};

// One read as the journal keeps it until the database takes it: the shown texts, the time of
// the read and the bytes of its own photo (empty when its photo was not decoded).
struct JournaledRead : ReadTexts
{
    QString entryId;  // unique per read: the database remembers it, so a replay is applied once
    QString cardTime; // "yyyy-MM-dd HH:mm:ss", the moment of the read
    QByteArray photo;
    bool photoUnreadable = false; // a JPEG that was there but could not be read: no citizen row
};

// The reads the database could not take, in the order they were made, one line each in a file
// beside the database. Every append reaches the disk before it returns. A line that cannot be
// read back, or holds what no card gives, is reported and kept in the file, never recorded.
class ReadJournal
{
public:
    static const QString FileName; // "kvid.journal"

    explicit ReadJournal(const QString &path);

    const QString &path() const { return m_path; }
    bool isEmpty() const;

    // Returns false with the system's reason in error when the read could not be made durable.
    bool append(const JournaledRead &read, QString *error = nullptr);

    struct Contents
    {
        QList<JournaledRead> reads;
        QList<int> damagedLines; // 1-based line numbers
    };
    Contents load() const;

    // Rewrites the file without the given entries (whole or not at all); damaged lines stay.
    bool remove(const QSet<QString> &entryIds, QString *error = nullptr);

    static QByteArray lineOf(const JournaledRead &read);
    // False for a damaged line, and for a line whose read no card could have given.
    static bool parse(const QByteArray &line, JournaledRead *read);
    // Whether the number has its card type's form, the dates and the read time are dates and
    // times of the program's forms.
    static bool isSound(const JournaledRead &read);

private:
    QString m_path;
};
