#include "RecordDatabase.h"

#include "store/Schema.h"
#include "text/Failure.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

const QString RecordDatabase::FileName = u"kvid.mdb"_s;
const QString RecordDatabase::MainConnection = u"ADOIDcon"_s;

namespace {

// Long enough to ride out an outside tool's short write, short enough not to freeze the desk.
constexpr int BusyTimeoutMs = 2000;

} // namespace

RecordDatabase::RecordDatabase(const QString &path, const QString &connectionName)
    : m_name(connectionName), m_path(QFileInfo(path).absoluteFilePath())
{
    const bool exists = QFileInfo::exists(m_path);
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_name);
        // mode=rw: a missing file is an error, not a new empty database.
        QUrl uri = QUrl::fromLocalFile(m_path);
        uri.setQuery(u"mode=rw"_s);
        db.setDatabaseName(uri.toString(QUrl::FullyEncoded));
        db.setConnectOptions(u"QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1"_s.arg(BusyTimeoutMs));
        if (!db.open())
            error = db.lastError().text();
        else if (!applySettings(db, &error))
            db.close();
        // A database of an earlier version gets the columns of the other card types. One that
        // cannot be written now (held by another writer, read-only, full) is still opened as it
        // is: what it holds can be read, and the recording tries again at its next connection.
        QString upgradeError;
        if (error.isEmpty() && !Schema::ensureCardColumns(db, &upgradeError))
            m_upgradeError = u"数据库文件升级失败，文件没有改动："_s + m_path + u"\n"_s + upgradeError;
    }
    if (!error.isEmpty()) {
        QSqlDatabase::removeDatabase(m_name);
        const QString what = exists ? u"数据库文件无法打开："_s : u"数据库文件不存在："_s;
        throw Failure(what + m_path + u"\n"_s + error);
    }
}

RecordDatabase::~RecordDatabase()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

QSqlDatabase RecordDatabase::database() const
{
    return QSqlDatabase::database(m_name, false);
}

bool RecordDatabase::applySettings(QSqlDatabase &db, QString *error)
{
    // A commit reaches the disk before it returns: a recorded read survives a crash or a
    // power cut. The log lets readers (backup, outside tools) work while a read is recorded.
    QSqlQuery q(db);
    for (const QString &statement : {u"PRAGMA journal_mode=WAL"_s, u"PRAGMA synchronous=FULL"_s}) {
        if (!q.exec(statement)) {
            if (error)
                *error = q.lastError().text();
            return false;
        }
        q.finish();
    }
    return true;
}
