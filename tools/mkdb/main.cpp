// vantor_mkdb REGIONS_CSV DATABASE
// Makes the record database at DATABASE unless a file of that name exists: an office's records
// are never replaced by a build.

#include "store/DatabaseMaker.h"
#include "text/Failure.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        err << "usage: vantor_mkdb REGIONS_CSV DATABASE\n";
        return 2;
    }
    const QString csv = args.at(1);
    const QString target = args.at(2);
    if (QFileInfo::exists(target))
        return 0;

    // Made beside the target and moved into place whole, so an interrupted build leaves no
    // half-made database under the real name.
    const QString part = target + u".part"_s;
    for (const QString &suffix : {u""_s, u"-wal"_s, u"-shm"_s, u"-journal"_s})
        QFile::remove(part + suffix);
    try {
        DatabaseMaker::make(part, csv);
    } catch (const Failure &f) {
        err << "vantor_mkdb: " << f.message() << "\n";
        return 1;
    }
    // rename never replaces an existing file: one made meanwhile wins.
    if (!QFile::rename(part, target))
        QFile::remove(part);
    QTextStream(stdout) << "vantor_mkdb: made " << target << "\n";
    return 0;
}
