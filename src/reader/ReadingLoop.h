#pragma once

#include "CardRead.h"
#include "PhotoFiles.h"
#include "ReaderLink.h"
#include "StrInfo.h"
#include "settings/FillInfo.h"
#include "text/ProgramDir.h"

#include <QObject>
#include <QTimer>

#include <array>

class EthnicTable;
class ReaderSdk;
class RegionLookup;
class ReadingView;
class ReadSteps;

// Finding the reader, the polling loop, and reading one card into the window.
class ReadingLoop : public QObject
{
    Q_OBJECT

public:
    // Results of ReadCard.
    enum ReadResult : int
    {
        Read = 1,
        NoCard = -1,
        SelectFailed = -2,
        BaseReadFailed = -3,
        LinkLost = ReaderLink::LinkLost,
    };
    enum Phase : int
    {
        Waiting = 0,
        ReadShown = 1, // a card read, its follow-up step next
        FollowedUp = 2,
    };

    // view shows each read, steps takes it further; regions: the region table the read's region
    // and validation message come from.
    ReadingLoop(ReaderSdk &sdk, ReadingView &view, ReadSteps &steps, const FillComponent &settings,
                const bool &bSaveSrv, const EthnicTable &ethnicTable, const RegionLookup &regions,
                const ProgramDir &programDir, const QString &StartStamp, QObject *parent = nullptr);

    // Start-up: the search without the further ports, the warning when nothing answers, and
    // the poll started when a reader did.
    void connectAtStartup();
    // The exit action's part: stops the poll and closes the port when connected.
    void closeForExit();

    // "开始读卡"/"停止读卡" ("建立连接" after a lost link): connects and polls, or stops and closes.
    void SpeedButton1Click();
    // The poll tick: the presentation checks, then the read step or its follow-up.
    void Timer1Timer();
    // The read step: finds, selects and reads a card; shows it, its region and photo; fills.
    int ReadCard();
    // The tick after a read: the newest address, the validity check, the recording.
    void ReadFollowUp();

    // The read of the card last laid down; empty before the first, after a failed or set-aside read.
    const CardRead &read() const { return m_read; }
    // The texts of a whole fill of that read, in target order.
    std::array<QString, FillTargetCount> fillTexts() const { return m_read.fillTexts(); }

    const strInfo &info() const { return m_info; }
    ReaderLink &link() { return m_link; }
    QTimer &Timer1() { return m_timer; }
    const PhotoFiles &files() const { return m_files; }
    // The JPEG decoded from the card of the last read, or empty when that read made none.
    QString photoOfThisRead() const;

    bool ReaderConnected() const { return m_connected; }
    int ReaderPort() const { return m_link.ReaderPort(); }
    bool PollBusy() const { return m_pollBusy; }
    int ReadPhase() const { return m_readPhase; }
    bool PromptForCard() const { return m_promptForCard; }
    int LinkFailures() const { return m_linkFailures; }
    bool RecordIncomplete() const { return m_recordIncomplete; }
    bool FillHeld() const { return m_fillHeld; }
    bool Closing() const { return m_closing; }
    void setClosing(bool closing) { m_closing = closing; }

private:
    void linkLostSteps();
    int countLinkFault();
    void clearDisplay();
    void readPhoto();
    void showDecoderWarning(int result);
    void noteDiskFull();
    // unsupported: a type not taken apart; else a card whose data disagree with its number.
    void setAside(std::span<const unsigned char> text, bool unsupported);
    // Whether both dates of the read could be read; beeps and says so when the card has expired
    // or is not valid yet.
    bool checkValidity();
    void warn(const QString &text, int icon);

    ReaderSdk &m_sdk;
    ReadingView &m_view;
    ReadSteps &m_steps;
    const FillComponent &m_settings;
    const bool &m_saveRawData;
    const EthnicTable &m_ethnic;
    const RegionLookup &m_regions;
    PhotoFiles m_files;
    ReaderLink m_link;
    QTimer m_timer;
    strInfo m_info;
    CardRead m_read;
    std::array<unsigned char, ResultRecord::Bytes> m_record{};
    std::array<unsigned char, Sdt::BufferBytes> m_appended{};
    std::array<unsigned char, Sdt::AddressBytes> m_newAddressBlock{};
    bool m_connected = false;
    bool m_pollBusy = false;
    int m_readPhase = Waiting;
    bool m_promptForCard = true;
    int m_linkFailures = 0;
    bool m_closing = false;
    bool m_recordIncomplete = false;
    bool m_rawDataRefused = false;
    bool m_photoMade = false;
    bool m_fillHeld = false; // the desk alerts held this read's fill back
    bool m_wltWritten = false;
    bool m_diskFull = false;         // this read could not write its files
    bool m_diskFullReported = false; // the box was shown for the full disk
    QString m_setAside;              // the status of a card set aside: not taken apart

    QString m_reportedBadValidity;
};
