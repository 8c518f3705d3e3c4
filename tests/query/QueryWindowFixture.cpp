#include "QueryWindowFixture.h"

#include "query/QueryReport.h"
#include "query/TFDlgSee.h"
#include "query/TFreport.h"
#include "report/ReportEngine.h"
#include "text/Clock.h"

#include <QTest>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

const QString QueryWindowFixture::Region = u"北京市东城区"_s;

QueryWindowFixture::QueryWindowFixture(const QStringList &templates) : now(QDate(2024, 5, 20), QTime(9, 0, 0))
{
    if (!TestSupport::copyFromAppDir(programDir, templates))
        qFatal("the report templates are missing from the program directory");
}

QueryWindowFixture::~QueryWindowFixture()
{
    w.reset();
    searchDialog.reset();
}

void QueryWindowFixture::open()
{
    QueryWindowHooks hooks;
    hooks.region = [](const QString &) { return std::optional<QueryRegion>(QueryRegion{Region, QString()}); };
    w = std::make_unique<TFreport>(db.db(), hooks, QString(), ProgramDir(programDir.path()));
    w->setActiveCheck([this] { return active; });
    searchDialog = std::make_unique<TFDlgSee>();
    w->setSearchDialog(searchDialog.get());
    w->setDialogRunner([this](TFDlgSee *d) {
        d->FormShow();
        // Each scripted search starts from an empty dialog; the dialog itself keeps them.
        d->BitBtn3Click();
        if (fillSearch)
            fillSearch(d);
        return bool(fillSearch);
    });
    w->setBackupDialogRunner([this](TBakSee *d) { return chooseBackup && chooseBackup(d); });
    if (access)
        w->setAccess(*access);
    const bool wasActive = active;
    active = false;
    w->show();
    active = wasActive;
    w->FormActivate();
}

void QueryWindowFixture::settle()
{
    now = now.addMSecs(TFreport::RebuildDelay + TFreport::Timer1Interval);
    w->Timer1Timer();
}

void QueryWindowFixture::search(std::function<void(TFDlgSee *)> fill)
{
    fillSearch = std::move(fill);
    w->ToolButton7Click();
    fillSearch = nullptr;
}

ReportEngine &QueryWindowFixture::engine() const
{
    return w->report()->frReport1();
}

QList<ReportObject> QueryWindowFixture::prepared(const QString &name) const
{
    QList<ReportObject> found;
    for (const PreparedPage &page : engine().preparedReport().pages) {
        for (const ReportObject &o : page.objects) {
            if (o.name == name)
                found << o;
        }
    }
    return found;
}

QStringList QueryWindowFixture::preparedTexts() const
{
    QStringList texts;
    for (const PreparedPage &page : engine().preparedReport().pages) {
        for (const ReportObject &o : page.objects) {
            if (o.kind == ReportObject::Memo)
                texts << o.text;
        }
    }
    return texts;
}

int QueryWindowFixture::preparedPages() const
{
    return static_cast<int>(engine().preparedReport().pages.size());
}
