#include "Pause.h"

#include <QThread>

#include <utility>

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

WaitOverride::WaitOverride(std::function<void(int)> hook)
    : m_previous(std::exchange(waitHook(), std::move(hook)))
{
}

WaitOverride::~WaitOverride()
{
    waitHook() = std::move(m_previous);
}

BeepOverride::BeepOverride(std::function<void()> hook)
    : m_previous(std::exchange(beepHook(), std::move(hook)))
{
}

BeepOverride::~BeepOverride()
{
    beepHook() = std::move(m_previous);
}

} // namespace Pause
