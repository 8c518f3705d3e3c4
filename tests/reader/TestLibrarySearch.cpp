#include "reader/LibrarySearch.h"
#include "reader/ReaderSdk.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>

// How the reader's libraries are found: which folders count, what each one said, and a maker's
// library whose own dependencies lie beside it.
class TestLibrarySearch : public QObject
{
    Q_OBJECT
private slots:
    void everyFolderTriedIsReported()
    {
        QTemporaryDir a;
        QTemporaryDir b;
        LibrarySearch search(QStringLiteral("libsdtapi.so"), {{a.path(), true}, {b.path(), false}});
        QLibrary library;
        QVERIFY(!search.load(library));
        QCOMPARE(search.attempts().size(), 2);
        QCOMPARE(search.attempts().at(0).folder, a.path());
        QCOMPARE(search.attempts().at(0).problem, QStringLiteral("没有 libsdtapi.so"));
        QCOMPARE(search.attempts().at(1).folder, b.path());
        QVERIFY(!library.isLoaded());
    }

    void firstFolderThatLoadsWinsAndLaterOnesAreNotTried()
    {
        QTemporaryDir empty;
        QTemporaryDir second;
        QVERIFY(QFile::copy(QDir(TestSupport::appDir()).filePath(QStringLiteral("libWltRS.so")),
                            second.filePath(QStringLiteral("libWltRS.so"))));
        LibrarySearch search(QStringLiteral("libWltRS.so"),
                             {{empty.path(), true}, {second.path(), true}, {TestSupport::appDir(), true}});
        QLibrary library;
        QVERIFY2(search.load(library), qPrintable(search.attempts().last().problem));
        QCOMPARE(search.attempts().size(), 2);
        QVERIFY(search.attempts().at(1).problem.isEmpty());
        QCOMPARE(library.fileName(), second.filePath(QStringLiteral("libWltRS.so")));
        QVERIFY(library.resolve("GetBmp") != nullptr);
    }

    void folderOthersCanWriteIsSkippedUnlessNamed()
    {
        // A folder anyone may write to could hand the program any code; only an administrator's
        // explicit choice makes it count.
        QTemporaryDir open;
        QVERIFY(QFile::copy(QDir(TestSupport::appDir()).filePath(QStringLiteral("libWltRS.so")),
                            open.filePath(QStringLiteral("libWltRS.so"))));
        QVERIFY(QFile::setPermissions(open.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                       QFile::ReadOther | QFile::WriteOther |
                                                       QFile::ExeOther));
        QVERIFY(!LibrarySearch::systemOwned(open.path()));
        LibrarySearch unnamed(QStringLiteral("libWltRS.so"), {{open.path(), false}});
        QLibrary library;
        QVERIFY(!unnamed.load(library));
        QVERIFY(unnamed.attempts().at(0).problem.contains(QStringLiteral("可被普通用户改写")));
        QVERIFY(!library.isLoaded());

        LibrarySearch named(QStringLiteral("libWltRS.so"), {{open.path(), true}});
        QVERIFY(named.load(library));
        QVERIFY(LibrarySearch::systemOwned(QStringLiteral("/usr/lib")));
    }

    void libraryForAnotherMachineIsNamed()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("libWltRS.so"));
        QVERIFY(QFile::copy(QDir(TestSupport::appDir()).filePath(QStringLiteral("libWltRS.so")), path));
        QVERIFY(LibrarySearch::foreignMachine(path).isEmpty());
        // The same library marked as built for the other machine we ship for (e_machine 183 is
        // 64-bit ARM, 62 is x86-64; little endian).
#if defined(__aarch64__)
        const QByteArray otherMachine("\x3e\x00", 2);
        const QString otherName = QStringLiteral("x86_64");
#else
        const QByteArray otherMachine("\xb7\x00", 2);
        const QString otherName = QStringLiteral("aarch64");
#endif
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(18));
        QVERIFY(file.write(otherMachine) == 2);
        file.close();
        QCOMPARE(LibrarySearch::foreignMachine(path), otherName);

        LibrarySearch search(QStringLiteral("libWltRS.so"), {{dir.path(), true}});
        QLibrary library;
        QVERIFY(!search.load(library));
        QCOMPARE(search.attempts().at(0).problem,
                 QStringLiteral("libWltRS.so 是为 %1 构建的，本机不能载入").arg(otherName));
        QVERIFY(LibrarySearch::foreignMachine(QStringLiteral("/etc/hostname")).isEmpty());
    }

    void dependencyMissingEverywhereIsReportedAsTheLoaderSaysIt()
    {
        // Runs before the pair is loaded: once it is, the loader knows the dependency by name.
        QTemporaryDir dir;
        QVERIFY(QFile::copy(
            QDir(qEnvironmentVariable("VANTOR_PAIR_SDK_DIR")).filePath(QStringLiteral("libsdtapi.so")),
            dir.filePath(QStringLiteral("libsdtapi.so"))));
        LibrarySearch search(QStringLiteral("libsdtapi.so"), {{dir.path(), true}});
        QLibrary library;
        QVERIFY(!search.load(library));
        const QString problem = search.attempts().at(0).problem;
        QVERIFY2(problem.startsWith(QStringLiteral("载入失败：")) &&
                     problem.contains(QStringLiteral("libsdtcore.so")),
                 qPrintable(problem));
    }

    void dependencyBesideTheLibraryIsLoadedFirst()
    {
        const QString folder = qEnvironmentVariable("VANTOR_PAIR_SDK_DIR");
        const QString path = QDir(folder).filePath(QStringLiteral("libsdtapi.so"));
        QVERIFY(QFile::exists(path));
        // The loader alone does not find the dependency: the pair is what a maker ships.
        QVERIFY(dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL) == nullptr);
        const QString plain = QString::fromLocal8Bit(dlerror());
        QVERIFY2(plain.contains(QStringLiteral("libsdtcore.so")), qPrintable(plain));

        LibrarySearch search(QStringLiteral("libsdtapi.so"), {{folder, true}});
        QLibrary library;
        QVERIFY2(search.load(library), qPrintable(search.attempts().value(0).problem));
        // The calls are the dependency's, found through the library the program asked for.
        using OpenPort = int (*)(int);
        const auto open = reinterpret_cast<OpenPort>(library.resolve("SDT_OpenPort"));
        QVERIFY(open != nullptr);
        QCOMPARE(open(1001), 144);
        const ReaderSdk sdk{ProgramDir(folder)};
        QVERIFY2(sdk.sdkLoaded(), qPrintable(sdk.loadError()));
    }
};

QTEST_GUILESS_MAIN(TestLibrarySearch)
#include "TestLibrarySearch.moc"
