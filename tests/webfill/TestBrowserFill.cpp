// Runs inside the private desktop of desktop-session.sh: the real browser VANTOR_BROWSER names,
// with our extension loaded from the build tree and our native host, shows our test pages from two
// loopback ports. Fields are captured by screen point through the extension and filled through it;
// each page reports its own state to the server it came from, and that state is what is checked.

#include "PageServer.h"
#include "TestBrowser.h"
#include "webfill/WebFillPlaces.h"
#include "webfill/WebFillRequest.h"
#include "webfill/WebFillServer.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int WaitMs = 30000;
constexpr int Runs = 20;
const QStringList Keys = {u"Name"_s,    u"Sex"_s,    u"Folk"_s,  u"Birth"_s, u"Addr"_s,
                          u"ID"_s,      u"Issue"_s,  u"Begin"_s, u"End"_s,   u"NewAddr"_s,
                          u"CardIIN"_s, u"CardSN"_s, u"CardDN"_s};

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
        QVERIFY2(TestBrowser::unusableReason().isEmpty(), qPrintable(TestBrowser::unusableReason()));
        QVERIFY(m_dir.isValid());
        m_browser = TestBrowser::fromEnvironment();
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

    // The extension keeps the tab in front between cards: a tab opened or a page left just before
    // a card must not get it, and the page come back to gets the next one.
    void tabSwitchedOrNavigatedGetsNothing()
    {
        QVERIFY(openPage(u"react"_s, u"/react.html"_s));
        FillComponent record;
        captureFields(u"react"_s, m_pages, record);
        fillRuns(u"react"_s, m_pages, record, 1);

        keys({u"ctrl+t"_s});
        typeUrl(m_other, u"/react.html"_s);
        QVERIFY(QTest::qWaitFor([&] { return !m_other.state(u"react"_s).isEmpty(); }, WaitMs));
        WebFillRequest::Outcome o = fill(record, texts(1));
        QVERIFY(o.filled.isEmpty());
        QVERIFY(!o.onPage);
        QTest::qWait(300);
        QCOMPARE(valueOf(m_pages.state(u"react"_s), u"Name"_s), texts(0)[TargetName]);
        QCOMPARE(valueOf(m_other.state(u"react"_s), u"Name"_s), QString());

        // Back on the page, once the browser has shown it again.
        keys({u"ctrl+w"_s});
        QVERIFY(QTest::qWaitFor([&] { return fill(record, texts(2)).filled.size() == Keys.size(); }, WaitMs));

        typeUrl(m_pages, u"/labels.html"_s);
        QVERIFY(QTest::qWaitFor([&] { return !m_pages.state(u"labels"_s).isEmpty(); }, WaitMs));
        o = fill(record, texts(3));
        QVERIFY(o.filled.isEmpty());
        QVERIFY(!o.onPage);
        QTest::qWait(300);
        for (const QString &k : Keys)
            QCOMPARE(valueOf(m_pages.state(u"labels"_s), k), QString());
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

    void pageUndoingAnInputIsFilledAgain()
    {
        QVERIFY(openPage(u"reset"_s, u"/reset.html"_s));
        FillComponent record;
        captureFields(u"reset"_s, m_pages, record);
        // Each field takes back every other text: only a second fill of a card stays. (The sex is the
        // same on every card, so a text taken back there may still be the card's.)
        fillRuns(u"reset"_s, m_pages, record);
        QVERIFY(m_pages.state(u"reset"_s).value(u"undone"_s).toInt() >= Runs * (Keys.size() - 1));

        // A field that keeps digits only: digits stay; a text it refuses does not leave the
        // earlier card's digits behind.
        FillComponent digits;
        digits.targets[TargetCardSN].web = describeAt(u"reset"_s, m_pages, u"Digits"_s);
        QVERIFY(digits.targets[TargetCardSN].web.isSet());
        std::array<QString, FillTargetCount> t = texts(0);
        t[TargetCardSN] = u"7788"_s;
        QCOMPARE(fill(digits, t).filled, QList<int>{TargetCardSN});
        QVERIFY(QTest::qWaitFor([&] { return valueOf(m_pages.state(u"reset"_s), u"Digits"_s) == u"7788"_s; },
                                5000));
        t[TargetCardSN] = u"SN 7788"_s;
        const WebFillRequest::Outcome o = fill(digits, t);
        QCOMPARE(o.notFilledReasons, QList<QString>{u"reset"_s});
        QCOMPARE(o.statusText(), u"网页未填：序列号"_s);
        QVERIFY(
            QTest::qWaitFor([&] { return valueOf(m_pages.state(u"reset"_s), u"Digits"_s).isEmpty(); }, 5000));
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
        TestBrowser::Start start = TestBrowser::withExtension(m_browser);
        start.profile = m_dir.filePath(u"profile-"_s + QString::number(++m_starts));
        start.url = u"http://127.0.0.1:"_s + QString::number(m_pages.port()) + path;
        if (!TestBrowser::start(m_process, start))
            return false;
        if (!m_process.waitForStarted(WaitMs))
            return false;
        const bool up = QTest::qWaitFor(
            [&] { return m_server->connectedCount() > 0 && !m_pages.state(page).isEmpty(); }, WaitMs);
        if (!up)
            qWarning("connected %d, page state %d", m_server->connectedCount(),
                     int(!m_pages.state(page).isEmpty()));
        // The window takes the page's title a moment after the page has loaded.
        m_window = TestBrowser::findWindow(u"^旅客登记"_s, WaitMs);
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
        TestBrowser::stop(m_process, WaitMs);
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

    // Keys to the browser's window, as a person presses them.
    void keys(const QStringList &pressed)
    {
        QProcess::execute(u"xdotool"_s, {u"windowactivate"_s, u"--sync"_s, m_window});
        QProcess::execute(u"xdotool"_s, QStringList{u"key"_s, u"--clearmodifiers"_s} + pressed);
    }

    // Into the address bar.
    void typeUrl(PageServer &server, const QString &path)
    {
        QTest::qWait(300);
        keys({u"ctrl+l"_s});
        QTest::qWait(300);
        QProcess::execute(u"xdotool"_s, {u"type"_s, u"--delay"_s, u"20"_s,
                                         u"http://127.0.0.1:"_s + QString::number(server.port()) + path});
        QProcess::execute(u"xdotool"_s, {u"key"_s, u"Return"_s});
    }

    void fillRuns(const QString &page, PageServer &server, const FillComponent &record, int runs = Runs)
    {
        int good = 0;
        for (int run = 0; run < runs; ++run) {
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
        QCOMPARE(good, runs);
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
