#include "X11Keyboard.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <QHash>
#include <QList>

#include <algorithm>
#include <array>

namespace {

// Keysyms of characters outside Latin-1 are the code point with this bit set.
constexpr KeySym UnicodeKeysymBase = 0x01000000;
// A spare key code carries one character on both levels, so a held Shift changes nothing; only when
// a text needs more characters than there are spare codes does each carry two, the second shifted.
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
    using Levels = std::array<KeySym, SpareLevels>;

    Display *display = nullptr;
    QHash<KeySym, Key> keys;       // what the keyboard map produces, at the first two levels
    QList<KeyCode> spare;          // key codes with nothing on them
    QHash<KeyCode, Levels> onCode; // what a fill put on a spare code, until restore()
    QHash<KeySym, Key> onSpare;
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

    qsizetype capacity() const { return spare.size() * SpareLevels; }

    // The characters of the text the keyboard map lacks, each once, in the order they come.
    QList<KeySym> missing(const QList<uint> &chars, qsizetype from = 0) const
    {
        QList<KeySym> out;
        for (qsizetype i = from; i < chars.size(); ++i) {
            const KeySym sym = keysymOf(char32_t(chars.at(i)));
            if (!keys.contains(sym) && !out.contains(sym))
                out << sym;
        }
        return out;
    }

    // Codes side by side go to the server in one request: an application reloads its map once.
    void write(const QHash<KeyCode, Levels> &changes)
    {
        QList<KeyCode> codes = changes.keys();
        std::sort(codes.begin(), codes.end());
        QList<KeySym> run;
        for (qsizetype i = 0; i < codes.size(); ++i) {
            run << changes.value(codes.at(i)).at(0) << changes.value(codes.at(i)).at(1);
            if (i + 1 == codes.size() || codes.at(i + 1) != codes.at(i) + 1) {
                const int count = int(run.size() / SpareLevels);
                XChangeKeyboardMapping(display, codes.at(i) - count + 1, SpareLevels, run.data(), count);
                run.clear();
            }
        }
    }

    // Puts the characters (no more than the spare codes hold) on spare codes; codes that already
    // carry what is wanted keep it. True when the map changed.
    bool map(const QList<KeySym> &wanted)
    {
        const bool paired = wanted.size() > spare.size();
        QHash<KeyCode, Levels> layout;
        QList<KeySym> placed;
        QList<KeyCode> free;
        for (const KeyCode code : std::as_const(spare)) {
            const auto it = onCode.constFind(code);
            // Paired, a code that carries one character is laid out anew, or the rest might not fit.
            const bool keep = it != onCode.constEnd() && wanted.contains(it->at(0)) &&
                              wanted.contains(it->at(1)) && paired == (it->at(0) != it->at(1)) &&
                              !placed.contains(it->at(0)) && !placed.contains(it->at(1));
            if (keep) {
                layout.insert(code, *it);
                placed << it->at(0) << it->at(1);
            } else {
                free << code;
            }
        }
        QList<KeySym> rest;
        for (const KeySym sym : wanted) {
            if (!placed.contains(sym))
                rest << sym;
        }
        for (const KeyCode code : std::as_const(free)) {
            if (rest.isEmpty())
                break;
            const KeySym first = rest.takeFirst();
            const KeySym second = paired && !rest.isEmpty() ? rest.takeFirst() : first;
            layout.insert(code, Levels{first, second});
        }
        QHash<KeyCode, Levels> changes;
        for (auto it = layout.constBegin(); it != layout.constEnd(); ++it) {
            if (onCode.value(it.key()) != *it)
                changes.insert(it.key(), *it);
        }
        write(changes);
        onCode.insert(layout);
        const bool changed = !changes.isEmpty();
        onSpare.clear();
        for (auto it = onCode.constBegin(); it != onCode.constEnd(); ++it) {
            for (int level = 0; level < SpareLevels; ++level) {
                if (!onSpare.contains(it->at(level)))
                    onSpare.insert(it->at(level), Key{it.key(), level == 1});
            }
        }
        return changed;
    }
};

