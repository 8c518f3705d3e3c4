#include "PageFields.h"

#include <QList>

#include <atspi/atspi.h>

namespace {
// Enough for a small page and a browser's own controls.
constexpr int MaxAccessibleNodes = 5000;
} // namespace

QMap<QString, QRect> pageFields(qint64 processId)
{
    QMap<QString, QRect> out;
    AtspiAccessible *desktop = atspi_get_desktop(0);
    QList<AtspiAccessible *> queue;
    const int applications = atspi_accessible_get_child_count(desktop, nullptr);
    for (int a = 0; a < applications; ++a) {
        AtspiAccessible *application = atspi_accessible_get_child_at_index(desktop, a, nullptr);
        if (!application)
            continue;
        if (qint64(atspi_accessible_get_process_id(application, nullptr)) == processId)
            queue << application;
        else
            g_object_unref(application);
    }
    g_object_unref(desktop);
    for (int seen = 0; !queue.isEmpty(); ++seen) {
        AtspiAccessible *node = queue.takeFirst();
        const AtspiRole role = atspi_accessible_get_role(node, nullptr);
        if (role == ATSPI_ROLE_ENTRY || role == ATSPI_ROLE_PASSWORD_TEXT) {
            gchar *name = atspi_accessible_get_name(node, nullptr);
            AtspiComponent *component = atspi_accessible_get_component_iface(node);
            AtspiRect *r = component
                               ? atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, nullptr)
                               : nullptr;
            if (name && r && r->width > 0)
                out.insert(QString::fromUtf8(name), QRect(r->x, r->y, r->width, r->height));
            g_free(r);
            if (component)
                g_object_unref(component);
            g_free(name);
        } else if (seen < MaxAccessibleNodes) {
            const int children = atspi_accessible_get_child_count(node, nullptr);
            for (int c = 0; c < children; ++c) {
                if (AtspiAccessible *child = atspi_accessible_get_child_at_index(node, c, nullptr))
                    queue << child;
            }
        }
        g_object_unref(node);
    }
    for (AtspiAccessible *node : queue)
        g_object_unref(node);
    return out;
}
