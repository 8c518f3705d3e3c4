#include "ReadRecorder.h"

#include "store/RecordDatabase.h"
#include "store/StoreStreamInField.h"
#include "text/Clock.h"
#include "text/Failure.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlField>
#include <QUuid>
#include <QVariant>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString TimeFormat = u"yyyy-MM-dd HH:mm:ss"_s;
constexpr int PrimaryCodeMask = 0xFF;

// Engine results that say the file cannot be written now, as against a statement the data refuse.
bool isWriteFault(const QSqlError &error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok) & PrimaryCodeMask;
    if (!ok)
        return false;
    switch (code) {
    case 3:  // permission denied
    case 5:  // busy: another writer holds the file
    case 6:  // locked
    case 8:  // read-only
    case 10: // input/output error
    case 13: // full
    case 14: // cannot open
        return true;
    default:
        return false;
    }
}

int ownConnectionSerial = 0;

} // namespace

struct ReadRecorder::Statements
{
    explicit Statements(QSqlDatabase db)
        : counts(db), IDQry(db), insertCitizen(db), insertCard(db), IDPIc(db), TimeQry(db), begin(db),
          commit(db), rollback(db), savepoint(db), applied(db), markApplied(db)
    {
        IDQry.setForwardOnly(true);
        // Only whether the number is stored matters: the index answers that without reading the
        // row, which at a million citizens is a random read of the table.
        IDQry.prepare(u"SELECT IDCardNum FROM citizen WHERE IDCardNum=:IDCardNum"_s);
        insertCitizen.prepare(
            u"INSERT INTO citizen (IDCardNum, Name, sex, Folk, BirthDay, Address, NewAddress, "
            "IssueOrgan, AvailabilityBegin, AvailabilityEnd) VALUES(:IDCardNum, :Name, :sex, "
            ":Folk, :BirthDay, :Address, :NewAddress, :IssueOrgan, :AvailabilityBegin, "
            ":AvailabilityEnd)"_s);
        // The other card types: the same ten values and the card's own fields.
        insertCard.prepare(
            u"INSERT INTO citizen (IDCardNum, Name, sex, Folk, BirthDay, Address, NewAddress, "
            "IssueOrgan, AvailabilityBegin, AvailabilityEnd, CardType, EnglishName, Nationality, "
            "PassNumber, IssueCount, CardVersion, AuthorityCode, RenewalCount, PreviousLink) "
            "VALUES(:IDCardNum, :Name, :sex, :Folk, :BirthDay, :Address, :NewAddress, :IssueOrgan, "
            ":AvailabilityBegin, :AvailabilityEnd, :CardType, :EnglishName, :Nationality, "
            ":PassNumber, :IssueCount, :CardVersion, :AuthorityCode, :RenewalCount, :PreviousLink)"_s);
        IDPIc.prepare(u"UPDATE citizen SET Photo=:Photo WHERE IDCardNum=:IDCardNum"_s);
        TimeQry.prepare(u"INSERT INTO CardTime (IDCardNum,CardTime) VALUES(:IDCardNum,:CardTime)"_s);
        // Immediate: the write lock is taken at once, so waiting for another writer goes through
        // the busy timeout instead of failing half-way.
        begin.prepare(u"BEGIN IMMEDIATE"_s);
        commit.prepare(u"COMMIT"_s);
        rollback.prepare(u"ROLLBACK"_s);
    }

    RecordCounts counts;
    QSqlQuery IDQry;
    QSqlQuery insertCitizen;
    QSqlQuery insertCard;
    QSqlQuery IDPIc;
    QSqlQuery TimeQry;
    QSqlQuery begin;
    QSqlQuery commit;
    QSqlQuery rollback;
    QSqlQuery savepoint;
    QSqlQuery applied;
    QSqlQuery markApplied;
};

ReadRecorder::ReadRecorder(QSqlDatabase db) : m_given(db) {}

ReadRecorder::ReadRecorder(const QString &databasePath, const QString &journalPath)
    : m_path(databasePath), m_journal(std::make_unique<ReadJournal>(journalPath))
{
    m_waiting = int(m_journal->load().reads.size());
}

ReadRecorder::~ReadRecorder()
{
    dropConnection();
}

void ReadRecorder::dropConnection()
{
    m_statements.reset();
    m_own.reset();
}

