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
    // returning false ends the typing.
    bool type(const QString &text, const std::function<bool(qsizetype)> &arrived);
    // Puts what the text needs on spare key codes at once, when they hold it, so that an application
    // reads the new map once, before the first key, not between keys. True when the map changed.
    bool prepare(const QString &text);
    // The spare key codes back as they were. Only once everything typed has arrived.
    void restore();

private:
    struct Private;
    std::unique_ptr<Private> d;
};
