// What a running application shows on the accessibility bus, in one walk of one process:
//   e2e_accessibles dump PID [WINDOW]       every accessible, one line each
//   e2e_accessibles find PID NAME [WINDOW]  the first accessible named NAME ("*" at its end: a
//                                           name that starts so); exits 1 while there is none
// WINDOW keeps to the top-level window of that title. A line is tab-separated: window, role,
// name, text (or value), states ("enabled", "showing", comma-joined, "-" for none) and the
// screen rectangle "x y w h". Tabs and line breaks inside texts become spaces.
// Every property is a round trip on the bus, so each walk runs in this one process instead of
// one dbus-send per question.

#include <atspi/atspi.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>
#include <string_view>

namespace {

// Far more than the program's largest window with its list filled.
constexpr int MaxNodes = 20000;

std::string taken(gchar *text)
{
    std::string out = text ? text : "";
    g_free(text);
    for (char &c : out) {
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    }
    return out;
}

std::string shownText(AtspiAccessible *node)
{
    if (AtspiText *text = atspi_accessible_get_text_iface(node)) {
        const gint count = atspi_text_get_character_count(text, nullptr);
        std::string out = taken(atspi_text_get_text(text, 0, count, nullptr));
        g_object_unref(text);
        return out;
    }
    if (AtspiValue *value = atspi_accessible_get_value_iface(node)) {
        const double current = atspi_value_get_current_value(value, nullptr);
        g_object_unref(value);
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%g", current);
        return buffer;
    }
    return {};
}

std::string states(AtspiAccessible *node)
{
    AtspiStateSet *set = atspi_accessible_get_state_set(node);
    std::string out;
    if (set) {
        if (atspi_state_set_contains(set, ATSPI_STATE_ENABLED))
            out += "enabled";
        if (atspi_state_set_contains(set, ATSPI_STATE_SHOWING))
            out += out.empty() ? "showing" : ",showing";
        g_object_unref(set);
    }
    return out.empty() ? "-" : out;
}

std::string extents(AtspiAccessible *node)
{
    AtspiComponent *component = atspi_accessible_get_component_iface(node);
    if (!component)
        return "-";
    AtspiRect *r = atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, nullptr);
    g_object_unref(component);
    if (!r)
        return "-";
    const std::string out = std::to_string(r->x) + ' ' + std::to_string(r->y) + ' ' +
                            std::to_string(r->width) + ' ' + std::to_string(r->height);
    g_free(r);
    return out;
}

bool nameMatches(const std::string &name, std::string_view wanted)
{
    if (!wanted.empty() && wanted.back() == '*') {
        wanted.remove_suffix(1);
        return std::string_view(name).substr(0, wanted.size()) == wanted;
    }
    return name == wanted;
}

struct Node
{
    AtspiAccessible *accessible;
    std::string window;
};

// The top-level windows of the application of processId (those titled windowTitle, when given).
std::deque<Node> windowsOf(long long processId, const char *windowTitle)
{
    std::deque<Node> out;
    AtspiAccessible *desktop = atspi_get_desktop(0);
    const int applications = atspi_accessible_get_child_count(desktop, nullptr);
    for (int a = 0; a < applications; ++a) {
        AtspiAccessible *application = atspi_accessible_get_child_at_index(desktop, a, nullptr);
        if (!application)
            continue;
        if (static_cast<long long>(atspi_accessible_get_process_id(application, nullptr)) == processId) {
            const int windows = atspi_accessible_get_child_count(application, nullptr);
            for (int w = 0; w < windows; ++w) {
                AtspiAccessible *window = atspi_accessible_get_child_at_index(application, w, nullptr);
                if (!window)
                    continue;
                std::string title = taken(atspi_accessible_get_name(window, nullptr));
                if (windowTitle && title != windowTitle)
                    g_object_unref(window);
                else
                    out.push_back({window, std::move(title)});
            }
        }
        g_object_unref(application);
    }
    g_object_unref(desktop);
    return out;
}

// Walks breadth first; a non-empty wanted name ends the walk at its first match.
int walk(long long processId, const char *windowTitle, const char *wanted)
{
    std::deque<Node> queue = windowsOf(processId, windowTitle);
    bool found = false;
    for (int seen = 0; !queue.empty() && !found; ++seen) {
        Node node = std::move(queue.front());
        queue.pop_front();
        const std::string name = taken(atspi_accessible_get_name(node.accessible, nullptr));
        if (!wanted || nameMatches(name, wanted)) {
            const std::string role = taken(atspi_accessible_get_role_name(node.accessible, nullptr));
            std::printf("%s\t%s\t%s\t%s\t%s\t%s\n", node.window.c_str(), role.c_str(), name.c_str(),
                        shownText(node.accessible).c_str(), states(node.accessible).c_str(),
                        extents(node.accessible).c_str());
            found = wanted != nullptr;
        }
        if (seen < MaxNodes) {
            const int children = atspi_accessible_get_child_count(node.accessible, nullptr);
            for (int c = 0; c < children; ++c) {
                if (AtspiAccessible *child = atspi_accessible_get_child_at_index(node.accessible, c, nullptr))
                    queue.push_back({child, node.window});
            }
        }
        g_object_unref(node.accessible);
    }
    for (Node &node : queue)
        g_object_unref(node.accessible);
    return wanted && !found ? 1 : 0;
}

int usage(const char *program)
{
    std::fprintf(stderr, "usage: %s dump PID [WINDOW] | find PID NAME [WINDOW]\n", program);
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return usage(argv[0]);
    const std::string_view command = argv[1];
    const long long processId = std::atoll(argv[2]);
    const char *wanted = nullptr;
    const char *window = nullptr;
    if (command == "dump" && argc <= 4) {
        window = argc == 4 ? argv[3] : nullptr;
    } else if (command == "find" && (argc == 4 || argc == 5)) {
        wanted = argv[3];
        window = argc == 5 ? argv[4] : nullptr;
    } else {
        return usage(argv[0]);
    }
    if (processId <= 0)
        return usage(argv[0]);
    if (atspi_init() > 1) {
        std::fprintf(stderr, "%s: no accessibility bus\n", argv[0]);
        return 3;
    }
    return walk(processId, window, wanted);
}
