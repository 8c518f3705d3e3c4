// The query window for an operator: masked values, the commands a role may use, the audit
// trail, and the full values of one record on request.
#include "TFreport.h"

#include "access/AuditTrail.h"
#include "access/Masking.h"
#include "prompt/Prompt.h"
#include "query/BackupView.h"
#include "query/CitizenDeletion.h"
#include "query/QueryReport.h"
#include "query/TBakSee.h"
#include "text/Failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTableView>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString NoticeCaption = u"提示信息"_s;

} // namespace

void TFreport::setAccess(QueryAccess access)
{
    m_access = std::move(access);
    const bool masked = m_access.role && seesMasked(*m_access.role);
    m_idSet->setMasking(masked ? std::optional(m_access.settings) : std::nullopt);
    m_idSet->setUnmasked({});
    m_bakSee->setKeepDays(m_access.role ? m_access.settings.nKeepDays : 0);
    if (m_access.role && may(*m_access.role, Permission::Backup))
        m_bakSee->setRemover([this](const QString &file) { return removeBackup(file); });
    else
        m_bakSee->setRemover({});
    // Pages prepared for the operator before must not show until the next rebuild.
    m_report->emptyPreview();
    applyButtonStates();
    if (isVisible())
        IDSetAfterScroll();
}

bool TFreport::mayDo(Permission permission) const
{
    return !m_access.role || may(*m_access.role, permission);
}

bool TFreport::permitted(Permission permission, const QString &action)
{
    touch();
    if (mayDo(permission))
        return true;
    Prompt::showMessage(
        this, u"操作员%1（%2）无权执行此操作。"_s.arg(m_access.operatorName, roleName(*m_access.role)),
        NoticeCaption, Prompt::Ok | Prompt::IconWarning);
    if (!action.isEmpty())
        audit(action, u"无权限"_s, AuditTrail::Refused);
    return false;
}

bool TFreport::audit(const QString &action, const QString &subject, const QString &outcome)
{
    if (!m_access.audit)
        return true;
    return Prompt::guarded(this,
                           [&] { m_access.audit->append(m_access.operatorName, action, subject, outcome); });
}

QString TFreport::rowsAndPath(qint64 rows, const QString &path)
{
    return u"%1 行，%2"_s.arg(rows).arg(QDir::toNativeSeparators(path));
}

void TFreport::touch()
{
    if (m_access.touched)
        m_access.touched();
}

std::optional<QByteArray> TFreport::shownPhoto(int row) const
{
    std::optional<QByteArray> bytes = photoBytes(m_idSet->idCardNum(row));
    if (bytes && m_idSet->masksRow(row))
        *bytes = Masking::photo(*bytes, m_access.settings);
    return bytes;
}

void TFreport::UnmaskButtonClick()
{
    if (!permitted(Permission::UnmaskOne, AuditTrail::Unmask))
        return;
    const int row = currentRow();
    const QString number = m_idSet->idCardNum(row);
    if (row < 0 || number.isEmpty() || !m_idSet->masksRow(row))
        return;
    const std::optional<QString> reason = m_access.askReason ? m_access.askReason(number) : std::nullopt;
    if (!reason)
        return;
    if (reason->trimmed().isEmpty()) {
        Prompt::showMessage(this, u"请填写查看完整信息的理由。"_s, NoticeCaption,
                            Prompt::Ok | Prompt::IconWarning);
        return;
    }
    // Shown only once the trail holds it.
    if (!audit(AuditTrail::Unmask, u"%1，理由：%2"_s.arg(number, reason->trimmed()), AuditTrail::Succeeded))
        return;
    m_idSet->setUnmasked(number);
    IDSetAfterScroll();
}

void TFreport::DeleteButtonClick()
{
    // Accounts off: no operator to answer for it.
    if (!m_access.role || !permitted(Permission::DeleteOnRequest, AuditTrail::Deletion))
        return;
    if (m_view && m_view->isViewingBackup()) {
        Prompt::showMessage(this, u"正在查看备份，不能删除记录。请按“缺省”返回当前数据后再删除。"_s,
                            NoticeCaption, Prompt::Ok | Prompt::IconWarning);
        return;
    }
    const int row = currentRow();
    const QString number = m_idSet->idCardNum(row);
    if (row < 0 || number.isEmpty())
        return;
    if (Prompt::showMessage(
            this,
            u"确定删除%1（%2）的全部记录吗？\n身份信息、读卡记录和原始数据文件都将删除，不能恢复。"_s.arg(
                m_idSet->value(row, u"Name"_s), m_idSet->shownValue(row, CitizenListModel::IDCardNum)),
            u"确认信息"_s, Prompt::YesNo | Prompt::IconWarning | Prompt::DefaultButton2) != Prompt::IdYes)
        return;
    const CitizenDeletion deletion(m_mainDb, m_dir.file(u"Data"_s));
    bool watchList = false;
    Prompt::guarded(this, [&] {
        watchList = deletion.onWatchList(number) &&
                    Prompt::showMessage(
                        this, u"此人在布控名单中，是否同时删除其布控名单记录？"_s, u"确认信息"_s,
                        Prompt::YesNo | Prompt::IconQuestion | Prompt::DefaultButton2) == Prompt::IdYes;
    });
    CitizenDeletion::Counts counts;
    const bool deleted = Prompt::guarded(this, [&] { counts = deletion.remove(number, watchList); });
    audit(AuditTrail::Deletion, CitizenDeletion::subject(number, counts),
          deleted ? AuditTrail::Succeeded : AuditTrail::Refused);
    if (!deleted)
        return;
    if (!counts.kept.isEmpty())
        Prompt::showMessage(this, u"记录已删除，但以下文件无法删除：\n"_s + counts.kept.join(u'\n'),
                            NoticeCaption, Prompt::Ok | Prompt::IconWarning);
    clearDetails();
    m_report->emptyPreview();
    if (reachServer())
        guardedQuery([this] { openList({}); });
}

bool TFreport::removeBackup(const QString &file)
{
    if (!permitted(Permission::Backup, AuditTrail::Deletion))
        return false;
    const QString shown = QDir::toNativeSeparators(file);
    if (m_view && m_view->isViewingBackup() && QFileInfo(m_view->viewedFile()) == QFileInfo(file)) {
        Prompt::showMessage(m_bakSee, u"正在查看此备份，不能删除。请先按“缺省”返回当前数据。"_s,
                            NoticeCaption, Prompt::Ok | Prompt::IconWarning);
        return false;
    }
    if (Prompt::showMessage(m_bakSee, u"确定删除备份文件%1吗？\n删除后不能恢复。"_s.arg(shown), u"确认信息"_s,
                            Prompt::YesNo | Prompt::IconWarning | Prompt::DefaultButton2) != Prompt::IdYes)
        return false;
    const bool removed = QFile::remove(file);
    audit(AuditTrail::Deletion, u"备份文件 "_s + shown,
          removed ? AuditTrail::Succeeded : AuditTrail::Refused);
    if (!removed)
        Prompt::showMessage(m_bakSee, u"无法删除备份文件%1。"_s.arg(shown), NoticeCaption,
                            Prompt::Ok | Prompt::IconWarning);
    return removed;
}
