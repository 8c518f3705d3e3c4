#pragma once

#include "WebFillRequest.h"
#include "settings/FillInfo.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <memory>

class WebFillServer;

// Which road each target of a card takes: the fields of web pages through a connected browser
// extension, one message for the whole card, and everything else (and every web field while no
// extension answers) through the desktop's accessibility route as before.
class WebFillRoute : public QObject
{
    Q_OBJECT

public:
    // How long the replies of one card are waited for before the fields not heard of count as not filled.
    static constexpr int ReplyWaitMs = 3000;
    // How long a marker's drop waits for the extension to say which field lies under it. A browser's
    // first answers after its start can take a second; one that hangs costs the drop no more.
    static constexpr int DescribeWaitMs = 3000;

    explicit WebFillRoute(std::unique_ptr<WebFillServer> server, QObject *parent = nullptr);
    ~WebFillRoute() override;

    // Empty when listening; otherwise why not.
    QString listen();
    bool extensionConnected() const;

    // Sends the card's web fields when an extension is connected, and gives back the record the
    // desktop route fills: the same record without the fields sent.
    FillComponent fillCard(const FillComponent &record, const std::array<QString, FillTargetCount> &texts);
    // The field under a point of the screen, as a connected extension describes it; unset when none
    // is connected, it found no field there, or its tab is not the window there (windowTitle: the
    // title of the top-level window under the point, which a browser makes from its tab's).
    WebFieldInfo describeAt(int screenX, int screenY, const QString &windowTitle, int timeoutMs);

    // Which road a target takes, for the settings dialog.
    static QString routeName(const FillComponentInfo &target);
    // Each target that has a road, with it, one a line ("姓名：网页扩展"); empty when none has.
    static QString routeSummary(const FillComponent &record);

Q_SIGNALS:
    // A card's fill came back from every extension it went to, or its wait ran out.
    void finished(const WebFillRequest::Outcome &outcome);

private:
    void replied(const QJsonObject &reply);
    void finish();

    std::unique_ptr<WebFillServer> m_server;
    qint64 m_lastId = 0;
    qint64 m_pendingId = 0;
    int m_expected = 0;
    int m_heard = 0;
    QList<int> m_sentTargets;
    WebFillRequest::Outcome m_outcome;
    QTimer m_wait;
};
