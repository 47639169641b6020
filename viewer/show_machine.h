#pragma once

#include <cstdint>

namespace viewer {

/** What a tick of the automatic show does. */
enum class ShowStep { End, Restart, Advance };

/**
 * The tick's choice: at the show's end (`selected` == `showEndIndex`, the last entry's index, which is also the
 * case for an empty list with nothing selected) the show ends, or restarts when it repeats; everywhere else it
 * advances.
 */
[[nodiscard]] ShowStep chooseShowStep(int selected, int showEndIndex, bool repeat);

/** The timer interval for a delay of `seconds`: the 32-bit product with 1000, taken as unsigned. */
[[nodiscard]] std::uint32_t showIntervalMs(int seconds);

/**
 * What the show needs of the windows: the file list, the delays in the viewer state and on the bottom
 * panel, the timer and the picture and description windows. The show keeps no state of its own besides
 * whether it runs; where it stands is the file list's selection.
 */
class ShowHost {
public:
    virtual ~ShowHost() = default;
    [[nodiscard]] virtual int selectedIndex() const = 0;
    /** The index at which the show ends: the list's last entry as the list is now (-1 for an empty list). */
    [[nodiscard]] virtual int ShowEndIndex() const = 0;
    [[nodiscard]] virtual bool repeat() const = 0;
    /** The delay the next tick uses (`SpinEdit1`). */
    [[nodiscard]] virtual int nextDelay() const = 0;
    virtual void setNextDelay(int seconds) = 0;
    /** The configured delay (`lblSpin`); reading it may raise ConvertError. */
    [[nodiscard]] virtual int configuredDelay() const = 0;
    virtual void setConfiguredDelay(int seconds) = 0;
    virtual void setTimerEnabled(bool enabled) = 0;
    virtual void setTimerInterval(std::uint32_t milliseconds) = 0;
    /** Closes the picture window, empties the description field and closes its window. */
    virtual void closeShow() = 0;
    /** Selects entry 0 without showing anything, not even the counter (no entry: nothing). */
    virtual void selectFirstSilently() = 0;
    /** Selects entry 0 by its name as the list does, so its companion edit prepares the next sound. */
    virtual void selectFirstEntry() = 0;
    /** The "next" command: selects the following entry and shows it. */
    virtual void showNext() = 0;
};

/**
 * The automatic show: stopped or running (running means the timer is enabled). start() takes the delay
 * from the bottom panel, enables the timer and ticks at once; each tick ends, restarts or advances.
 */
class ShowMachine {
public:
    explicit ShowMachine(ShowHost& host)
        : m_host(host)
    {
    }

    [[nodiscard]] bool isRunning() const { return m_running; }

    void start();
    void stop();
    void tick();

private:
    void setRunning(bool running);
    void restart();

    ShowHost& m_host;
    bool m_running = false;
};

} // namespace viewer
