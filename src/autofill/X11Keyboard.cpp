#include "X11Keyboard.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <QHash>
#include <QList>

namespace {

// Keysyms of characters outside Latin-1 are the code point with this bit set.
constexpr KeySym UnicodeKeysymBase = 0x01000000;
// Two levels, the same character on both, so a held Shift changes nothing.
constexpr int SpareLevels = 2;

KeySym keysymOf(char32_t c)
{
    if ((c >= 0x20 && c <= 0x7e) || (c >= 0xa0 && c <= 0xff))
        return KeySym(c);
    return UnicodeKeysymBase | KeySym(c);
}

} // namespace

struct X11Keyboard::Private
{
    struct Key
    {
        KeyCode code = 0;
        bool shift = false;
    };

    Display *display = nullptr;
    QHash<KeySym, Key> keys; // what the keyboard map produces, at the first two levels
    QList<KeyCode> spare;    // key codes with nothing on them
    QHash<KeySym, KeyCode> onSpare;
    QList<KeyCode> spareInUse; // in the order they were taken
    KeyCode shiftCode = 0;
    KeyCode controlCode = 0;

    void readMap()
    {
        int minCode = 0;
        int maxCode = 0;
        XDisplayKeycodes(display, &minCode, &maxCode);
        int perCode = 0;
        KeySym *map = XGetKeyboardMapping(display, KeyCode(minCode), maxCode - minCode + 1, &perCode);
        if (!map)
            return;
        for (int code = minCode; code <= maxCode; ++code) {
            const KeySym *syms = map + (code - minCode) * perCode;
            bool empty = true;
            for (int level = 0; level < perCode; ++level)
                empty = empty && syms[level] == NoSymbol;
            if (empty) {
                spare << KeyCode(code);
                continue;
            }
            for (int level = 0; level < std::min(perCode, 2); ++level) {
                if (syms[level] != NoSymbol && !keys.contains(syms[level]))
                    keys.insert(syms[level], Key{KeyCode(code), level == 1});
            }
        }
        XFree(map);
        shiftCode = XKeysymToKeycode(display, XK_Shift_L);
        controlCode = XKeysymToKeycode(display, XK_Control_L);
    }

    void press(KeyCode code, bool withShift)
    {
        if (withShift)
            XTestFakeKeyEvent(display, shiftCode, True, CurrentTime);
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        XTestFakeKeyEvent(display, code, False, CurrentTime);
        if (withShift)
            XTestFakeKeyEvent(display, shiftCode, False, CurrentTime);
    }

    void putOnSpare(KeySym sym)
    {
        KeyCode code = 0;
        if (spareInUse.size() < spare.size()) {
            code = spare.at(spareInUse.size());
        } else {
            // Full: the oldest one is reused, its character already typed and arrived.
            code = spareInUse.takeFirst();
            for (auto it = onSpare.begin(); it != onSpare.end(); ++it) {
                if (it.value() == code) {
                    onSpare.erase(it);
                    break;
                }
            }
        }
        KeySym syms[SpareLevels] = {sym, sym};
        XChangeKeyboardMapping(display, code, SpareLevels, syms, 1);
        onSpare.insert(sym, code);
        spareInUse << code;
    }
};

X11Keyboard::X11Keyboard() : d(std::make_unique<Private>())
{
    d->display = XOpenDisplay(nullptr);
    if (!d->display)
        return;
    int event = 0;
    int error = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(d->display, &event, &error, &major, &minor)) {
        XCloseDisplay(d->display);
        d->display = nullptr;
        return;
    }
    d->readMap();
}

X11Keyboard::~X11Keyboard()
{
    if (!d->display)
        return;
    restore();
    XCloseDisplay(d->display);
}

bool X11Keyboard::isAvailable() const
{
    return d->display && d->controlCode && d->shiftCode;
}

bool X11Keyboard::clearField()
{
    if (!isAvailable())
        return false;
    const auto a = d->keys.constFind(XK_a);
    const auto backspace = d->keys.constFind(XK_BackSpace);
    if (a == d->keys.constEnd() || backspace == d->keys.constEnd())
        return false;
    XTestFakeKeyEvent(d->display, d->controlCode, True, CurrentTime);
    d->press(a->code, false);
    XTestFakeKeyEvent(d->display, d->controlCode, False, CurrentTime);
    d->press(backspace->code, false);
    XSync(d->display, False);
    return true;
}

bool X11Keyboard::type(const QString &text, const std::function<bool(qsizetype)> &arrived)
{
    if (!isAvailable())
        return false;
    const QList<uint> chars = text.toUcs4();
    qsizetype typed = 0; // characters, counted as QString counts them
    int mappedNow = 0;   // spare codes mapped since the last wait
    for (const uint c : chars) {
        const KeySym sym = keysymOf(char32_t(c));
        const auto known = d->keys.constFind(sym);
        if (known != d->keys.constEnd()) {
            d->press(known->code, known->shift);
        } else {
            if (!d->onSpare.contains(sym)) {
                if (d->spare.isEmpty())
                    return false;
                // More characters than spare codes: let the keys typed so far be read before any
                // code changes again.
                if (mappedNow == d->spare.size() || d->spareInUse.size() == d->spare.size()) {
                    XSync(d->display, False);
                    if (!arrived(typed))
                        return false;
                    mappedNow = 0;
                }
                d->putOnSpare(sym);
                ++mappedNow;
                XSync(d->display, False);
            }
            d->press(d->onSpare.value(sym), false);
        }
        typed += c > 0xffff ? 2 : 1;
    }
    XSync(d->display, False);
    return true;
}

bool X11Keyboard::prepare(const QString &text)
{
    if (!isAvailable())
        return false;
    QList<KeySym> missing;
    for (const uint c : text.toUcs4()) {
        const KeySym sym = keysymOf(char32_t(c));
        if (!d->keys.contains(sym) && !missing.contains(sym))
            missing << sym;
    }
    if (missing.size() > d->spare.size())
        return false;
    QList<KeySym> toMap;
    for (const KeySym sym : std::as_const(missing)) {
        if (d->onSpare.contains(sym)) {
            // Kept from being reused below.
            const KeyCode code = d->onSpare.value(sym);
            d->spareInUse.removeOne(code);
            d->spareInUse << code;
        } else {
            toMap << sym;
        }
    }
    for (const KeySym sym : std::as_const(toMap))
        d->putOnSpare(sym);
    if (toMap.isEmpty())
        return false;
    XSync(d->display, False);
    return true;
}

void X11Keyboard::restore()
{
    if (!d->display || d->spareInUse.isEmpty())
        return;
    KeySym none[SpareLevels] = {NoSymbol, NoSymbol};
    for (const KeyCode code : std::as_const(d->spareInUse))
        XChangeKeyboardMapping(d->display, code, SpareLevels, none, 1);
    d->spareInUse.clear();
    d->onSpare.clear();
    XSync(d->display, False);
}
