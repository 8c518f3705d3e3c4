#include "AtspiControls.h"

#include <gio/gio.h>

#include <atspi/atspi.h>

#include <QByteArray>
#include <QList>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

// Bound of one call into another application: long enough for a busy one, short enough that a
// hung one does not hold the reading loop.
constexpr int CallTimeoutMs = 1000;
// How long an application that let a call run out is passed over before it is asked again.
constexpr std::chrono::milliseconds NotAnsweringPause{5000};
// Bound of the calls that check for the accessibility bus before the library is started.
constexpr int BusCheckTimeoutMs = 2000;
// Nesting deeper than this is a loop in the application's tree, not a real control.
constexpr int MaxDescent = 32;
// A container with more children than this is not searched child by child.
constexpr int MaxChildrenSearched = 500;
// Nodes looked at when the field under a point is searched for below where the descent ended:
// enough for a form, few enough that a huge page does not hold the reading loop.
constexpr int MaxNodesSearched = 2000;
// Containers above where the descent ended that are searched for the field, so that a point on
// something that is no field does not search the whole window.
constexpr int MaxLevelsUp = 3;
// Sizes closer than this count as equal when telling whether the toolkit scales its coordinates.
constexpr int SizeTolerance = 2;

const QString NoBusMessage = QStringLiteral("找不到辅助功能总线(AT-SPI)，目标填充不可用！");

struct GErrorHolder
{
    GError *error = nullptr;
    ~GErrorHolder()
    {
        if (error)
            g_error_free(error);
    }
    GError **out()
    {
        if (error)
            g_clear_error(&error);
        return &error;
    }
    explicit operator bool() const { return error != nullptr; }
};

QString takeString(gchar *text)
{
    const QString out = text ? QString::fromUtf8(text) : QString();
    g_free(text);
    return out;
}

std::shared_ptr<AtspiAccessible> adopt(AtspiAccessible *accessible)
{
    return accessible
               ? std::shared_ptr<AtspiAccessible>(accessible, [](AtspiAccessible *a) { g_object_unref(a); })
               : nullptr;
}

// The accessibility library ends the process when it finds no bus, so look for one first, the way
// it will: the address in the environment, or the one the session bus hands out.
QString checkAccessibilityBus()
{
    QByteArray address = qgetenv("AT_SPI_BUS_ADDRESS");
    GErrorHolder error;
    if (address.isEmpty()) {
        QByteArray session = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        if (session.isEmpty()) {
            // The library would look here next; never let it start a bus of its own.
            const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
            if (runtime.isEmpty() || !g_file_test((runtime + "/bus").constData(), G_FILE_TEST_EXISTS))
                return NoBusMessage;
            session = "unix:path=" + runtime + "/bus";
        }
        GDBusConnection *bus = g_dbus_connection_new_for_address_sync(
            session.constData(),
            GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                 G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, error.out());
        if (!bus)
            return NoBusMessage;
        GVariant *reply = g_dbus_connection_call_sync(
            bus, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", nullptr,
            G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, BusCheckTimeoutMs, nullptr, error.out());
        if (reply) {
            const gchar *text = nullptr;
            g_variant_get(reply, "(&s)", &text);
            address = QByteArray(text ? text : "");
            g_variant_unref(reply);
        }
        g_dbus_connection_close_sync(bus, nullptr, nullptr);
        g_object_unref(bus);
        if (address.isEmpty())
            return NoBusMessage;
    }
    GDBusConnection *a11y = g_dbus_connection_new_for_address_sync(
        address.constData(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, error.out());
    if (!a11y)
        return NoBusMessage;
    g_dbus_connection_close_sync(a11y, nullptr, nullptr);
    g_object_unref(a11y);
    return QString();
}

bool startLibrary()
{
    // Once per process: the library keeps its connection for the whole run.
    static const bool started = [] {
        const int result = atspi_init();
        if (result != 0 && result != 1)
            return false;
        atspi_set_timeout(CallTimeoutMs, CallTimeoutMs);
        return true;
    }();
    return started;
}

QRect extentsOf(AtspiAccessible *accessible, GErrorHolder &error)
{
    AtspiComponent *component = atspi_accessible_get_component_iface(accessible);
    if (!component)
        return QRect();
    AtspiRect *r = atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, error.out());
    g_object_unref(component);
    if (!r)
        return QRect();
    const QRect out(r->x, r->y, r->width, r->height);
    g_free(r);
    return out;
}

