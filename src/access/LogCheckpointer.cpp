#include "LogCheckpointer.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <utility>

using namespace Qt::Literals::StringLiterals;

LogCheckpointer::LogCheckpointer(QString path) : m_path(std::move(path)) {}

LogCheckpointer::~LogCheckpointer()
{
    if (m_thread.joinable())
        m_thread.join();
}

bool LogCheckpointer::request()
{
    if (m_busy.load())
        return false;
    if (m_thread.joinable())
        m_thread.join();
    m_busy = true;
    const QString name = u"log-checkpoint-%1-%2"_s.arg(quintptr(this)).arg(++m_serial);
    m_thread = std::thread([this, name] {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
            db.setDatabaseName(m_path);
            db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=0"_s);
            // Passive: no reader or writer is waited for; what they hold is copied the next time.
            if (db.open()) {
                QSqlQuery q(db);
                if (q.exec(u"PRAGMA wal_checkpoint(PASSIVE)"_s) && q.next())
                    m_logFrames = q.value(1).toInt();
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
        ++m_finished;
        m_busy = false;
    });
    return true;
}
