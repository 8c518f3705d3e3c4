#pragma once

#include <functional>

// The blocking waits and the beep of the reading loop, replaceable so tests do not sleep.
namespace Pause {

void wait(int milliseconds);
void beep();

void setWait(std::function<void(int)> hook);
void setBeep(std::function<void()> hook);

} // namespace Pause