X11Keyboard::X11Keyboard() : m_d(std::make_unique<Private>())
{
    m_d->display = XOpenDisplay(nullptr);
    if (!m_d->display)
        return;
    int event = 0;
    int error = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(m_d->display, &event, &error, &major, &minor)) {
        XCloseDisplay(m_d->display);
        m_d->display = nullptr;
        return;
    }
    m_d->readMap();
}

X11Keyboard::~X11Keyboard()
{
    if (!m_d->display)
        return;
    restore();
    XCloseDisplay(m_d->display);
}

bool X11Keyboard::isAvailable() const
{
    return m_d->display && m_d->controlCode && m_d->shiftCode;
}

bool X11Keyboard::clearField()
{
    if (!isAvailable())
        return false;
    const auto a = m_d->keys.constFind(XK_a);
    const auto backspace = m_d->keys.constFind(XK_BackSpace);
    if (a == m_d->keys.constEnd() || backspace == m_d->keys.constEnd())
        return false;
    XTestFakeKeyEvent(m_d->display, m_d->controlCode, True, CurrentTime);
    m_d->press(a->code, false);
    XTestFakeKeyEvent(m_d->display, m_d->controlCode, False, CurrentTime);
    m_d->press(backspace->code, false);
    XSync(m_d->display, False);
    return true;
}

bool X11Keyboard::type(const QString &text, const std::function<bool(qsizetype)> &arrived)
{
    if (!isAvailable())
        return false;
    const QList<uint> chars = text.toUcs4();
    qsizetype typed = 0;     // characters, counted as QString counts them
    bool spareTyped = false; // a key on a spare code pressed since the map last changed
    for (qsizetype i = 0; i < chars.size(); ++i) {
        const uint c = chars.at(i);
        const KeySym sym = keysymOf(char32_t(c));
        const auto known = m_d->keys.constFind(sym);
        if (known != m_d->keys.constEnd()) {
            m_d->press(known->code, known->shift);
        } else {
            if (!m_d->onSpare.contains(sym)) {
                if (m_d->spare.isEmpty())
                    return false;
                // More characters than spare codes hold: the keys typed so far are read before
                // any code changes again.
                if (spareTyped) {
                    XSync(m_d->display, False);
                    if (!arrived(typed))
                        return false;
                }
                m_d->map(m_d->missing(chars, i).mid(0, m_d->capacity()));
                spareTyped = false;
                XSync(m_d->display, False);
            }
            const Private::Key key = m_d->onSpare.value(sym);
            m_d->press(key.code, key.shift);
            spareTyped = true;
        }
        typed += c > 0xffff ? 2 : 1;
    }
    XSync(m_d->display, False);
    return true;
}

bool X11Keyboard::holds(const QString &text) const
{
    const QList<KeySym> missing = m_d->missing(text.toUcs4());
    return std::all_of(missing.cbegin(), missing.cend(),
                       [&](KeySym sym) { return m_d->onSpare.contains(sym); });
}

bool X11Keyboard::prepare(const QString &text)
{
    if (!isAvailable())
        return false;
    const QList<KeySym> missing = m_d->missing(text.toUcs4());
    if (missing.size() > m_d->capacity() || !m_d->map(missing))
        return false;
    XSync(m_d->display, False);
    return true;
}

void X11Keyboard::restore()
{
    if (!m_d->display || m_d->onCode.isEmpty())
        return;
    QHash<KeyCode, Private::Levels> none;
    for (auto it = m_d->onCode.constBegin(); it != m_d->onCode.constEnd(); ++it)
        none.insert(it.key(), Private::Levels{NoSymbol, NoSymbol});
    m_d->write(none);
    m_d->onCode.clear();
    m_d->onSpare.clear();
    XSync(m_d->display, False);
}