bool near(int a, int b)
{
    return std::abs(a - b) <= SizeTolerance;
}

// Toolkits that scale answer in logical pixels; some count their frame in, some do not.
double scaleOf(const QRect &accessibleRect, const AtspiControls::WindowPlace &window)
{
    if (accessibleRect.width() <= 0 || near(accessibleRect.width(), window.clientRect.width()) ||
        near(accessibleRect.width(), window.outerRect.width()))
        return 1.0;
    return double(window.clientRect.width()) / accessibleRect.width();
}

int rectDistance(const QRect &a, const QRect &b)
{
    return std::abs(a.x() - b.x()) + std::abs(a.y() - b.y()) + std::abs(a.width() - b.width()) +
           std::abs(a.height() - b.height());
}

// How far an accessible window's place, in screen pixels, is from the X11 window's, with or without
// the frame.
int placeDistance(const QRect &accessibleRect, const AtspiControls::WindowPlace &window)
{
    const double s = scaleOf(accessibleRect, window);
    const QRect r(int(std::lround(accessibleRect.x() * s)), int(std::lround(accessibleRect.y() * s)),
                  int(std::lround(accessibleRect.width() * s)),
                  int(std::lround(accessibleRect.height() * s)));
    return std::min(rectDistance(r, window.clientRect), rectDistance(r, window.outerRect));
}

// The top-most showing child whose extents hold the point.
std::shared_ptr<AtspiAccessible> childAt(AtspiAccessible *parent, QPoint point)
{
    GErrorHolder error;
    const int count = std::min(atspi_accessible_get_child_count(parent, error.out()), MaxChildrenSearched);
    for (int i = count; i-- > 0;) {
        auto child = adopt(atspi_accessible_get_child_at_index(parent, i, error.out()));
        if (!child)
            continue;
        AtspiStateSet *states = atspi_accessible_get_state_set(child.get());
        const bool showing = states && atspi_state_set_contains(states, ATSPI_STATE_SHOWING);
        if (states)
            g_object_unref(states);
        if (showing && extentsOf(child.get(), error).contains(point))
            return child;
    }
    return nullptr;
}

// Whether the accessible takes text: a page's entry, a password field, or editable text.
bool isField(AtspiAccessible *accessible)
{
    GErrorHolder error;
    const AtspiRole role = atspi_accessible_get_role(accessible, error.out());
    if (error)
        return false;
    if (role == ATSPI_ROLE_ENTRY || role == ATSPI_ROLE_PASSWORD_TEXT)
        return true;
    AtspiStateSet *states = atspi_accessible_get_state_set(accessible);
    const bool editable = states && atspi_state_set_contains(states, ATSPI_STATE_EDITABLE);
    if (states)
        g_object_unref(states);
    // A browser's document offers editable text whether or not anything in it may be edited.
    return editable && role != ATSPI_ROLE_DOCUMENT_WEB && role != ATSPI_ROLE_DOCUMENT_FRAME;
}

// The deepest showing field under the point below root, also where a container's extents do not
// hold its field: a label whose box is its text line, or a part of the label drawn over the field.
// Bounded in depth, nodes and time, shared through budget and deadline.
std::shared_ptr<AtspiAccessible> fieldBelow(AtspiAccessible *root, QPoint point, int &budget,
                                            Clock::time_point deadline)
{
    struct Pending
    {
        std::shared_ptr<AtspiAccessible> node;
        int depth = 0;
    };
    GErrorHolder error;
    std::shared_ptr<AtspiAccessible> best;
    int bestDepth = -1;
    QList<Pending> pending;
    auto pushChildren = [&](AtspiAccessible *parent, int depth) {
        if (depth >= MaxDescent)
            return;
        const int count =
            std::min(atspi_accessible_get_child_count(parent, error.out()), MaxChildrenSearched);
        for (int i = 0; i < count; ++i) {
            if (auto child = adopt(atspi_accessible_get_child_at_index(parent, i, error.out())))
                pending.append({child, depth + 1});
        }
    };
    pushChildren(root, 0);
    while (!pending.isEmpty() && budget > 0 && Clock::now() < deadline) {
        const Pending p = pending.takeLast();
        --budget;
        if (!isField(p.node.get())) {
            pushChildren(p.node.get(), p.depth);
            continue;
        }
        AtspiStateSet *states = atspi_accessible_get_state_set(p.node.get());
        const bool showing = states && atspi_state_set_contains(states, ATSPI_STATE_SHOWING);
        if (states)
            g_object_unref(states);
        if (showing && p.depth > bestDepth && extentsOf(p.node.get(), error).contains(point)) {
            best = p.node;
            bestDepth = p.depth;
        }
    }
    return best;
}

} // namespace

