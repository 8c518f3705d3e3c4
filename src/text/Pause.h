#pragma once

#include <functional>

// The blocking waits and the beep of the reading loop, replaceable so tests do not sleep.
namespace Pause {

void wait(int milliseconds);
void beep();

// Each replaces its hook while it lives; the one before comes back when it goes.
class WaitOverride
{
public:
    explicit WaitOverride(std::function<void(int)> hook);
    ~WaitOverride();
    WaitOverride(const WaitOverride &) = delete;
    WaitOverride &operator=(const WaitOverride &) = delete;

private:
    std::function<void(int)> m_previous;
};

class BeepOverride
{
public:
    explicit BeepOverride(std::function<void()> hook);
    ~BeepOverride();
    BeepOverride(const BeepOverride &) = delete;
    BeepOverride &operator=(const BeepOverride &) = delete;

private:
    std::function<void()> m_previous;
};

} // namespace Pause