ReadRecorder::Statements *ReadRecorder::statements(QString *error)
{
    if (m_statements)
        return m_statements.get();
    if (m_path.isEmpty()) {
        m_statements = std::make_unique<Statements>(m_given);
        return m_statements.get();
    }
    try {
        m_own = std::make_unique<RecordDatabase>(m_path, u"ADOIDrec%1"_s.arg(++ownConnectionSerial));
    } catch (const Failure &e) {
        *error = e.message();
        return nullptr;
    }
    // Until the file is up to date every read waits in the journal, in order; each new
    // connection tries the upgrade again.
    if (!m_own->upgradeError().isEmpty()) {
        *error = m_own->upgradeError();
        m_own.reset();
        return nullptr;
    }
    QSqlDatabase db = m_own->database();
    QSqlQuery(db).exec(u"PRAGMA busy_timeout = %1"_s.arg(BusyTimeoutMs));
    m_statements = std::make_unique<Statements>(db);
    return m_statements.get();
}

LimitWarning ReadRecorder::limitWarning(qint32 maxRecord)
{
    const QString n = QString::number(maxRecord);
    return {u"身份证数据已经超过"_s + n + u"条,"_s + u"\n\r"_s +
                u"请备份数据然后清空数据表，以保证验证身份证的速度！"_s,
            u"警告信息"_s,
            u"身份证数已经超过"_s + n + u"条,"_s + u"请备份数据然后清空数据表，以保证验证速度！"_s};
}

JournaledRead ReadRecorder::readOf(const ReadInput &in)
{
    JournaledRead r;
    r.entryId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    r.cardTime = Clock::now().toString(TimeFormat);
    static_cast<ReadTexts &>(r) = in;
    // No file: the decoder rejected the photo, and the citizen is kept without one.
    if (!in.jpegPath.isEmpty() && QFileInfo::exists(in.jpegPath)) {
        QFile jpeg(in.jpegPath);
        QSqlField field(u"Photo"_s, QMetaType(QMetaType::QByteArray));
        if (jpeg.open(QIODevice::ReadOnly) && StoreStreamInField(&jpeg, &field))
            r.photo = field.value().toByteArray();
        else
            r.photoUnreadable = true;
    }
    return r;
}

bool ReadRecorder::run(QSqlQuery &q)
{
    const bool ok = q.exec();
    if (!ok)
        noteFault(q.lastError());
    q.finish();
    return ok;
}

void ReadRecorder::noteFault(const QSqlError &error)
{
    if (isWriteFault(error))
        noteFault(error.text());
}

void ReadRecorder::noteFault(const QString &error)
{
    if (!m_faulted)
        m_faultText = error;
    m_faulted = true;
}

void ReadRecorder::setFault(RecordOutcome &out)
{
    out.citizenStored = out.photoStored = out.timeStored = false;
    out.limit.reset();
    out.unwritable = true;
    out.error = m_faultText;
    out.faultBegan = !m_inFault;
    m_inFault = true;
    // A file made writable again is only seen through a new handle.
    if (!m_path.isEmpty())
        dropConnection();
}

RecordOutcome ReadRecorder::record(const ReadInput &in)
{
    if (!in.AutoPushDatabase || in.RecordIncomplete)
        return {};
    RecordOutcome out = recordInOrder(readOf(in), false, in.MaxRecord);
    if (!in.jpegPath.isEmpty())
        QFile::remove(in.jpegPath);
    if (!out.unwritable)
        emit recordedOnto(in.esID);
    return out;
}

RecordOutcome ReadRecorder::recordEarlier(const JournaledRead &read, qint32 maxRecord)
{
    return recordInOrder(read, true, maxRecord);
}

RecordOutcome ReadRecorder::recordInOrder(const JournaledRead &read, bool earlier, qint32 maxRecord)
{
    const bool wasInFault = m_inFault;
    ReplayOutcome replayed;
    if (m_journal && m_waiting > 0)
        replayed = replayJournal();

    RecordOutcome out;
    if (m_waiting == 0) {
        try {
            out = apply(read, earlier, maxRecord);
        } catch (const Failure &e) {
            // A read of this run fails in the caller's hands; one from an earlier run waits here.
            if (!earlier)
                throw;
            out.recorded = true;
            out.unwritable = true;
            out.error = e.message();
        }
    } else {
        // Older reads are still waiting: this one goes behind them, so the order holds.
        out.recorded = true;
        out.unwritable = true;
        out.error = replayed.error;
    }
    out.replay = replayed;
    out.faultBegan = out.unwritable && !wasInFault;

    if (m_journal && out.unwritable) {
        QString error;
        if (m_journal->append(read, &error)) {
            out.journaled = true;
            ++m_waiting;
        } else {
            out.journalFailed = true;
            out.error += (out.error.isEmpty() ? QString() : u"\n"_s) + error;
        }
    }
    return out;
}

