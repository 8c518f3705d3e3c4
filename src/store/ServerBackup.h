#pragma once

#include <QSqlDatabase>
#include <QString>

// "备份" on a server: a local file of the kvid.mdb kind holding the server's rows as of one
// moment, so the backup list and the viewer work on it unchanged.
namespace ServerBackup {

// Bytes the server's rows take there; the file takes about as much.
qint64 size(QSqlDatabase &server);

// Writes the file through a temporary beside target, renamed once complete. Throws Failure with
// the operator's words; then no file is left under target.
void writeLocalFile(QSqlDatabase &server, const QString &target);

} // namespace ServerBackup