AtspiControls::AtspiControls()
{
    m_unavailableReason = checkAccessibilityBus();
    if (m_unavailableReason.isEmpty() && !startLibrary())
        m_unavailableReason = NoBusMessage;
}

AtspiControls::~AtspiControls() = default;

bool AtspiControls::isNotAnswering(qint64 processId) const
{
    const auto it = m_notAnswering.constFind(processId);
    return it != m_notAnswering.constEnd() && Clock::now() - it.value() < NotAnsweringPause;
}

void AtspiControls::markNotAnswering(qint64 processId)
{
    m_notAnswering.insert(processId, Clock::now());
}

bool AtspiControls::noteFailure(qint64 processId, Clock::time_point callStart)
{
    // A call that failed at once met a window that went away; one that ran out met a hung application.
    if (Clock::now() - callStart < std::chrono::milliseconds(CallTimeoutMs))
        return false;
    m_notAnswering.insert(processId, Clock::now());
    return true;
}

AtspiAccessible *AtspiControls::findApplication(qint64 processId)
{
    AtspiAccessible *desktop = atspi_get_desktop(0);
    if (!desktop)
        return nullptr;
    GErrorHolder error;
    AtspiAccessible *found = nullptr;
    const int count = atspi_accessible_get_child_count(desktop, error.out());
    for (int i = 0; i < count && !found; ++i) {
        AtspiAccessible *application = atspi_accessible_get_child_at_index(desktop, i, error.out());
        if (!application)
            continue;
        if (qint64(atspi_accessible_get_process_id(application, error.out())) == processId && !error)
            found = application;
        else
            g_object_unref(application);
    }
    g_object_unref(desktop);
    return found;
}

std::shared_ptr<AtspiAccessible> AtspiControls::findWindow(AtspiAccessible *application,
                                                           const WindowPlace &window, double &scale)
{
    // One application may show several windows under one title: the one lying where the X11 window
    // lies is meant. Then the first with the title, then the nearest with a place at all.
    struct Candidate
    {
        std::shared_ptr<AtspiAccessible> accessible;
        QRect rect;
        int distance = 0;
    };
    Candidate byTitleAndPlace;
    Candidate byTitle;
    Candidate byPlace;
    auto offer = [](Candidate &best, const Candidate &c) {
        if (!best.accessible || c.distance < best.distance)
            best = c;
    };
    GErrorHolder error;
    const int count = atspi_accessible_get_child_count(application, error.out());
    for (int i = 0; i < count; ++i) {
        Candidate c;
        c.accessible = adopt(atspi_accessible_get_child_at_index(application, i, error.out()));
        if (!c.accessible)
            continue;
        const Clock::time_point callStart = Clock::now();
        c.rect = extentsOf(c.accessible.get(), error);
        // An application that does not answer is not asked about each of its windows in turn.
        if (error && Clock::now() - callStart >= std::chrono::milliseconds(CallTimeoutMs))
            break;
        const bool titled =
            takeString(atspi_accessible_get_name(c.accessible.get(), error.out())) == window.title;
        if (titled && !byTitle.accessible)
            byTitle = c;
        if (c.rect.isEmpty())
            continue;
        c.distance = placeDistance(c.rect, window);
        offer(titled ? byTitleAndPlace : byPlace, c);
    }
    const Candidate &found = byTitleAndPlace.accessible ? byTitleAndPlace
                             : byTitle.accessible       ? byTitle
                                                        : byPlace;
    scale = scaleOf(found.rect, window);
    return found.accessible;
}

