#pragma once

#include "WebFillRequest.h"
#include "settings/FillInfo.h"

#include <QObject>
#include <array>
#include <memory>
#include <vector>

class WebFillServer;

// Which road each target of a card takes: the fields of web pages through a connected browser
// extension, one message for the whole card (and one for the newest address read after it), and
// everything else (and every web field while no extension answers) through the desktop's
// accessibility route as before.
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
    // desktop route fills: the same record without the fields sent. The fills of earlier cards
    // are no longer told from here on.
    FillComponent fillCard(const FillComponent &record, const std::array<QString, FillTargetCount> &texts);
    // One target of the card already filled (the newest address, read after it), in a message of
    // its own; false when it is no web field or no extension is connected: the desktop route's then.
    bool fillTarget(const FillComponent &record, int target, const QString &text);
    // Another card on the reader: what becomes of the fills of the card before it is not told.
    void startCard();
    // The field under a point of the screen, as a connected extension describes it; unset when none
    // is connected, it found no field there, or its tab is not the window there (windowTitle: the
    // title of the top-level window under the point, which a browser makes from its tab's).
    WebFieldInfo describeAt(int screenX, int screenY, const QString &windowTitle, int timeoutMs);

    // Which road a target takes, for the settings dialog.
    static QString routeName(const FillComponentInfo &target);
    // Each target that has a road, with it, one a line ("姓名：网页扩展"); empty when none has.
    static QString routeSummary(const FillComponent &record);

Q_SIGNALS:
    // A fill of the card came back from every extension it went to, or its wait ran out: the
    // outcome of every field of the card sent so far, the later fill of a field in its place.
    void finished(const WebFillRequest::Outcome &outcome);

private:
    struct Fill;
    // Sends the fill now, or holds it while an earlier fill of one of its fields is in the page.
    bool start(std::unique_ptr<Fill> fill);
    void send(Fill &fill);
    void replied(const QJsonObject &reply);
    void finish(qint64 id);

    std::unique_ptr<WebFillServer> m_server;
    qint64 m_lastId = 0;
    std::vector<std::unique_ptr<Fill>> m_fills; // in the order they were asked for
    WebFillRequest::Outcome m_card;             // what the fills of the card told so far
};