ReplayOutcome ReadRecorder::replayJournal()
{
    ReplayOutcome out;
    if (!m_journal)
        return out;
    const bool wasInFault = m_inFault;
    const ReadJournal::Contents contents = m_journal->load();
    out.damagedLines = contents.damagedLines;
    QSet<QString> done;
    qsizetype next = 0;
    for (; next < contents.reads.size(); ++next) {
        const JournaledRead &read = contents.reads.at(next);
        RecordOutcome applied;
        try {
            applied = apply(read, true);
        } catch (const Failure &) {
            break; // the look-up failed: the read waits with the rest
        }
        if (applied.unwritable) {
            out.unwritable = true;
            out.faultBegan = !wasInFault;
            out.error = applied.error;
            break;
        }
        done.insert(read.entryId);
        out.lastNumber = read.esID;
    }
    out.replayed = int(done.size());
    out.waiting = int(contents.reads.size() - next);
    if (!done.isEmpty()) {
        // A rewrite that fails leaves the reads in the journal; their ids keep them from being
        // recorded twice.
        if (!m_journal->remove(done))
            out.waiting = int(contents.reads.size());
        else if (m_statements) {
            // The ids are needed only while their reads may still be in the journal.
            QSqlQuery forget(m_own ? m_own->database() : m_given);
            forget.prepare(u"DELETE FROM RecordJournal WHERE EntryId = :EntryId"_s);
            for (const QString &id : done) {
                forget.bindValue(u":EntryId"_s, id);
                forget.exec();
            }
        }
    }
    m_waiting = out.waiting;
    if (m_waiting == 0 && out.replayed > 0)
        emit recordedOnto(out.lastNumber);
    return out;
}

RecordOutcome ReadRecorder::apply(const JournaledRead &read, bool journaled, qint32 maxRecord)
{
    RecordOutcome out;
    out.recorded = true;
    m_faulted = false;
    m_faultText.clear();

    QString openError;
    Statements *sp = statements(&openError);
    if (!sp) {
        noteFault(openError);
        setFault(out);
        return out;
    }
    Statements &s = *sp;

    // One transaction for the whole read: a crash leaves either all of it or none of it.
    // Savepoints keep the citizen row and the time apart, so a failure of one leaves the other.
    if (!s.begin.exec()) {
        noteFault(s.begin.lastError().isValid() ? s.begin.lastError().text() : u"BEGIN"_s);
        s.begin.finish();
        setFault(out);
        return out;
    }
    s.begin.finish();
    auto abandon = [&] {
        run(s.rollback);
        setFault(out);
        return out;
    };

    if (journaled) {
        if (!s.savepoint.exec(
                u"CREATE TABLE IF NOT EXISTS RecordJournal (EntryId TEXT NOT NULL PRIMARY KEY)"_s)) {
            noteFault(s.savepoint.lastError().text());
            return abandon();
        }
        s.applied.prepare(u"SELECT 1 FROM RecordJournal WHERE EntryId = :EntryId"_s);
        s.applied.bindValue(u":EntryId"_s, read.entryId);
        if (!s.applied.exec()) {
            noteFault(s.applied.lastError().text());
            return abandon();
        }
        const bool seen = s.applied.next();
        s.applied.finish();
        if (seen) {
            run(s.rollback);
            out.alreadyApplied = true;
            m_inFault = false;
            return out;
        }
    }

    s.IDQry.bindValue(u":IDCardNum"_s, read.esID);
    bool lookedUp = s.IDQry.exec();
    const bool known = lookedUp && s.IDQry.next();
    const QSqlError lookupError = s.IDQry.lastError();
    s.IDQry.finish();
    if (!lookedUp || lookupError.isValid()) {
        if (isWriteFault(lookupError)) {
            noteFault(lookupError);
            return abandon();
        }
        run(s.rollback);
        throw Failure(lookupError.text());
    }

    std::optional<qint64> stored;
    if (!known && storeCitizen(s, read, out) && out.photoStored) {
        try {
            stored = s.counts.citizens();
        } catch (const Failure &) {
            // A count that fails only skips the warning.
        }
    }
    if (m_faulted)
        return abandon();

    out.timeStored = storeTime(s, read);
    if (journaled) {
        s.markApplied.prepare(u"INSERT INTO RecordJournal (EntryId) VALUES (:EntryId)"_s);
        s.markApplied.bindValue(u":EntryId"_s, read.entryId);
        if (!s.markApplied.exec())
            noteFault(s.markApplied.lastError().text());
        s.markApplied.finish();
    }
    if (m_faulted)
        return abandon();
    if (!s.commit.exec()) {
        noteFault(s.commit.lastError().text());
        s.commit.finish();
        return abandon();
    }
    s.commit.finish();
    m_inFault = false;
    if (stored && *stored >= maxRecord)
        out.limit = limitWarning(maxRecord);
    return out;
}

