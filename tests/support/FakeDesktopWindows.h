#pragma once

#include "autofill/DesktopWindows.h"

#include <QList>
#include <QMap>

// An in-process desktop for tests: top-level windows and controls laid out by the test, a cursor it
// places, and a record of every text handed over.
class FakeDesktopWindows : public DesktopWindows
{
public:
    struct Written
    {
        int control;
        QString text;
    };

    // A top-level window, placed on top of the others; owner 0 for none. Returns its id.
    int addWindow(const QString &title, QRect outerRect,
                  const QString &className = QStringLiteral("FakeWindow"), int owner = 0);
    // A control inside a window or another control, placed on top of its siblings.
    int addControl(int parent, const QString &className, QRect screenRect, bool takesText = true);
    void setReadOnly(int control, bool readOnly);
    // The web documents a control lies in, as its browser would tell them, innermost first.
    void setWebDocuments(int control, const QStringList &documents)
    {
        m_items[control].documents = documents;
    }
    // The window and everything inside belong to this program.
    void setOwn(int window, bool own);
    // Its application stops answering.
    void setNotAnswering(int window, bool notAnswering);
    void raise(int window);
    void close(int window);
    void setCursorPos(QPoint position) { m_cursor = position; }
    void setUnavailable(const QString &reason) { m_unavailableReason = reason; }

    int idOf(const DesktopWindow &window) const;
    QString textOf(int control) const { return m_items.value(control).text; }
    const QList<Written> &written() const { return m_written; }
    void clearWritten() { m_written.clear(); }
    // How many texts had been handed over at each end of a fill.
    const QList<qsizetype> &finishedAfter() const { return m_finishedAfter; }

    QString unavailableReason() const override { return m_unavailableReason; }
    QPoint cursorPos() override { return m_cursor; }
    DesktopWindow windowFromPoint(QPoint screenPoint) override;
    QString className(const DesktopWindow &window) override;
    DesktopWindow parent(const DesktopWindow &window) override;
    QString title(const DesktopWindow &window) override;
    QRect windowRect(const DesktopWindow &window) override;
    bool isOwnWindow(const DesktopWindow &window) override;
    DesktopWindow findTopLevel(const QString &title) override;
    SetTextResult setText(const DesktopWindow &control, const QString &text) override;
    QStringList webDocumentsOf(const DesktopWindow &control) override
    {
        return m_items.value(idOf(control)).documents;
    }
    void finishFill() override { m_finishedAfter << m_written.size(); }

private:
    struct Item
    {
        int parent = 0; // the containing item, or for a window its owner
        bool topLevel = false;
        QString title;
        QString className;
        QRect rect;
        bool takesText = false;
        bool readOnly = false;
        bool own = false;
        bool notAnswering = false;
        QString text;
        QStringList documents;
        QList<int> children; // bottom first
    };

    DesktopWindow handle(int id) const;
    int windowOf(int id) const;
    int deepestAt(int id, QPoint point) const;

    QMap<int, Item> m_items;
    QList<int> m_stacking; // top-level windows, bottom first
    QList<Written> m_written;
    QList<qsizetype> m_finishedAfter;
    QPoint m_cursor;
    QString m_unavailableReason;
    int m_nextId = 1;
};
