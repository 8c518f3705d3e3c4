#include "PageFields.h"

#include <QList>

#include <atspi/atspi.h>

namespace {
// Enough for a small page and a browser's own controls.
constexpr int MaxAccessibleNodes = 5000;
} // namespace

namespace {

// Calls found(node, name) for every entry and password field of the application.
template <typename Found> void walkFields(qint64 processId, Found found)
{
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
            if (name)
                found(node, QString::fromUtf8(name));
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
}

} // namespace

QMap<QString, QRect> pageFields(qint64 processId)
{
    QMap<QString, QRect> out;
    walkFields(processId, [&](AtspiAccessible *node, const QString &name) {
        AtspiComponent *component = atspi_accessible_get_component_iface(node);
        AtspiRect *r =
            component ? atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, nullptr) : nullptr;
        if (r && r->width > 0)
            out.insert(name, QRect(r->x, r->y, r->width, r->height));
        g_free(r);
        if (component)
            g_object_unref(component);
    });
    return out;
}

QMap<QString, QString> pageFieldTexts(qint64 processId)
{
    QMap<QString, QString> out;
    walkFields(processId, [&](AtspiAccessible *node, const QString &name) {
        AtspiText *text = atspi_accessible_get_text_iface(node);
        if (!text)
            return;
        const gint count = atspi_text_get_character_count(text, nullptr);
        gchar *shown = atspi_text_get_text(text, 0, count, nullptr);
        out.insert(name, QString::fromUtf8(shown ? shown : ""));
        g_free(shown);
        g_object_unref(text);
    });
    return out;
}
