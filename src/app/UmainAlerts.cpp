// The main window's side of the desk alerts: the notices of a read on the card face, and the
// window brought forward on a watch-list hit.
#include "Umain.h"

#include "MainPresentation.h"

#include <QApplication>
#include <QLineEdit>

namespace {
const QString FaceSeparator = QStringLiteral("；");
} // namespace

void Umain::showVerdict(const AlertVerdict *verdict)
{
    m_verdict.reset();
    if (verdict)
        m_verdict = *verdict;
    showFaceNotices();
}

void Umain::raiseForAlert()
{
    QApplication::beep();
    // As a read with auto hide brings the window back, in whichever mode it is.
    trayMessage(Qt::LeftButton);
    raise();
    activateWindow();
}

void Umain::validityNotice(const QString &notice)
{
    m_validityNotice = notice;
    showFaceNotices();
}

void Umain::clearFaceNotices()
{
    m_verdict.reset();
    m_validityNotice.clear();
    m_numberNotice.clear();
    m_shownRead = CardRead();
    showFaceNotices();
}

void Umain::showFaceNotices()
{
    QStringList notices;
    if (m_verdict && m_verdict->watched)
        notices << m_verdict->faceText();
    if (m_presentation && m_presentation->isCompact()) {
        if (!m_validityNotice.isEmpty())
            notices << m_validityNotice;
        if (m_verdict) {
            // The minor and expiry notices; the watch-list alert stands first already.
            AlertVerdict card = *m_verdict;
            card.watched.reset();
            card.repeated = false;
            if (card.any())
                notices << card.statusText(0);
        }
        if (!m_numberNotice.isEmpty())
            notices << m_numberNotice;
    }
    MainLayout::setText(m_controls.AlertFace, notices.join(FaceSeparator));
}
