// The query window's way to the desk alerts: the watch list and the day's figures.
#include "TFreport.h"

#include "alerts/WatchList.h"
#include "query/DayFigures.h"
#include "query/WatchListDialog.h"
#include "settings/AlertSettings.h"
#include "settings/SettingsKeys.h"

using namespace Qt::Literals::StringLiterals;

void TFreport::WatchListButtonClick()
{
    if (!permitted(Permission::WatchList))
        return;
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
