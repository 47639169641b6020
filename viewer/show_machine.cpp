#include "show_machine.h"

namespace viewer {

ShowStep chooseShowStep(int selected, int showEndIndex, bool repeat)
{
    if (selected != showEndIndex)
        return ShowStep::Advance;
    return repeat ? ShowStep::Restart : ShowStep::End;
}

std::uint32_t showIntervalMs(int seconds)
{
    // Wraps like the 32-bit multiplication it stands for: -1 s is 4294966296 ms.
    return std::uint32_t(seconds) * 1000u;
}

void ShowMachine::setRunning(bool running)
{
    m_running = running;
    m_host.setTimerEnabled(running);
}

void ShowMachine::start()
{
    m_host.setConfiguredDelay(m_host.nextDelay());
    setRunning(true);
    tick();
}

void ShowMachine::stop()
{
    setRunning(false);
}

void ShowMachine::tick()
{
    switch (chooseShowStep(m_host.selectedIndex(), m_host.ShowEndIndex(), m_host.repeat())) {
    case ShowStep::End:
        setRunning(false);
        m_host.closeShow();
        m_host.setNextDelay(m_host.configuredDelay());
        m_host.selectFirstSilently();
        return;
    case ShowStep::Restart:
        restart();
        return;
    case ShowStep::Advance:
        m_host.setTimerInterval(showIntervalMs(m_host.nextDelay()));
        setRunning(true);
        m_host.showNext();
        return;
    }
}

void ShowMachine::restart()
{
    setRunning(false);
    m_host.setNextDelay(m_host.configuredDelay());
    // With no entries there is nothing to start from: the show stays stopped.
    if (m_host.ShowEndIndex() < 0)
        return;
    const int before = m_host.selectedIndex();
    m_host.selectFirstEntry();
    if (m_host.selectedIndex() != before) {
        start();
        return;
    }
    // The one entry was selected already: ticking at once would find the end again without a pause, so the
    // picture stays and the show waits for the timer's next tick.
    m_host.setConfiguredDelay(m_host.nextDelay());
    setRunning(true);
}

} // namespace viewer
