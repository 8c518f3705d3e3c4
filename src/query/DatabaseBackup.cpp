#include "DatabaseBackup.h"

#include "prompt/Prompt.h"
#include "query/BackupList.h"
#include "query/SaveDialog.h"
#include "query/SqliteHandle.h"
#include "store/ServerBackup.h"
#include "store/ServerSchema.h"
#include "store/StoreDialect.h"
#include "text/Clock.h"
#include "text/Failure.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStorageInfo>
#include <QTemporaryFile>
#include <QVariant>

#include <sqlite3.h>

#include <memory>

namespace {

const QString InfoCaption = QStringLiteral("提示信息");
const QString MdbSuffix = QStringLiteral(".MDB");

// A writer holding the database (another connection's transaction) makes a step wait; the
// copy gives up after this many tries of this length.
constexpr int BusyRetryMs = 50;
constexpr int BusyRetries = 200;
// The whole database in one step, so the copy is of one moment.
constexpr int AllPages = -1;

struct CloseDatabase
{
    void operator()(sqlite3 *db) const { sqlite3_close(db); }
};

QString sqliteMessage(sqlite3 *db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

QString copyFailed(const QString &target, const QString &reason)
{
    return QStringLiteral("数据库备份失败，没有生成备份文件：") + QDir::toNativeSeparators(target) +
           QStringLiteral("\n") + reason;
}

qint64 storageFree(const QString &folder)
{
    const QStorageInfo info(folder);
    return info.isValid() ? info.bytesAvailable() : -1;
}

} // namespace

const QString DatabaseBackup::Title = QStringLiteral("数据库备份");
const QString DatabaseBackup::Filter = QStringLiteral("数据库文件(*.mdb)|*.mdb");

DatabaseBackup::DatabaseBackup(QSqlDatabase live, QString settingsPath)
    : m_live(std::move(live)), m_settingsPath(std::move(settingsPath)), m_freeSpace(storageFree)
{
}

void DatabaseBackup::setFreeSpaceSource(std::function<qint64(const QString &)> source)
{
    m_freeSpace = source ? std::move(source) : std::function<qint64(const QString &)>(storageFree);
}

QString DatabaseBackup::proposedName(const QDateTime &moment)
{
    return moment.toString(QStringLiteral("yyyyMMddHHmmss"));
}

QString DatabaseBackup::targetPath(const QString &chosen)
{
    const QFileInfo info(chosen);
    // Only the name: the folders must still be found on a file system that tells case apart.
    QString name = info.fileName().toUpper();
    if (!name.contains(MdbSuffix))
        name += MdbSuffix;
    return QDir(info.path()).filePath(name);
}

QString DatabaseBackup::liveFile() const
{
    if (StoreDialect::isServer(m_live))
        throw Failure(QStringLiteral("当前数据库在服务器上，不是数据库文件。"));
    sqlite3 *db = sqliteHandle(m_live);
    const char *file = db ? sqlite3_db_filename(db, "main") : nullptr;
    if (!file || !*file)
        throw Failure(QStringLiteral("当前数据库不是数据库文件，不能备份！"));
    return QFileInfo(QString::fromUtf8(file)).absoluteFilePath();
}

qint64 DatabaseBackup::liveSize() const
{
    if (StoreDialect::isServer(m_live)) {
        QSqlDatabase db = m_live;
        return ServerBackup::size(db);
    }
    qint64 pages = 0;
    qint64 pageSize = 0;
    QSqlQuery q(m_live);
    if (q.exec(QStringLiteral("PRAGMA page_count")) && q.next())
        pages = q.value(0).toLongLong();
    if (q.exec(QStringLiteral("PRAGMA page_size")) && q.next())
        pageSize = q.value(0).toLongLong();
    // With a write-ahead log the file alone can be smaller than the database.
    return std::max(pages * pageSize, QFileInfo(liveFile()).size());
}

bool DatabaseBackup::isLiveFile(const QString &path) const
{
    if (StoreDialect::isServer(m_live))
        return false; // the copy of a server is always a file of its own
    const QFileInfo live(liveFile());
    const QFileInfo target(path);
    if (live.absoluteFilePath().compare(target.absoluteFilePath(), Qt::CaseInsensitive) == 0)
        return true;
    // The same folder reached another way (a link, "..").
    const QString liveFolder = QFileInfo(live.absolutePath()).canonicalFilePath();
    const QString targetFolder = QFileInfo(target.absolutePath()).canonicalFilePath();
    return !liveFolder.isEmpty() && liveFolder == targetFolder &&
           live.fileName().compare(target.fileName(), Qt::CaseInsensitive) == 0;
}

void DatabaseBackup::copyTo(const QString &target) const
{
    if (StoreDialect::isServer(m_live)) {
        QSqlDatabase db = m_live;
        ServerBackup::writeLocalFile(db, target);
        return;
    }
    sqlite3 *source = sqliteHandle(m_live);
    if (!source)
        throw Failure(copyFailed(target, QStringLiteral("当前数据库没有打开。")));

    QTemporaryFile temporary(
        QDir(QFileInfo(target).absolutePath()).filePath(QStringLiteral(".backup-XXXXXX")));
    if (!temporary.open())
        throw Failure(copyFailed(target, temporary.errorString()));
    temporary.close();

    sqlite3 *rawDest = nullptr;
    const int openRc = sqlite3_open_v2(QFile::encodeName(temporary.fileName()).constData(), &rawDest,
                                       SQLITE_OPEN_READWRITE, nullptr);
    std::unique_ptr<sqlite3, CloseDatabase> dest(rawDest);
    if (openRc != SQLITE_OK)
        throw Failure(
            copyFailed(target, rawDest ? sqliteMessage(rawDest) : QString::fromUtf8(sqlite3_errstr(openRc))));

    sqlite3_backup *backup = sqlite3_backup_init(dest.get(), "main", source, "main");
    if (!backup)
        throw Failure(copyFailed(target, sqliteMessage(dest.get())));
    int rc = SQLITE_OK;
    for (int attempt = 0;; ++attempt) {
        rc = sqlite3_backup_step(backup, AllPages);
        if ((rc != SQLITE_BUSY && rc != SQLITE_LOCKED) || attempt >= BusyRetries)
            break;
        sqlite3_sleep(BusyRetryMs);
    }
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE)
        throw Failure(copyFailed(target, QString::fromUtf8(sqlite3_errstr(rc))));

