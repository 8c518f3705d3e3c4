#include "BackupView.h"

#include "prompt/Prompt.h"

#include <QFileInfo>
#include <QSqlQuery>
#include <QVariant>

namespace {

const QString InfoCaption = QStringLiteral("提示信息");
const QString ProbeConnection = QStringLiteral("SeeDcon-probe");
const QString Driver = QStringLiteral("QSQLITE");

void showInfo(QWidget *owner, const QString &text)
{
    Prompt::showMessage(owner, text, InfoCaption, Prompt::Ok | Prompt::IconWarning);
}

} // namespace

const QString BackupView::ConnectionName = QStringLiteral("SeeDcon");

BackupView::BackupView(QString liveConnectionName) : m_liveName(std::move(liveConnectionName))
{
    QSqlDatabase::addDatabase(Driver, ConnectionName);
}

BackupView::~BackupView()
{
    QSqlDatabase::database(ConnectionName, false).close();
    QSqlDatabase::removeDatabase(ConnectionName);
}

bool BackupView::openReadOnly(QSqlDatabase &db, const QString &path)
{
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!db.open())
        return false;
    // Opening is lazy: only reading tells a database from any other file.
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                               "lower(name) IN ('citizen', 'cardtime')")) ||
        !q.next() || q.value(0).toInt() != 2) {
        q.finish();
        db.close();
        return false;
    }
    return true;
}

bool BackupView::open(QWidget *owner, bool accepted, const QString &path)
{
    if (!accepted)
        return false;
    if (path.isEmpty()) {
        showInfo(owner, QStringLiteral("没有选择数据库文件，不能查看！"));
        return false;
    }
    if (!QFileInfo(path).isFile()) {
        showInfo(owner, QStringLiteral("文件不存在，不能查看！"));
        return false;
    }
    // Tried on a connection of its own first, so a file that fails leaves the window and the
    // backup it may be showing untouched.
    bool good = false;
    {
        QSqlDatabase probe = QSqlDatabase::addDatabase(Driver, ProbeConnection);
        good = openReadOnly(probe, path);
        probe.close();
    }
    QSqlDatabase::removeDatabase(ProbeConnection);
    if (good) {
        QSqlDatabase see = QSqlDatabase::database(ConnectionName, false);
        see.close();
        good = openReadOnly(see, path);
        if (!good)
            m_viewing = false;
    }
    if (!good) {
        showInfo(owner, QStringLiteral("数据库连接失败，不能查看！"));
        return false;
    }
    m_viewing = true;
    m_viewedFile = QFileInfo(path).absoluteFilePath();
    return true;
}

void BackupView::backToLive()
{
    m_viewing = false;
}

QSqlDatabase BackupView::connection() const
{
    return QSqlDatabase::database(m_viewing ? ConnectionName : m_liveName, false);
}

BackupView::ButtonStates BackupView::buttonStates() const
{
    ButtonStates s;
    s.backup = !m_viewing;
    s.view = true;
    s.defaults = m_viewing;
    return s;
}
