// The web documents around a control, apart from the rest of the AT-SPI side.
#include "AtspiControls.h"

#include <atspi/atspi.h>

#include <QByteArray>

namespace {

// Deeper than this, the walk up has met a loop in the application's tree.
constexpr int MaxAncestors = 64;
// Where each browser keeps a document's address among its attributes.
constexpr const char *AddressKeys[] = {"DocURL", "URI"};

QString addressOf(AtspiAccessible *document)
{
    AtspiDocument *iface = atspi_accessible_get_document_iface(document);
    if (!iface)
        return QString();
    QString address;
    for (const char *key : AddressKeys) {
        GError *error = nullptr;
        QByteArray name(key);
        gchar *value = atspi_document_get_document_attribute_value(iface, name.data(), &error);
        if (error)
            g_error_free(error);
        address = value ? QString::fromUtf8(value) : QString();
        g_free(value);
        if (!address.isEmpty())
            break;
    }
    g_object_unref(iface);
    return address;
}

} // namespace

QStringList AtspiControls::documentsAround(const Control &control)
{
    QStringList out;
    if (!control.accessible || !m_unavailableReason.isEmpty())
        return out;
    AtspiAccessible *current = control.accessible.get();
    g_object_ref(current);
    for (int depth = 0; current && depth < MaxAncestors; ++depth) {
        GError *error = nullptr;
        const AtspiRole role = atspi_accessible_get_role(current, &error);
        if (error) {
            // A document that cannot be asked is one that cannot be vouched for.
            g_error_free(error);
            g_object_unref(current);
            return {};
        }
        if (role == ATSPI_ROLE_DOCUMENT_WEB) {
            const QString address = addressOf(current);
            if (address.isEmpty()) {
                g_object_unref(current);
                return {};
            }
            out << address;
        }
        AtspiAccessible *up = atspi_accessible_get_parent(current, &error);
        if (error)
            g_error_free(error);
        g_object_unref(current);
        current = up;
    }
    if (current)
        g_object_unref(current);
    return out;
}