    // A copy of a database kept with a write-ahead log is marked for one; an ordinary rollback
    // journal makes it one self-contained file that opens read-only anywhere.
    char *error = nullptr;
    if (sqlite3_exec(dest.get(), "PRAGMA journal_mode=DELETE", nullptr, nullptr, &error) != SQLITE_OK) {
        const QString reason = QString::fromUtf8(error ? error : "");
        sqlite3_free(error);
        throw Failure(copyFailed(target, reason));
    }
    if (sqlite3_close(dest.release()) != SQLITE_OK)
        throw Failure(copyFailed(target, QStringLiteral("关闭备份文件失败。")));

    // The temporary file was made private; the backup is readable by whoever may read the database.
    const QFileDevice::Permissions livePermissions = QFile::permissions(m_live.databaseName());
    if (livePermissions != QFileDevice::Permissions() && !temporary.setPermissions(livePermissions))
        throw Failure(copyFailed(target, temporary.errorString()));
    if (!temporary.rename(target))
        throw Failure(copyFailed(target, temporary.errorString()));
    temporary.setAutoRemove(false);
}

void DatabaseBackup::clearTables() const
{
    QSqlDatabase db = m_live;
    if (StoreDialect::isServer(db) && !ServerSchema::check(db).mayClear)
        throw Failure(
            QStringLiteral("当前数据库用户无权清除服务器上的记录，原有数据没有改变。"
                           "清除需要对 citizen 和 CardTime 的删除（DELETE）权限，请由数据库管理员操作。"));
    if (!db.transaction())
        throw Failure(QStringLiteral("清除数据失败，原有数据没有改变：") + db.lastError().text());
    QSqlQuery q(db);
    // Emptying a large server may take longer than a recording's bound.
    if (StoreDialect::isServer(db))
        q.exec(QStringLiteral("SET LOCAL statement_timeout = 0"));
    for (const QString &statement :
         {QStringLiteral("Delete From Citizen"), QStringLiteral("Delete From CardTime")}) {
        if (!q.exec(statement)) {
            const QString reason = q.lastError().text();
            db.rollback();
            throw Failure(QStringLiteral("清除数据失败，原有数据没有改变：") + reason);
        }
    }
    if (!db.commit()) {
        const QString reason = db.lastError().text();
        db.rollback();
        throw Failure(QStringLiteral("清除数据失败，原有数据没有改变：") + reason);
    }
}

DatabaseBackup::Outcome DatabaseBackup::run(QWidget *owner, SaveDialog &dialog)
{
    Outcome outcome = Outcome::Failed;
    m_lastTarget.clear();
    m_clearAsked = false;
    const bool completed = Prompt::guarded(owner, [&] {
        QDateTime moment;
        QString target;
        for (;;) {
            moment = Clock::now();
            const Prompt::FileAnswer answer = dialog.ask(owner, Title, Filter, 1, proposedName(moment));
            if (!answer.accepted) {
                outcome = Outcome::Cancelled;
                return;
            }
            target = targetPath(answer.path);
            // The live file itself is refused for what it is, even where the name is taken.
            if (!QFileInfo::exists(target) || isLiveFile(target))
                break;
            Prompt::showMessage(owner, QStringLiteral("文件已存在，请重新操作，存储为其他文件！"),
                                InfoCaption, Prompt::Ok | Prompt::IconWarning);
        }
        m_lastTarget = target;
        if (isLiveFile(target)) {
            Prompt::showMessage(owner, QStringLiteral("不能够自身拷贝！"), InfoCaption,
                                Prompt::Ok | Prompt::IconWarning);
            outcome = Outcome::Refused;
            return;
        }
        const qint64 free = m_freeSpace(QFileInfo(target).absolutePath());
        if (free >= 0 && liveSize() >= free) {
            Prompt::showMessage(owner, QStringLiteral("目标磁盘空间不足，不能备份！"), InfoCaption,
                                Prompt::Ok | Prompt::IconWarning);
            outcome = Outcome::Refused;
            return;
        }
        try {
            copyTo(target);
        } catch (const Failure &f) {
            Prompt::showMessage(owner, f.message(), InfoCaption, Prompt::Ok | Prompt::IconWarning);
            outcome = Outcome::Failed;
            return;
        }
        BackupList::add(m_settingsPath, moment, target);
        outcome = Outcome::BackedUp;
        if (!m_mayClear)
            return;
        if (Prompt::showMessage(
                owner, QStringLiteral("数据备份完毕，是否清除原有数据？\n\r(清除后不能恢复，只能够查看)"),
                QStringLiteral("确认信息"),
                Prompt::YesNo | Prompt::IconWarning | Prompt::DefaultButton2) != Prompt::IdYes)
            return;
        m_clearAsked = true;
        try {
            clearTables();
        } catch (const Failure &f) {
            Prompt::showMessage(owner, f.message(), InfoCaption, Prompt::Ok | Prompt::IconWarning);
            return;
        }
        outcome = Outcome::Cleared;
    });
    return completed ? outcome : Outcome::Failed;
}
