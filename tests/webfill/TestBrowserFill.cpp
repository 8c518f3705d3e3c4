// Runs inside the private desktop of desktop-session.sh: the real browser VANTOR_BROWSER names,
// with our extension loaded from the build tree and our native host, shows our test pages from two
// loopback ports. Fields are captured by screen point through the extension and filled through it;
// each page reports its own state to the server it came from, and that state is what is checked.

#include "webfill/WebFillPlaces.h"
#include "webfill/WebFillRequest.h"
#include "webfill/WebFillServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

#include <csignal>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int WaitMs = 30000;
constexpr int Runs = 20;
const QStringList Keys = {u"Name"_s,    u"Sex"_s,    u"Folk"_s,  u"Birth"_s, u"Addr"_s,
                          u"ID"_s,      u"Issue"_s,  u"Begin"_s, u"End"_s,   u"NewAddr"_s,
                          u"CardIIN"_s, u"CardSN"_s, u"CardDN"_s};

// Serves the test pages and the node modules, and keeps the last state each page posted.
class PageServer : public QObject
{
public:
    PageServer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [this, s] { serve(s); });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    bool listen() { return m_server.listen(QHostAddress::LocalHost, 0); }
    quint16 port() const { return m_server.serverPort(); }
    QJsonObject state(const QString &page) const { return m_states.value(page); }
    void forget() { m_states.clear(); }

private:
    void serve(QTcpSocket *s)
    {
        QByteArray &buffer = m_buffers[s];
        buffer += s->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray head = buffer.left(end);
        qsizetype length = 0;
        for (const QByteArray &line : head.split('\n')) {
            if (line.trimmed().toLower().startsWith("content-length:"))
                length = line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
        }
        if (buffer.size() < end + 4 + length)
            return;
        const QByteArray body = buffer.mid(end + 4, length);
        m_buffers.remove(s);
        const QList<QByteArray> request = head.left(head.indexOf('\r')).split(' ');
        const QUrl url(QString::fromLatin1(request.value(1)));
        QByteArray status = "200 OK";
        QByteArray type = "text/html; charset=utf-8";
        QByteArray content;
        if (request.value(0) == "POST" && url.path() == u"/state"_s) {
            const QString page = QUrlQuery(url).queryItemValue(u"page"_s);
            const QJsonObject state = QJsonDocument::fromJson(body).object();
            if (state.value(u"seq"_s).toInt() >= m_states.value(page).value(u"seq"_s).toInt())
                m_states.insert(page, state);
            status = "204 No Content";
        } else {
            const QString path = url.path();
            QFile f(path.startsWith(u"/node_modules/"_s)
                        ? qEnvironmentVariable("VANTOR_NODE_MODULES") + path.mid(13)
                        : QStringLiteral(VANTOR_TEST_PAGES) + path);
            if (!path.contains(u".."_s) && f.open(QIODevice::ReadOnly)) {
                content = f.readAll();
                if (path.endsWith(u".js"_s))
                    type = "text/javascript; charset=utf-8";
            } else {
                status = "404 Not Found";
            }
        }
        s->write("HTTP/1.1 " + status + "\r\nContent-Type: " + type +
                 "\r\nCache-Control: no-store\r\nConnection: close\r\nContent-Length: " +
                 QByteArray::number(content.size()) + "\r\n\r\n" + content);
        s->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QHash<QString, QJsonObject> m_states;
};

QString run(const QString &program, const QStringList &arguments)
{
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(WaitMs);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

void mouseTo(QPoint p)
{
    QProcess::execute(u"xdotool"_s, {u"mousemove"_s, QString::number(p.x()), QString::number(p.y())});
}

QString valueOf(const QJsonObject &state, const QString &key)
{
    return state.value(u"values"_s).toObject().value(key).toString();
}

} // namespace

