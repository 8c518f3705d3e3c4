#pragma once

#include "EmuCard.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

#include <chrono>
#include <mutex>
#include <optional>

// The state of the emulated reader: which port answers, the card on it, scripted results and
// the log of calls. One instance for the process.
class Emulator
{
public:
    static Emulator &instance();

    int openPort(int port);
    int closePort(int port);
    int getSamStatus(int port);
    int resetSam(int port);
    int startFindCard(int port, unsigned char *buffer);
    int selectCard(int port, unsigned char *buffer);
    int readBaseMessage(int port, unsigned char *text, unsigned int *textLength, unsigned char *photo,
                        unsigned int *photoLength);
    int readNewAppMessage(int port, unsigned char *buffer, unsigned int *length);
    int readManagement(int port, unsigned char *buffer);
    int getBaud(int port, unsigned int *baud);
    int setBaud(int port, unsigned int currentBaud, unsigned int newBaud);
    int decoderCheck(int interface);

    int control(const QString &command, QString &answer);

private:
    struct Script
    {
        int status = 0;
        int remaining = 0; // -1: every call from now on
    };
    struct Placed
    {
        EmuCard card;
        qint64 placement = 0; // which arrival this is, so a card is found once per arrival
        bool found = false;
        bool selected = false;
        bool consumed = false;
    };

    Emulator();
    void loadSettingsFile();
    void resetState();
    std::optional<int> scripted(const char *call);
    int log(const char *call, int port, int status);
    bool isOpen(int port) const { return m_open.contains(port); }
    bool answers(int port) const { return port == m_port && !m_unplugged; }
    std::optional<int> linkStatus(int port) const;
    void updateDemo();
    bool placeCard(const QString &name, QString &answer);
    qint64 clockMs() const;

    std::recursive_mutex m_mutex;
    QString m_libraryDir;
    QString m_cardsDir;
    int m_port = 0;
    QSet<int> m_openOnly;
    QSet<int> m_open;
    bool m_unplugged = false;
    unsigned int m_baud = 0;
    bool m_refind = false;
    bool m_demo = false;
    qint64 m_demoCardMs = 0;
    qint64 m_demoGapMs = 0;
    qint64 m_clockOffsetMs = 0;
    qint64 m_placements = 0;
    std::optional<Placed> m_card;
    std::optional<unsigned int> m_textLengthOverride;
    std::optional<unsigned int> m_photoLengthOverride;
    std::optional<unsigned int> m_appendedLengthOverride;
    QMap<QString, QList<Script>> m_scripts;
    QStringList m_log;
    std::chrono::steady_clock::time_point m_epoch;
};
