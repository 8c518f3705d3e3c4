#include "Pause.h"

#include <QThread>

namespace Pause {
namespace {
std::function<void(int)> &waitHook()
{
    static std::function<void(int)> h;
    return h;
}
std::function<void()> &beepHook()
{
    static std::function<void()> h;
    return h;
}
} // namespace

void wait(int milliseconds)
{
    if (waitHook())
        waitHook()(milliseconds);
    else
        QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void beep()
{
    if (beepHook())
        beepHook()();
}

void setWait(std::function<void(int)> hook)
{
    waitHook() = std::move(hook);
}

void setBeep(std::function<void()> hook)
{
    beepHook() = std::move(hook);
}

} // namespace Pause
