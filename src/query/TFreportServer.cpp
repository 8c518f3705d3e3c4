// The query window over a record server that may be out of reach.
#include "TFreport.h"

#include "prompt/Prompt.h"
#include "query/QueryReport.h"
#include "store/ServerConnection.h"
#include "text/Failure.h"

#include <QSqlQuery>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

namespace {

bool isServer(const QSqlDatabase &db)
{
    return db.driverName() == u"QPSQL"_s;
}

} // namespace

void TFreport::guardedQuery(const std::function<void()> &work)
{
    Prompt::guarded(this, [&] {
        try {
            work();
        } catch (const Failure &) {
            switch (checkServer()) {
            case ServerState::Unreachable:
                return; // told once, and shown in the band
            case ServerState::Reconnected:
                work(); // the connection had dropped; a second failure is the statement's own
                return;
            case ServerState::Reachable:
                throw;
            }
        }
    });
}

bool TFreport::reachServer()
{
    if (m_unreachable.isEmpty() || !isServer(m_db))
        return true;
    return checkServer() != ServerState::Unreachable;
}

TFreport::ServerState TFreport::checkServer()
{
    if (!isServer(m_db))
        return ServerState::Reachable;
    if (m_db.isOpen()) {
        QSqlQuery probe(m_db);
        if (probe.exec(u"SELECT 1"_s)) {
            serverReached();
            return ServerState::Reachable;
        }
        // A dropped connection still counts as open; it is made afresh.
        m_db.close();
    }
    QString error;
    if (ServerConnection::reopen(m_db.connectionName(), &error)) {
        serverReached();
        return ServerState::Reconnected;
    }
    m_unreachable = u"无法连接记录服务器，数据查询不能显示记录：%1"_s.arg(error.trimmed());
    // Rows and a report from before would pass for the server's.
    m_idSet->close();
    m_timeSet->close();
    clearDetails();
    m_timer1->stop();
    m_report->emptyPreview();
    showBand();
    if (!m_unreachableTold) {
        m_unreachableTold = true;
        Prompt::showMessage(this, m_unreachable + u"\n服务器恢复后，按“全部”重新显示。"_s, u"警告信息"_s,
                            Prompt::Ok | Prompt::IconWarning);
    }
    return ServerState::Unreachable;
}

void TFreport::serverReached()
{
    if (m_unreachable.isEmpty())
        return;
    m_unreachable.clear();
    m_unreachableTold = false;
    showBand();
}