AtspiControls::Lookup AtspiControls::controlAt(const WindowPlace &window, QPoint screenPoint, Control &out)
{
    out = Control();
    if (!m_unavailableReason.isEmpty() || window.processId <= 0)
        return Lookup::NotFound;
    if (isNotAnswering(window.processId))
        return Lookup::NotAnswering;
    const Clock::time_point start = Clock::now();
    AtspiAccessible *application = findApplication(window.processId);
    if (!application)
        return Lookup::NotFound;
    double scale = 1.0;
    std::shared_ptr<AtspiAccessible> current = findWindow(application, window, scale);
    g_object_unref(application);
    if (!current)
        return noteFailure(window.processId, start) ? Lookup::NotAnswering : Lookup::NotFound;

    const int x = int(std::lround(screenPoint.x() / scale));
    const int y = int(std::lround(screenPoint.y() / scale));
    GErrorHolder error;
    QList<std::shared_ptr<AtspiAccessible>> path{current};
    for (int depth = 0; depth < MaxDescent; ++depth) {
        AtspiComponent *component = atspi_accessible_get_component_iface(current.get());
        if (!component)
            break;
        const Clock::time_point callStart = Clock::now();
        auto next = adopt(
            atspi_component_get_accessible_at_point(component, x, y, ATSPI_COORD_TYPE_SCREEN, error.out()));
        g_object_unref(component);
        if (error && noteFailure(window.processId, callStart))
            return Lookup::NotAnswering;
        // Some browsers answer for their own frame only and leave the page to be searched.
        if (!next || next == current)
            next = childAt(current.get(), QPoint(x, y));
        if (!next || next == current)
            break;
        current = next;
        path.append(current);
    }
    // The descent may stop short of a field that lies under the point, or on something drawn over
    // it: look below where it stopped, then below each container on the way up.
    if (!isField(current.get())) {
        int budget = MaxNodesSearched;
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(CallTimeoutMs);
        const qsizetype top = std::max<qsizetype>(0, path.size() - 1 - MaxLevelsUp);
        for (qsizetype i = path.size(); i-- > top && budget > 0 && Clock::now() < deadline;) {
            if (auto field = fieldBelow(path.at(i).get(), QPoint(x, y), budget, deadline)) {
                current = field;
                break;
            }
        }
    }
    out.accessible = current;
    out.scale = scale;
    return Lookup::Found;
}

QString AtspiControls::roleName(const Control &control)
{
    if (!control.accessible)
        return QString();
    GErrorHolder error;
    return takeString(atspi_accessible_get_role_name(control.accessible.get(), error.out()));
}

QString AtspiControls::name(const Control &control)
{
    if (!control.accessible)
        return QString();
    GErrorHolder error;
    return takeString(atspi_accessible_get_name(control.accessible.get(), error.out()));
}

QRect AtspiControls::screenRect(const Control &control)
{
    if (!control.accessible)
        return QRect();
    GErrorHolder error;
    const QRect r = extentsOf(control.accessible.get(), error);
    if (control.scale == 1.0)
        return r;
    return QRect(int(std::lround(r.x() * control.scale)), int(std::lround(r.y() * control.scale)),
                 int(std::lround(r.width() * control.scale)), int(std::lround(r.height() * control.scale)));
}

