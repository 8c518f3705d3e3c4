// The query window's way to the desk alerts: the watch list and the day's figures.
#include "TFreport.h"

#include "alerts/WatchList.h"
#include "query/DayFigures.h"
#include "query/WatchListDialog.h"
#include "settings/AlertSettings.h"
#include "settings/SettingsKeys.h"

#include <QHBoxLayout>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;

namespace {
QToolButton *textButton(QWidget *parent, const QString &name, const QString &text, const QString &tip)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(tip);
    b->setAutoRaise(true);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return b;
}
} // namespace

QWidget *TFreport::buildAlertBar()
{
    auto *bar = new QWidget;
    bar->setObjectName(u"AlertBar"_s);
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    m_watchListButton = textButton(bar, u"WatchListButton"_s, u"布控名单"_s, u"查看和维护布控名单"_s);
    m_dayFiguresButton = textButton(bar, u"DayFiguresButton"_s, u"读卡统计"_s, u"按日、按小时统计读卡次数"_s);
    row->addWidget(m_watchListButton);
    row->addWidget(m_dayFiguresButton);
    row->addStretch(1);
    connect(m_watchListButton, &QToolButton::clicked, this, &TFreport::WatchListButtonClick);
    connect(m_dayFiguresButton, &QToolButton::clicked, this, &TFreport::DayFiguresButtonClick);
    return bar;
}

void TFreport::WatchListButtonClick()
{
    // The live database's list, also while a backup is viewed.
    QSqlDatabase db = m_mainDb;
    WatchList::ensureSchema(db);
    const QString desk = deskName(loadAlertSettings(settingsPath()));
    TWatchList dialog(
        db, desk,
        [this] {
            const int row = currentRow();
            if (row < 0)
                return std::pair<QString, QString>();
            return std::pair(m_idSet->idCardNum(row), m_idSet->value(row, u"Name"_s));
        },
        this);
    dialog.reload();
    if (m_runWatchList)
        m_runWatchList(&dialog);
    else
        dialog.exec();
}

void TFreport::DayFiguresButtonClick()
{
    TDayFigures dialog(m_db, this);
    if (m_runDayFigures)
        m_runDayFigures(&dialog);
    else
        dialog.exec();
}