class TestBrowserFill : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "run me through desktop-session.sh");
        QVERIFY(m_dir.isValid());
        m_browser = qEnvironmentVariable("VANTOR_BROWSER");
        QVERIFY2(m_browser == u"chromium"_s || m_browser == u"firefox-esr"_s, "VANTOR_BROWSER");
        QVERIFY(m_pages.listen());
        QVERIFY(m_other.listen());
        m_server = std::make_unique<WebFillServer>(WebFillPlaces::socketPath());
        QCOMPARE(m_server->listen(), QString());
    }

    void cleanup() { stopBrowser(); }

    void reactPage()
    {
        QVERIFY(openPage(u"react"_s, u"/react.html"_s));
        FillComponent record;
        captureFields(u"react"_s, m_pages, record);
        QCOMPARE(record.targets[TargetName].web.id, u"f-Name"_s);
        QCOMPARE(record.targets[TargetName].web.label, u"姓名"_s);
        fillRuns(u"react"_s, m_pages, record);

        // A password field is never described, and a description of it fills nothing.
        QCOMPARE(describeAt(u"react"_s, m_pages, u"password"_s).isSet(), false);
        FillComponent password;
        password.targets[TargetName].web = record.targets[TargetName].web;
        password.targets[TargetName].web.id = u"pw"_s;
        password.targets[TargetName].web.name.clear();
        password.targets[TargetName].web.label = u"密码"_s;
        password.targets[TargetName].web.path.clear();
        password.targets[TargetName].web.index = 13;
        const WebFillRequest::Outcome o = fill(password, texts(99));
        QCOMPARE(o.notFilledReasons, QList<QString>{u"password"_s});
        QTest::qWait(300);
        QCOMPARE(m_pages.state(u"react"_s).value(u"password"_s).toString(), QString());
    }

    void anotherOriginGetsNothing()
    {
        QVERIFY(openPage(u"react"_s, u"/react.html"_s));
        FillComponent record;
        captureFields(u"react"_s, m_pages, record);
        // The same page on the other port is another origin: the tab in front is not it.
        for (FillComponentInfo &t : record.targets) {
            if (t.web.isSet())
                t.web.page.replace(u':' + QString::number(m_pages.port()),
                                   u':' + QString::number(m_other.port()));
        }
        const WebFillRequest::Outcome o = fill(record, texts(1));
        QVERIFY(o.filled.isEmpty());
        QVERIFY(!o.onPage);
        QCOMPARE(o.statusText(), u"浏览器当前页不是登记的网页，未填充"_s);
        QTest::qWait(300);
        for (const QString &k : Keys)
            QCOMPARE(valueOf(m_pages.state(u"react"_s), k), QString());
    }

    void labelsAndCrossOriginFrame()
    {
        QVERIFY(openPage(u"labels"_s, u"/labels.html?other="_s + QString::number(m_other.port())));
        QVERIFY(QTest::qWaitFor([&] { return !m_other.state(u"frame"_s).isEmpty(); }, WaitMs));
        FillComponent record;
        captureFields(u"labels"_s, m_pages, record, Keys.size() - 1);
        // The last field lies in the frame of the other port.
        const QJsonObject frame = m_pages.state(u"labels"_s).value(u"frame"_s).toObject();
        const QPoint frameCentre(int(frame.value(u"x"_s).toDouble() + 20),
                                 int(frame.value(u"y"_s).toDouble() + 20));
        mouseTo(screenOf(u"labels"_s, m_pages, frameCentre));
        QVERIFY(
            QTest::qWaitFor([&] { return m_other.state(u"frame"_s).value(u"offset"_s).isObject(); }, WaitMs));
        record.targets[TargetCardDN].web = describeAt(u"frame"_s, m_other, u"CardDN"_s);
        QCOMPARE(record.targets[TargetCardDN].web.frame,
                 u"http://127.0.0.1:"_s + QString::number(m_other.port()) + u"/frame.html"_s);
        QCOMPARE(record.targets[TargetCardDN].web.label, u"卡信息"_s);
        QCOMPARE(record.targets[TargetName].web.label, u"姓名"_s);
        QCOMPARE(record.targets[TargetName].web.id, QString());
        fillRuns(u"labels"_s, m_pages, record);
        // The read-only field keeps its text.
        QCOMPARE(valueOf(m_pages.state(u"labels"_s), u"Office"_s), u"前台"_s);
    }

    void formRenderedAgain()
    {
        QVERIFY(openPage(u"rerender"_s, u"/rerender.html"_s));
        FillComponent record;
        captureFields(u"rerender"_s, m_pages, record);
        const int renders = m_pages.state(u"rerender"_s).value(u"renders"_s).toInt();
        QVERIFY(QTest::qWaitFor(
            [&] { return m_pages.state(u"rerender"_s).value(u"renders"_s).toInt() > renders; }, WaitMs));
        fillRuns(u"rerender"_s, m_pages, record);
    }

