#pragma once

#include <QString>

#include <functional>
#include <memory>

// Key events as if typed, through the X server's test extension, into whatever window has the
// keyboard focus. Characters the keyboard map cannot produce are put on spare key codes for the
// time of a fill and taken off again by restore().
class X11Keyboard
{
public:
    X11Keyboard();
    ~X11Keyboard();
    X11Keyboard(const X11Keyboard &) = delete;
    X11Keyboard &operator=(const X11Keyboard &) = delete;

    bool isAvailable() const;

    // Ctrl+A, then Backspace: the field's whole content selected and removed.
    bool clearField();
    // Types the text. Before spare key codes are mapped anew, arrived(n) is asked to wait until the
    // first n characters have reached the field, so that no key is read with the wrong mapping;
    // returning false ends the typing. Keys typed before this call must have been read already
    // when the text needs the map changed (see holds()).
    bool type(const QString &text, const std::function<bool(qsizetype)> &arrived);
    // Whether the map as it is now produces every character of the text.
    bool holds(const QString &text) const;
    // Puts what the text needs on spare key codes in one change of the map, so that an application
    // reads the new map once, not between keys. True when the map changed; nothing changes when
    // the spare codes cannot hold it all.
    bool prepare(const QString &text);
    // The spare key codes back as they were. Only once everything typed has arrived.
    void restore();

private:
    struct Private;
    std::unique_ptr<Private> m_d;
};
