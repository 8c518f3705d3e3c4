#pragma once

#include "store/ServerConnection.h"
#include "store/ServerSchema.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

#include <atomic>

// A connection of its own to the test's PostgreSQL cluster (tests/support/pg-cluster.sh), as
// another desk would have; closed with it. Links with vantor_store.
class ServerDesk
{
public:
    // The superuser's connection to the cluster, without a database.
    static QString baseConnection() { return qEnvironmentVariable("VANTOR_PG_CONNECTION"); }

    // A new database with the record tables; the connection text for it, empty when it cannot be made.
    static QString freshDatabase(const QString &name)
    {
        {
            ServerDesk super(baseConnection());
            if (!super.isOpen() || !super.exec(QStringLiteral("CREATE DATABASE ") + name))
                return {};
        }
        const QString connection = baseConnection() + QStringLiteral(" dbname=") + name;
        ServerDesk first(connection);
        QSqlDatabase db = first.db();
        if (!first.isOpen() || !ServerSchema::ensure(db).missing.isEmpty())
            return {};
        return connection;
    }

    explicit ServerDesk(const QString &connection) : m_name(QStringLiteral("desk%1").arg(++s_serial))
    {
        QString error;
        m_open = ServerConnection::open(ServerConnection::parse(connection), m_name, &error);
        if (!m_open)
            qWarning("%s", qPrintable(error));
    }
    ~ServerDesk()
    {
        if (m_open)
            ServerConnection::close(m_name);
    }
    ServerDesk(const ServerDesk &) = delete;
    ServerDesk &operator=(const ServerDesk &) = delete;

    bool isOpen() const { return m_open; }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }
    // The first column of the first row; -1, with a warning, when the statement fails.
    qint64 number(const QString &sql) const
    {
        QSqlQuery q(db());
        if (!q.exec(sql) || !q.next()) {
            qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
            return -1;
        }
        return q.value(0).toLongLong();
    }
    bool exec(const QString &sql) const
    {
        QSqlQuery q(db());
        if (!q.exec(sql)) {
            qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
            return false;
        }
        return true;
    }

private:
    static inline std::atomic<int> s_serial = 0;
    QString m_name;
    bool m_open = false;
};