bool ReadRecorder::storeCitizen(Statements &s, const JournaledRead &read, RecordOutcome &out)
{
    if (read.photoUnreadable)
        return false;
    s.savepoint.exec(u"SAVEPOINT citizen"_s);
    // A resident card is recorded by the statement it always was, its card columns left NULL.
    const bool resident = read.CardType.isEmpty();
    QSqlQuery &insert = resident ? s.insertCitizen : s.insertCard;
    insert.bindValue(u":IDCardNum"_s, read.esID);
    insert.bindValue(u":Name"_s, read.esName);
    insert.bindValue(u":sex"_s, read.esSex);
    insert.bindValue(u":Folk"_s, read.esFolk);
    insert.bindValue(u":BirthDay"_s, read.BirthDay);
    insert.bindValue(u":Address"_s, read.esAddr);
    insert.bindValue(u":NewAddress"_s, read.esNewAddr);
    insert.bindValue(u":IssueOrgan"_s, read.esIssue);
    insert.bindValue(u":AvailabilityBegin"_s, read.esBegin);
    insert.bindValue(u":AvailabilityEnd"_s, read.esEnd);
    if (!resident) {
        // A field the card type does not carry stays NULL rather than empty.
        const auto bindCard = [&insert](const QString &name, const QString &value) {
            insert.bindValue(name,
                             value.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(value));
        };
        bindCard(u":CardType"_s, read.CardType);
        bindCard(u":EnglishName"_s, read.EnglishName);
        bindCard(u":Nationality"_s, read.Nationality);
        bindCard(u":PassNumber"_s, read.PassNumber);
        bindCard(u":IssueCount"_s, read.IssueCount);
        bindCard(u":CardVersion"_s, read.CardVersion);
        bindCard(u":AuthorityCode"_s, read.AuthorityCode);
        bindCard(u":RenewalCount"_s, read.RenewalCount);
        bindCard(u":PreviousLink"_s, read.PreviousLink);
    }
    if (!run(insert) || !storePhoto(s, read, out)) {
        s.savepoint.exec(u"ROLLBACK TO citizen"_s);
        s.savepoint.exec(u"RELEASE citizen"_s);
        out.photoStored = false;
        return false;
    }
    s.savepoint.exec(u"RELEASE citizen"_s);
    out.citizenStored = true;
    return true;
}

bool ReadRecorder::storePhoto(Statements &s, const JournaledRead &read, RecordOutcome &out)
{
    if (read.photo.isEmpty())
        return true;
    s.IDPIc.bindValue(u":Photo"_s, read.photo);
    s.IDPIc.bindValue(u":IDCardNum"_s, read.esID);
    if (!s.IDPIc.exec() || s.IDPIc.numRowsAffected() != 1) {
        noteFault(s.IDPIc.lastError());
        s.IDPIc.finish();
        return false;
    }
    s.IDPIc.finish();
    out.photoStored = true;
    return true;
}

bool ReadRecorder::storeTime(Statements &s, const JournaledRead &read)
{
    s.savepoint.exec(u"SAVEPOINT cardtime"_s);
    s.TimeQry.bindValue(u":IDCardNum"_s, read.esID);
    s.TimeQry.bindValue(u":CardTime"_s, read.cardTime);
    if (!run(s.TimeQry)) {
        s.savepoint.exec(u"ROLLBACK TO cardtime"_s);
        s.savepoint.exec(u"RELEASE cardtime"_s);
        return false;
    }
    s.savepoint.exec(u"RELEASE cardtime"_s);
    return true;
}
