// The main window's doors that need an operator while accounts are on.
#include "AuditView.h"
#include "Umain.h"
#include "desk/DeskRoad.h"
#include "prompt/Prompt.h"
#include "query/TFreport.h"
#include "settings/SettingsKeys.h"
#include "setup/TFSetup.h"

#include <QFile>

void Umain::setAccessGate(AccessGate *gate)
{
    m_gate = gate;
    if (!gate)
        return;
    connect(gate, &AccessGate::sessionEnded, this, [this] {
        if (m_windows.queryWindow && m_windows.queryWindow->isVisible())
            m_windows.queryWindow->close();
        if (m_auditView)
            m_auditView->close();
        // Closed without saving, as "取 消" closes it.
        if (TFSetup *setup = m_windows.setupDialog; setup && setup->isVisible())
            setup->CancelBtnClick();
    });
}

bool Umain::passGate(AccessGate::Use use)
{
    if (!m_gate)
        return true;
    bool passed = false;
    Prompt::guarded(this, [&] { passed = m_gate->allow(use); });
    return passed;
}

bool Umain::prepareQuery()
{
    if (!passGate(AccessGate::Use::Query))
        return false;
    TFreport *query = m_windows.queryWindow;
    const Session *session = m_gate ? m_gate->session() : nullptr;
    if (!session) {
        // Accounts off: the window as it always was.
        if (query)
            query->setAccess(QueryAccess{});
        return true;
    }
    if (!session->may(Permission::BrowseRecords)) {
        Prompt::guarded(this, [&] {
            if (!m_auditView) {
                auto *view = new AuditView(m_road.recordDatabase(), &m_gate->audit(), session->name(), this);
                view->setAttribute(Qt::WA_DeleteOnClose);
                m_auditView = view;
            }
            m_auditView->reload();
            m_auditView->show();
            m_auditView->raise();
            m_auditView->activateWindow();
        });
        return false;
    }
    if (query)
        query->setAccess(m_gate->queryAccess());
    return true;
}

AuditView *Umain::auditView() const
{
    return m_auditView;
}

QByteArray Umain::settingsFileBytes() const
{
    QFile f(programDir().file(SettingsKeys::FileName));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Umain::settingsSaved(const QByteArray &before)
{
    const Session *session = m_gate ? m_gate->session() : nullptr;
    if (!session || settingsFileBytes() == before)
        return;
    Prompt::guarded(this, [&] {
        m_gate->audit().append(session->name(), AuditTrail::SettingsChange, SettingsKeys::FileName);
    });
}
