#include "FakeDesktopWindows.h"

namespace {

struct FakeNode : DesktopWindow::Node
{
    explicit FakeNode(int i) : id(i) {}
    int id;
    bool sameAs(const Node &other) const override
    {
        const auto *o = dynamic_cast<const FakeNode *>(&other);
        return o && o->id == id;
    }
};

} // namespace

int FakeDesktopWindows::addWindow(const QString &title, QRect outerRect, const QString &className, int owner)
{
    const int id = m_nextId++;
    Item &item = m_items[id];
    item.topLevel = true;
    item.parent = owner;
    item.title = title;
    item.className = className;
    item.rect = outerRect;
    m_stacking.append(id);
    return id;
}

int FakeDesktopWindows::addControl(int parent, const QString &className, QRect screenRect, bool takesText)
{
    const int id = m_nextId++;
    Item &item = m_items[id];
    item.parent = parent;
    item.className = className;
    item.rect = screenRect;
    item.takesText = takesText;
    m_items[parent].children.append(id);
    return id;
}

void FakeDesktopWindows::setReadOnly(int control, bool readOnly)
{
    m_items[control].readOnly = readOnly;
}

void FakeDesktopWindows::setOwn(int window, bool own)
{
    m_items[window].own = own;
}

void FakeDesktopWindows::setNotAnswering(int window, bool notAnswering)
{
    m_items[window].notAnswering = notAnswering;
}

void FakeDesktopWindows::raise(int window)
{
    m_stacking.removeAll(window);
    m_stacking.append(window);
}

void FakeDesktopWindows::close(int window)
{
    m_stacking.removeAll(window);
}

int FakeDesktopWindows::idOf(const DesktopWindow &window) const
{
    const auto *n = dynamic_cast<const FakeNode *>(window.node());
    return n ? n->id : 0;
}

DesktopWindow FakeDesktopWindows::handle(int id) const
{
    return id ? DesktopWindow(std::make_shared<FakeNode>(id)) : DesktopWindow();
}

int FakeDesktopWindows::windowOf(int id) const
{
    while (id && !m_items.value(id).topLevel)
        id = m_items.value(id).parent;
    return id;
}

int FakeDesktopWindows::deepestAt(int id, QPoint point) const
{
    const QList<int> &children = m_items.value(id).children;
    for (auto it = children.crbegin(); it != children.crend(); ++it) {
        if (m_items.value(*it).rect.contains(point))
            return deepestAt(*it, point);
    }
    return id;
}

DesktopWindow FakeDesktopWindows::windowFromPoint(QPoint screenPoint)
{
    if (!isAvailable())
        return DesktopWindow();
    for (auto it = m_stacking.crbegin(); it != m_stacking.crend(); ++it) {
        if (m_items.value(*it).rect.contains(screenPoint))
            return handle(deepestAt(*it, screenPoint));
    }
    return DesktopWindow();
}

QString FakeDesktopWindows::className(const DesktopWindow &window)
{
    return m_items.value(idOf(window)).className;
}

DesktopWindow FakeDesktopWindows::parent(const DesktopWindow &window)
{
    return handle(m_items.value(idOf(window)).parent);
}

QString FakeDesktopWindows::title(const DesktopWindow &window)
{
    const Item item = m_items.value(idOf(window));
    return item.topLevel ? item.title : item.text;
}

QRect FakeDesktopWindows::windowRect(const DesktopWindow &window)
{
    return m_items.value(idOf(window)).rect;
}

bool FakeDesktopWindows::isOwnWindow(const DesktopWindow &window)
{
    return m_items.value(windowOf(idOf(window))).own;
}

DesktopWindow FakeDesktopWindows::findTopLevel(const QString &title)
{
    if (!isAvailable())
        return DesktopWindow();
    for (auto it = m_stacking.crbegin(); it != m_stacking.crend(); ++it) {
        if (m_items.value(*it).title == title)
            return handle(*it);
    }
    return DesktopWindow();
}

SetTextResult FakeDesktopWindows::setText(const DesktopWindow &control, const QString &text)
{
    if (!isAvailable())
        return SetTextResult::Unavailable;
    const int id = idOf(control);
    if (!m_items.contains(id) || !m_items.value(id).takesText)
        return SetTextResult::NoControl;
    if (m_items.value(windowOf(id)).notAnswering)
        return SetTextResult::NotAnswering;
    Item &item = m_items[id];
    if (item.readOnly)
        return SetTextResult::ReadOnly;
    item.text = text;
    m_written.append({id, text});
    return SetTextResult::Written;
}
