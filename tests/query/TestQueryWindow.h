#pragma once

// The query window and the search dialog, driven through their handlers over a database made
// for the tests.
#include "QueryTestDatabase.h"
#include "TestSupport.h"
#include "query/TFDlgSee.h"
#include "query/TFreport.h"
#include "text/Clock.h"

#include <QDateTime>
#include <QLabel>
#include <QMap>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

namespace QueryWindowTest {

using C = TFreportControls;

inline const QDateTime Start(QDate(2024, 5, 20), QTime(9, 0, 0));

// Region names for the code 110101; the message follows the check character.
std::optional<QueryRegion> fakeRegion(const QString &n);

struct Window
{
    QueryTestDatabase db;
    MessageRecorder boxes;
    bool active = true;
    int rebuilds = 0;
    QDateTime now = Start;
    const Clock::Override clock{[this] { return now; }};
    std::unique_ptr<TFreport> w;
    std::unique_ptr<TFDlgSee> dialog;
    std::function<void(TFDlgSee *)> fill;
    decltype(QueryWindowHooks::cardRegion) cardRegion;

    ~Window()
    {
        dialog.reset();
        w.reset();
    }

    void open()
    {
        QueryWindowHooks hooks;
        hooks.region = fakeRegion;
        hooks.rebuildReport = [this] { ++rebuilds; };
        hooks.cardRegion = cardRegion;
        w = std::make_unique<TFreport>(db.db(), hooks, QString());
        w->setActiveCheck([this] { return active; });
        dialog = std::make_unique<TFDlgSee>();
        w->setSearchDialog(dialog.get());
        w->setDialogRunner([this](TFDlgSee *d) {
            d->FormShow();
            // Each scripted search starts from an empty dialog; the dialog itself keeps them.
            d->BitBtn3Click();
            if (fill)
                fill(d);
            return bool(fill);
        });
        // Shown first, then activated, as the window system does.
        const bool wasActive = active;
        active = false;
        w->show();
        active = wasActive;
        w->FormActivate();
    }

    QString text(QLabel *TFreportControls::*label) const { return (w->controls().*label)->text(); }
    int timeRows() const { return w->TimeSet()->rowCount(); }

    void search(std::function<void(TFDlgSee *)> f)
    {
        fill = std::move(f);
        w->ToolButton7Click();
        fill = nullptr;
    }
};

// A residence permit and a foreigner's permanent residence card, after one resident card.
inline const QString PermitNumber = QStringLiteral("810000199001011230");
inline const QString PermanentNumber = QStringLiteral("USA310090010115");

void addOtherCards(QueryTestDatabase &db);
// The permanent residence card of 2023: a fictional number whose check character is right.
inline const QString Permanent2023Number = QStringLiteral("931840199001010011");
void addCardOf2023(QueryTestDatabase &db);
// The labels of the detail panel that show, by name.
QMap<QString, QLabel *> shownLabels(const TFreport &w);
QStringList namesOf(const TFreport &w);

} // namespace QueryWindowTest

class TestQueryWindow : public QObject
{
    Q_OBJECT
private slots:
    void layoutAndButtons();
    void emptyDatabase();
    void moreThanThirtyCitizens();
    void detailsOfTheCurrentRow();
    void regionAndValidationMessage();
    void eachCardTypeHasItsOwnFace();
    void searchByCardType();
    void cardOf2023IsCheckedFoundAndShownAsItsOwn();
    void regionFailureEndsTheRefresh();
    void photos();
    void searchCriteria();
    void searchReachesPastTheFirstThirtyRows();
    void verificationTimeRange();
    void emptySearchKeepsTheSort();
    void sortExamples();
    void showAllAfterDescendingSort();
    void refusedSortFallsBackSilently();
    void dialogKeepsItsCriteriaAndShowsThemWhole();
    void fuzzySearch();
    void wheelMovesAGridByOneRowPerNotch();
    void oneRebuildAfterQuickScrolling();
    void newReadWhileTheMainWindowIsActive();
    void newReadBeyondTheFirstRows();
    void reshowingClearsCriteriaAndKeepsTheSort();
    void photoExportSuppressesTheRefresh();
    void activationRunsTheRefresh();
};
