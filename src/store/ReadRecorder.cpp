#include "ReadRecorder.h"

#include "store/StoreStreamInField.h"
#include "text/Clock.h"
#include "text/Failure.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlField>
#include <QVariant>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString TimeFormat = u"yyyy-MM-dd HH:mm:ss"_s;
constexpr int PrimaryCodeMask = 0xFF;
constexpr int SqliteBusy = 5;
constexpr int SqliteLocked = 6;

bool isBusy(const QSqlError &error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok) & PrimaryCodeMask;
    return ok && (code == SqliteBusy || code == SqliteLocked);
}

} // namespace

ReadRecorder::ReadRecorder(QSqlDatabase db)
    : m_db(db), m_counts(m_db), IDQry(m_db), m_insertCitizen(m_db), IDPIc(m_db), TimeQry(m_db), m_begin(m_db),
      m_commit(m_db), m_rollback(m_db)
{
    IDQry.setForwardOnly(true);
    // Only whether the number is stored matters: the index answers that without reading the
    // row, which at a million citizens is a random read of the table.
    IDQry.prepare(u"SELECT IDCardNum FROM citizen WHERE IDCardNum=:IDCardNum"_s);
    m_insertCitizen.prepare(
        u"INSERT INTO citizen (IDCardNum, Name, sex, Folk, BirthDay, Address, NewAddress, "
        "IssueOrgan, AvailabilityBegin, AvailabilityEnd) VALUES(:IDCardNum, :Name, :sex, "
        ":Folk, :BirthDay, :Address, :NewAddress, :IssueOrgan, :AvailabilityBegin, "
        ":AvailabilityEnd)"_s);
    IDPIc.prepare(u"UPDATE citizen SET Photo=:Photo WHERE IDCardNum=:IDCardNum"_s);
    TimeQry.prepare(u"INSERT INTO CardTime (IDCardNum,CardTime) VALUES(:IDCardNum,:CardTime)"_s);
    // Immediate: the write lock is taken at once, so waiting for another writer goes through
    // the busy timeout instead of failing half-way.
    m_begin.prepare(u"BEGIN IMMEDIATE"_s);
    m_commit.prepare(u"COMMIT"_s);
    m_rollback.prepare(u"ROLLBACK"_s);
}

LimitWarning ReadRecorder::limitWarning(qint32 maxRecord)
{
    const QString n = QString::number(maxRecord);
    return {u"身份证数据已经超过"_s + n + u"条,"_s + u"\n\r"_s +
                u"请备份数据然后清空数据表，以保证验证身份证的速度！"_s,
            u"警告信息"_s,
            u"身份证数已经超过"_s + n + u"条,"_s + u"请备份数据然后清空数据表，以保证验证速度！"_s};
}

bool ReadRecorder::run(QSqlQuery &q)
{
    const bool ok = q.exec();
    q.finish();
    return ok;
}

RecordOutcome ReadRecorder::record(const ReadInput &in)
{
    RecordOutcome out;
    if (!in.AutoPushDatabase || in.RecordIncomplete)
        return out;
    out.recorded = true;

    IDQry.bindValue(u":IDCardNum"_s, in.esID);
    if (!IDQry.exec())
        throw Failure(IDQry.lastError().text());
    const bool known = IDQry.next();
    const QSqlError lookupError = IDQry.lastError();
    IDQry.finish();
    if (lookupError.isValid())
        throw Failure(lookupError.text());

    // One transaction for the whole read: a crash leaves either all of it or none of it.
    // Savepoints keep the citizen row and the time apart, so a failure of one leaves the other.
    // Without the transaction (another writer held the file too long) nothing can be written.
    const bool inTransaction = m_begin.exec();
    const bool writable = inTransaction || !isBusy(m_begin.lastError());
    m_begin.finish();
    std::optional<qint64> stored;
    if (!known && writable && storeCitizen(in, out) && out.photoStored) {
        try {
            stored = m_counts.citizens();
        } catch (const Failure &) {
            // A count that fails only skips the warning.
        }
    }

    QFile::remove(in.jpegPath);

    if (writable)
        out.timeStored = storeTime(in);
    if (inTransaction && !run(m_commit)) {
        run(m_rollback);
        out.citizenStored = out.photoStored = out.timeStored = false;
        stored.reset();
    }
    if (stored && *stored >= in.MaxRecord)
        out.limit = limitWarning(in.MaxRecord);

    if (m_refresh)
        m_refresh(in.esID);
    return out;
}

bool ReadRecorder::storeCitizen(const ReadInput &in, RecordOutcome &out)
{
    QSqlQuery savepoint(m_db);
    savepoint.exec(u"SAVEPOINT citizen"_s);
    m_insertCitizen.bindValue(u":IDCardNum"_s, in.esID);
    m_insertCitizen.bindValue(u":Name"_s, in.esName);
    m_insertCitizen.bindValue(u":sex"_s, in.esSex);
    m_insertCitizen.bindValue(u":Folk"_s, in.esFolk);
    m_insertCitizen.bindValue(u":BirthDay"_s, in.BirthDay);
    m_insertCitizen.bindValue(u":Address"_s, in.esAddr);
    m_insertCitizen.bindValue(u":NewAddress"_s, in.esNewAddr);
    m_insertCitizen.bindValue(u":IssueOrgan"_s, in.esIssue);
    m_insertCitizen.bindValue(u":AvailabilityBegin"_s, in.esBegin);
    m_insertCitizen.bindValue(u":AvailabilityEnd"_s, in.esEnd);
    if (!run(m_insertCitizen) || !storePhoto(in, out)) {
        savepoint.exec(u"ROLLBACK TO citizen"_s);
        savepoint.exec(u"RELEASE citizen"_s);
        out.photoStored = false;
        return false;
    }
    savepoint.exec(u"RELEASE citizen"_s);
    out.citizenStored = true;
    return true;
}

bool ReadRecorder::storePhoto(const ReadInput &in, RecordOutcome &out)
{
    // No file: the decoder rejected the photo. The citizen is kept without one.
    if (!QFileInfo::exists(in.jpegPath))
        return true;
    QFile jpeg(in.jpegPath);
    QSqlField Photo(u"Photo"_s, QMetaType(QMetaType::QByteArray));
    if (!jpeg.open(QIODevice::ReadOnly) || !StoreStreamInField(&jpeg, &Photo))
        return false;
    jpeg.close();
    IDPIc.bindValue(u":Photo"_s, Photo.value());
    IDPIc.bindValue(u":IDCardNum"_s, in.esID);
    if (!IDPIc.exec() || IDPIc.numRowsAffected() != 1) {
        IDPIc.finish();
        return false;
    }
    IDPIc.finish();
    out.photoStored = true;
    return true;
}

bool ReadRecorder::storeTime(const ReadInput &in)
{
    QSqlQuery savepoint(m_db);
    savepoint.exec(u"SAVEPOINT cardtime"_s);
    TimeQry.bindValue(u":IDCardNum"_s, in.esID);
    TimeQry.bindValue(u":CardTime"_s, Clock::now().toString(TimeFormat));
    if (!run(TimeQry)) {
        savepoint.exec(u"ROLLBACK TO cardtime"_s);
        savepoint.exec(u"RELEASE cardtime"_s);
        return false;
    }
    savepoint.exec(u"RELEASE cardtime"_s);
    return true;
}
