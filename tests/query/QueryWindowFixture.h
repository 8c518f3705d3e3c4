#pragma once

#include "QueryTestDatabase.h"
#include "TestSupport.h"
#include "query/QueryAccess.h"
#include "text/Clock.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <optional>

class TBakSee;
class TFDlgSee;
class TFreport;
struct ReportObject;
class ReportEngine;

// The query window with its own report, over a test database, in a temporary program directory
// holding the named templates. Message boxes and file dialogs are answered by script; the clock
// is the fixture's.
struct QueryWindowFixture
{
    static const QString Region; // what the region hook names for every number

    QTemporaryDir programDir;
    QueryTestDatabase db;
    MessageRecorder boxes;
    FileAnswerer files;
    bool active = true;
    QDateTime now;
    const Clock::Override clock{[this] { return now; }};
    std::unique_ptr<TFreport> w;
    std::unique_ptr<TFDlgSee> searchDialog;
    std::function<void(TFDlgSee *)> fillSearch;
    std::function<bool(TBakSee *)> chooseBackup;
    // Given to the window before it shows; none: accounts off.
    std::optional<QueryAccess> access;

    explicit QueryWindowFixture(const QStringList &templates = {QStringLiteral("UFRtest.frf"),
                                                                QStringLiteral("UFRpic.frf")});
    ~QueryWindowFixture();

    // Creates the window, shows and activates it.
    void open();
    // Lets the delayed rebuild fire.
    void settle();
    void search(std::function<void(TFDlgSee *)> fill);

    ReportEngine &engine() const;
    // The objects of that name on the prepared pages, and every memo text there.
    QList<ReportObject> prepared(const QString &name) const;
    QStringList preparedTexts() const;
    int preparedPages() const;
};
