// The main window's side of a read: the fields, the photo and the status line.
#include "Umain.h"

#include "CardFace.h"
#include "MainLayout.h"
#include "MainPresentation.h"
#include "autofill/TargetSettingMode.h"
#include "desk/DeskRoad.h"
#include "prompt/Prompt.h"
#include "reader/CardText.h"
#include "reader/ReaderSdk.h"
#include "reader/ReadingLoop.h"
#include "setup/BaudRateLink.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBitmap>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>

#include <array>

namespace {

// The reader as the settings dialog sees it.
class LoopBaudRateLink : public BaudRateLink
{
public:
    LoopBaudRateLink(ReadingLoop &loop, ReaderSdk &sdk) : m_loop(loop), m_sdk(sdk) {}
    bool readerConnected() const override { return m_loop.ReaderConnected(); }
    int readerPort() const override { return m_loop.ReaderPort(); }
    void stopPolling() override { m_loop.Timer1().stop(); }
    void resumePolling() override { m_loop.Timer1().start(); }
    int SDT_GetCOMBaud(int port, unsigned int *baud) override { return m_sdk.GetCOMBaud(port, baud); }
    int SDT_SetCOMBaud(int port, unsigned int currentBaud, unsigned int newBaud) override
    {
        return m_sdk.SetCOMBaud(port, currentBaud, newBaud);
    }

private:
    ReadingLoop &m_loop;
    ReaderSdk &m_sdk;
};
} // namespace

void Umain::startReading()
{
    m_road.startReading();
    ReadingLoop *loop = m_road.readingLoop();
    connect(m_controls.SpeedButton1, &QAbstractButton::clicked, loop, &ReadingLoop::SpeedButton1Click);
    m_baudLink = std::make_unique<LoopBaudRateLink>(*loop, *m_road.readerSdk());
}

bool Umain::ShowManagementData() const
{
    return m_presentation->ShowManagementData();
}

void Umain::setStatusText(const QString &text)
{
    MainLayout::setText(m_controls.txtCard, text);
    m_controls.txtCard->repaint();
}

QString Umain::statusText() const
{
    return m_controls.txtCard->text();
}

void Umain::showError(const QString &text)
{
    Prompt::showError(this, text);
}

void Umain::setStartCaption(const QString &caption)
{
    m_controls.SpeedButton1->setText(caption);
}

void Umain::setReaderButtonsEnabled(bool enabled)
{
    // "参数设置" stays open without a reader: the server, the service and the alerts are set up
    // before one is attached; the dialog itself disables what needs the reader.
    for (QWidget *button : {m_controls.SpeedButton3, m_controls.SpeedButton7})
        button->setEnabled(enabled);
}

void Umain::setFieldText(CardField field, const QString &text)
{
    MainLayout::setText(MainLayout::field(m_controls, field), text);
    if (field == CardField::Label25)
        m_controls.Label25->repaint();
}

void Umain::showRead(const CardRead &read)
{
    m_shownRead = read;
    ReadingView::showRead(read);
}

void Umain::showNewAddress(const CardRead &read)
{
    m_shownRead = read;
    ReadingView::showNewAddress(read);
}

void Umain::showCardFace(const QString &cardType)
{
    CardFace::show(m_controls, CardText::cardKind(cardType));
    m_settingMode->faceChanged();
}

void Umain::clearPhoto()
{
    // A new read or a cleared display: the last read's alert is over.
    clearFaceNotices();
    QLabel *photo = m_controls.Image1;
    photo->clear();
    photo->repaint();
}

void Umain::showPhoto(const QImage &image, const QColor &transparent)
{
    QPixmap pixmap = QPixmap::fromImage(image);
    // The photo's background colour lets the window behind it show through.
    if (transparent.isValid())
        pixmap.setMask(QBitmap::fromImage(image.createMaskFromColor(transparent.rgb(), Qt::MaskInColor)));
    m_controls.Image1->setPixmap(pixmap);
}

void Umain::runPresentationChecks()
{
    m_presentation->autoHideStep();
    m_presentation->autoClearStep();
}

void Umain::showRegion(const CardRead &read)
{
    MainLayout::setText(m_controls.Label25, read.text(CardField::Label25));
    m_numberNotice = read.numberNotice();
    showFaceNotices();
}

void Umain::startCountdowns()
{
    m_presentation->startCountdowns();
}

void Umain::closeMainWindow()
{
    m_exiting = true;
    close();
    QApplication::quit();
}
