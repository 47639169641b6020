#include "show_machine.h"

namespace viewer {

namespace {

/** Sets a flag for as long as it lives, then puts back what it held. */
class FlagSetting {
public:
    FlagSetting(bool& flag, bool value)
        : m_flag(flag)
        , m_saved(flag)
    {
        m_flag = value;
    }
    ~FlagSetting() { m_flag = m_saved; }
    FlagSetting(const FlagSetting&) = delete;
    FlagSetting& operator=(const FlagSetting&) = delete;

private:
    bool& m_flag;
    bool m_saved;
};

} // namespace

QString furtherFailuresText(int count)
{
    // 1 błąd; 2–4, 22–24, … błędy, but 12–14 błędów; every other count błędów.
    const int ones = count % 10;
    const int tens = count % 100;
    const char16_t* word = u"błędów";
    if (count == 1)
        word = u"błąd";
    else if (ones >= 2 && ones <= 4 && (tens < 12 || tens > 14))
        word = u"błędy";
    return QStringLiteral("(i jeszcze %1 %2)").arg(count).arg(QString::fromUtf16(word));
}

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
    const FlagSetting ticking(m_ticking, true);
    step();
}

void ShowMachine::reportFailure(ShowBox kind, const QString& text)
{
    if (m_boxOpen) {
        ++m_furtherFailures;
        m_host.setOpenBoxText(m_boxText + QStringLiteral("\r\n") + furtherFailuresText(m_furtherFailures));
        return;
    }
    m_boxText = text;
    m_furtherFailures = 0;
    const FlagSetting open(m_boxOpen, true);
    // The box's own event loop runs further ticks, each a tick of its own, and the user's commands, which are none.
    const FlagSetting inBox(m_ticking, false);
    m_host.openBox(kind, text);
}

void ShowMachine::step()
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