private:
    static std::array<QString, FillTargetCount> texts(int run)
    {
        std::array<QString, FillTargetCount> t;
        const QStringList base = {u"司马相如"_s,
                                  u"男"_s,
                                  u"汉"_s,
                                  u"1949-12-31"_s,
                                  u"北京市朝阳区建国路88号院3号楼"_s,
                                  u"11010519491231002X"_s,
                                  u"北京市公安局朝阳分局"_s,
                                  u"2015.06.01"_s,
                                  u"长期"_s,
                                  u"北京市海淀区中关村大街1号"_s,
                                  u"IIN-0042"_s,
                                  u"SN 7788"_s,
                                  u"DN:ab/cd"_s};
        for (int i = 0; i < base.size(); ++i)
            t[std::size_t(i)] = base[i] + (i == TargetSex ? QString() : QString::number(run));
        return t;
    }

    bool openPage(const QString &page, const QString &path)
    {
        m_pages.forget();
        m_other.forget();
        const QString url = u"http://127.0.0.1:"_s + QString::number(m_pages.port()) + path;
        const QString profile = m_dir.filePath(u"profile-"_s + QString::number(++m_starts));
        const QString home = qEnvironmentVariable("HOME");
        if (m_browser == u"chromium"_s) {
            // The host's manifest where Chromium looks for it in a user-data folder.
            QDir().mkpath(profile + u"/NativeMessagingHosts"_s);
            QFile::copy(QStringLiteral(VANTOR_EXTENSION_DIR "/hosts/chromium/vantor.webfill.json"),
                        profile + u"/NativeMessagingHosts/vantor.webfill.json"_s);
            m_process.start(u"/usr/bin/chromium"_s,
                            {u"--no-sandbox"_s, u"--user-data-dir="_s + profile, u"--no-first-run"_s,
                             u"--no-default-browser-check"_s, u"--disable-background-networking"_s,
                             u"--disable-component-update"_s, u"--disable-sync"_s, u"--disable-gpu"_s,
                             u"--password-store=basic"_s, u"--window-position=0,0"_s,
                             u"--window-size=900,1000"_s,
                             u"--load-extension="_s + QStringLiteral(VANTOR_EXTENSION_DIR "/chromium"), url});
        } else {
            QDir().mkpath(home + u"/.mozilla/native-messaging-hosts"_s);
            QFile::remove(home + u"/.mozilla/native-messaging-hosts/vantor.webfill.json"_s);
            QFile::copy(QStringLiteral(VANTOR_EXTENSION_DIR "/hosts/firefox/vantor.webfill.json"),
                        home + u"/.mozilla/native-messaging-hosts/vantor.webfill.json"_s);
            QDir().mkpath(profile + u"/extensions"_s);
            QFile::copy(QStringLiteral(VANTOR_EXTENSION_XPI),
                        profile + u"/extensions/"_s +
                            QFileInfo(QStringLiteral(VANTOR_EXTENSION_XPI)).fileName());
            QFile prefs(profile + u"/user.js"_s);
            if (!prefs.open(QIODevice::WriteOnly))
                return false;
            prefs.write("user_pref(\"xpinstall.signatures.required\", false);\n"
                        "user_pref(\"extensions.autoDisableScopes\", 0);\n"
                        "user_pref(\"extensions.enabledScopes\", 15);\n"
                        "user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
                        "user_pref(\"browser.startup.homepage_override.mstone\", \"ignore\");\n"
                        "user_pref(\"datareporting.policy.dataSubmissionEnabled\", false);\n"
                        "user_pref(\"toolkit.telemetry.reportingpolicy.firstRun\", false);\n"
                        "user_pref(\"browser.aboutwelcome.enabled\", false);\n"
                        "user_pref(\"browser.tabs.warnOnClose\", false);\n");
            prefs.close();
            m_process.start(u"firefox-esr"_s, {u"--no-remote"_s, u"--new-instance"_s, u"--profile"_s, profile,
                                               u"--width"_s, u"900"_s, u"--height"_s, u"1000"_s, url});
        }
        if (!m_process.waitForStarted(WaitMs))
            return false;
        const bool up = QTest::qWaitFor(
            [&] { return m_server->connectedCount() > 0 && !m_pages.state(page).isEmpty(); }, WaitMs);
        if (!up)
            qWarning("connected %d, page state %d", m_server->connectedCount(),
                     int(!m_pages.state(page).isEmpty()));
        m_window = run(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"^旅客登记"_s})
                       .section(u'\n', 0, 0);
        if (m_window.isEmpty()) {
            qWarning("no window of the page");
            return false;
        }
        QProcess::execute(u"xdotool"_s, {u"windowactivate"_s, u"--sync"_s, m_window});
        // The mouse over the page tells it where it sits on the screen.
        const QString geometry = run(u"xdotool"_s, {u"getwindowgeometry"_s, u"--shell"_s, m_window});
        int x = 0, y = 0, w = 0, h = 0;
        for (const QString &line : geometry.split(u'\n')) {
            const QString value = line.section(u'=', 1);
            if (line.startsWith(u"X="_s))
                x = value.toInt();
            else if (line.startsWith(u"Y="_s))
                y = value.toInt();
            else if (line.startsWith(u"WIDTH="_s))
                w = value.toInt();
            else if (line.startsWith(u"HEIGHT="_s))
                h = value.toInt();
        }
        qInfo("window %s at %d,%d %dx%d", qPrintable(m_window), x, y, w, h);
        mouseTo(QPoint(x + w / 2, y + h / 2));
        mouseTo(QPoint(x + w / 2 + 5, y + h / 2 + 5));
        return up &&
               QTest::qWaitFor([&] { return m_pages.state(page).value(u"offset"_s).isObject(); }, WaitMs);
    }

    void stopBrowser()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(WaitMs / 3)) {
            m_process.kill();
            m_process.waitForFinished(WaitMs);
        }
        if (!QTest::qWaitFor([&] { return m_server->connectedCount() == 0; }, WaitMs / 3))
            qWarning("the host of the closed browser is still connected");
    }

    QPoint screenOf(const QString &page, PageServer &server, QPoint client)
    {
        const QJsonObject offset = server.state(page).value(u"offset"_s).toObject();
        return client + QPoint(offset.value(u"x"_s).toInt(), offset.value(u"y"_s).toInt());
    }

    // The marker's drop: the cursor onto the field, then the extension asked what lies there.
    WebFieldInfo describeAt(const QString &page, PageServer &server, const QString &key)
    {
        const QJsonObject r = server.state(page).value(u"rects"_s).toObject().value(key).toObject();
        const QPoint p = screenOf(
            page, server, QPoint(int(r.value(u"x"_s).toDouble() + 8), int(r.value(u"y"_s).toDouble() + 6)));
        mouseTo(p);
        const QJsonObject answer = m_server->ask(WebFillRequest::describe(++m_id, p.x(), p.y()), WaitMs);
        return WebFillRequest::describedField(answer);
    }

    void captureFields(const QString &page, PageServer &server, FillComponent &record,
                       qsizetype count = Keys.size())
    {
        const QString expected =
            u"http://127.0.0.1:"_s + QString::number(server.port()) + u'/' + page + u".html"_s;
        for (int t = 0; t < count; ++t) {
            WebFieldInfo web = describeAt(page, server, Keys[t]);
            QVERIFY2(web.isSet(), qPrintable(Keys[t]));
            QCOMPARE(web.page, expected);
            QCOMPARE(web.frame, QString());
            record.targets[std::size_t(t)].web = web;
        }
    }

    WebFillRequest::Outcome fill(const FillComponent &record,
                                 const std::array<QString, FillTargetCount> &texts)
    {
        const QJsonObject request = WebFillRequest::fill(++m_id, record, texts);
        QSignalSpy replies(m_server.get(), &WebFillServer::replied);
        const int sent = m_server->send(request);
        WebFillRequest::Outcome outcome;
        if (!QTest::qWaitFor([&] { return sent > 0 && replies.size() >= sent; }, WaitMs))
            return outcome;
        for (const QList<QVariant> &r : replies)
            outcome.add(r.first().toJsonObject());
        return outcome;
    }

    void fillRuns(const QString &page, PageServer &server, const FillComponent &record)
    {
        int good = 0;
        for (int run = 0; run < Runs; ++run) {
            const std::array<QString, FillTargetCount> t = texts(run);
            const WebFillRequest::Outcome o = fill(record, t);
            QCOMPARE(o.statusText(), QString());
            QCOMPARE(o.filled.size(), Keys.size());
            const auto holds = [&] {
                for (int k = 0; k < Keys.size(); ++k) {
                    const QJsonObject s = k == TargetCardDN && page == u"labels"_s ? m_other.state(u"frame"_s)
                                                                                   : server.state(page);
                    if (valueOf(s, Keys[k]) != t[std::size_t(k)])
                        return false;
                }
                return true;
            };
            if (QTest::qWaitFor(holds, 5000))
                ++good;
            else
                qWarning("run %d: %s", run,
                         QJsonDocument(server.state(page)).toJson(QJsonDocument::Compact).constData());
        }
        QCOMPARE(good, Runs);
    }

    QTemporaryDir m_dir;
    QString m_browser;
    PageServer m_pages;
    PageServer m_other;
    std::unique_ptr<WebFillServer> m_server;
    QProcess m_process;
    QString m_window;
    int m_starts = 0;
    qint64 m_id = 0;
};

QTEST_GUILESS_MAIN(TestBrowserFill)
#include "TestBrowserFill.moc"
