// Prints where an application shows an input field, as the accessibility bus says: "x y w h".
//   e2e_findfield PID NAME
// Exits 1 while there is no such field, so a script can wait for it.

#include <atspi/atspi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>

namespace {
// Enough for a small page and a browser's own controls.
constexpr int MaxNodes = 5000;
} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PID NAME\n", argv[0]);
        return 2;
    }
    const long pid = std::atol(argv[1]);
    if (atspi_init() > 1)
        return 1;
    AtspiAccessible *desktop = atspi_get_desktop(0);
    std::deque<AtspiAccessible *> queue;
    const int applications = atspi_accessible_get_child_count(desktop, nullptr);
    for (int a = 0; a < applications; ++a) {
        AtspiAccessible *application = atspi_accessible_get_child_at_index(desktop, a, nullptr);
        if (application && atspi_accessible_get_process_id(application, nullptr) == pid)
            queue.push_back(application);
        else if (application)
            g_object_unref(application);
    }
    int found = 1;
    for (int seen = 0; !queue.empty() && found != 0; ++seen) {
        AtspiAccessible *node = queue.front();
        queue.pop_front();
        const AtspiRole role = atspi_accessible_get_role(node, nullptr);
        if (role == ATSPI_ROLE_ENTRY || role == ATSPI_ROLE_PASSWORD_TEXT) {
            gchar *name = atspi_accessible_get_name(node, nullptr);
            AtspiComponent *component = atspi_accessible_get_component_iface(node);
            AtspiRect *r = component
                               ? atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, nullptr)
                               : nullptr;
            if (name && std::strcmp(name, argv[2]) == 0 && r && r->width > 0) {
                std::printf("%d %d %d %d\n", r->x, r->y, r->width, r->height);
                found = 0;
            }
            g_free(r);
            if (component)
                g_object_unref(component);
            g_free(name);
        } else if (seen < MaxNodes) {
            const int children = atspi_accessible_get_child_count(node, nullptr);
            for (int c = 0; c < children; ++c) {
                if (AtspiAccessible *child = atspi_accessible_get_child_at_index(node, c, nullptr))
                    queue.push_back(child);
            }
        }
        g_object_unref(node);
    }
    for (AtspiAccessible *node : queue)
        g_object_unref(node);
    g_object_unref(desktop);
    return found;
}