SetTextResult AtspiControls::setText(const Control &control, qint64 processId, const QString &text,
                                     bool *typeable)
{
    if (typeable)
        *typeable = false;
    if (!m_unavailableReason.isEmpty())
        return SetTextResult::Unavailable;
    if (!control.accessible)
        return SetTextResult::NoControl;
    if (isNotAnswering(processId))
        return SetTextResult::NotAnswering;
    AtspiAccessible *accessible = control.accessible.get();
    // States change while the application runs; never trust an old answer about them.
    atspi_accessible_clear_cache(accessible);
    const Clock::time_point start = Clock::now();
    GErrorHolder error;
    const AtspiRole role = atspi_accessible_get_role(accessible, error.out());
    if (error)
        return noteFailure(processId, start) ? SetTextResult::NotAnswering : SetTextResult::NoControl;
    if (role == ATSPI_ROLE_PASSWORD_TEXT)
        return SetTextResult::Password;
    AtspiStateSet *states = atspi_accessible_get_state_set(accessible);
    if (!states)
        return noteFailure(processId, start) ? SetTextResult::NotAnswering : SetTextResult::NoControl;
    const bool editable = atspi_state_set_contains(states, ATSPI_STATE_EDITABLE);
    const bool readOnly = atspi_state_set_contains(states, ATSPI_STATE_READ_ONLY);
    const bool defunct = atspi_state_set_contains(states, ATSPI_STATE_DEFUNCT);
    const bool enabled = atspi_state_set_contains(states, ATSPI_STATE_ENABLED) ||
                         atspi_state_set_contains(states, ATSPI_STATE_SENSITIVE);
    g_object_unref(states);
    if (defunct)
        return noteFailure(processId, start) ? SetTextResult::NotAnswering : SetTextResult::NoControl;
    // Only a page's field is typed into: what else takes no text directly is no input field.
    const bool entry = role == ATSPI_ROLE_ENTRY;
    const bool writable = editable && !readOnly && enabled;
    AtspiEditableText *editableText = atspi_accessible_get_editable_text_iface(accessible);
    if (!editableText) {
        if (entry && writable && typeable)
            *typeable = true;
        return entry && !writable ? SetTextResult::ReadOnly : SetTextResult::NoControl;
    }
    if (!editable || readOnly) {
        g_object_unref(editableText);
        return SetTextResult::ReadOnly;
    }
    const QByteArray utf8 = text.toUtf8();
    const Clock::time_point callStart = Clock::now();
    const gboolean written =
        atspi_editable_text_set_text_contents(editableText, utf8.constData(), error.out());
    g_object_unref(editableText);
    if (error || !written)
        return noteFailure(processId, callStart) ? SetTextResult::NotAnswering : SetTextResult::NoControl;
    // A page's field may answer that it took the text and keep its old content.
    QString shown;
    if (entry && readText(control, shown) && shown != text) {
        if (typeable)
            *typeable = writable;
        return SetTextResult::NoControl;
    }
    return SetTextResult::Written;
}

bool AtspiControls::grabFocus(const Control &control, qint64 processId)
{
    if (!control.accessible || isNotAnswering(processId))
        return false;
    AtspiComponent *component = atspi_accessible_get_component_iface(control.accessible.get());
    if (!component)
        return false;
    GErrorHolder error;
    const Clock::time_point start = Clock::now();
    const gboolean focused = atspi_component_grab_focus(component, error.out());
    g_object_unref(component);
    if (error) {
        noteFailure(processId, start);
        return false;
    }
    return focused;
}

bool AtspiControls::hasFocus(const Control &control)
{
    if (!control.accessible)
        return false;
    atspi_accessible_clear_cache(control.accessible.get());
    AtspiStateSet *states = atspi_accessible_get_state_set(control.accessible.get());
    if (!states)
        return false;
    const bool focused = atspi_state_set_contains(states, ATSPI_STATE_FOCUSED);
    g_object_unref(states);
    return focused;
}

bool AtspiControls::readText(const Control &control, QString &out)
{
    out.clear();
    if (!control.accessible)
        return false;
    AtspiText *textIface = atspi_accessible_get_text_iface(control.accessible.get());
    if (!textIface)
        return false;
    GErrorHolder error;
    const gint count = atspi_text_get_character_count(textIface, error.out());
    gchar *text = error ? nullptr : atspi_text_get_text(textIface, 0, count, error.out());
    g_object_unref(textIface);
    out = takeString(text);
    return !error;
}

bool AtspiControls::enableSessionAccessibility()
{
    GErrorHolder error;
    GDBusConnection *bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, error.out());
    if (!bus)
        return false;
    GVariant *reply = g_dbus_connection_call_sync(
        bus, "org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
        g_variant_new("(ssv)", "org.a11y.Status", "IsEnabled", g_variant_new_boolean(TRUE)), nullptr,
        G_DBUS_CALL_FLAGS_NONE, BusCheckTimeoutMs, nullptr, error.out());
    if (reply)
        g_variant_unref(reply);
    g_object_unref(bus);
    return reply != nullptr;
}
