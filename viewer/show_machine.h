#pragma once

#include <QString>

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

/** The boxes in which a tick reports a failure: a picture's error box, the default error report. */
enum class ShowBox { Error, Report };

/** How many failures came on top of a box's own, in Polish: "(i jeszcze 3 błędy)"; `count` is at least 1. */
[[nodiscard]] QString furtherFailuresText(int count);

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
    /** Opens a box of `kind` showing `text` and returns once it is closed; ticks go on inside it. */
    virtual void openBox(ShowBox kind, const QString& text) = 0;
    /** Changes the text of the box that openBox() holds open. */
    virtual void setOpenBoxText(const QString& text) = 0;
};

/**
 * The automatic show: stopped or running (running means the timer is enabled). start() takes the delay
 * from the bottom panel, enables the timer and ticks at once; each tick ends, restarts or advances.
 *
 * Ticks go on inside the boxes that ticks open. So that an unattended show over pictures that fail never stacks
 * box upon box, a tick's failure opens a box only while no box that the show opened is open; until that box is
 * closed, each further failure is counted in its text.
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

    /**
     * Whether a tick is running in the innermost event loop: not merely further down, below a box that the show
     * opened, where the user's own commands run too.
     */
    [[nodiscard]] bool ticking() const { return m_ticking; }
    /**
     * Reports a failure of the running tick in a box of `kind`, or, while a box that the show opened is open,
     * counts it in that box's text ("(i jeszcze 2 błędy)" on a line of its own below the first failure's text).
     */
    void reportFailure(ShowBox kind, const QString& text);

private:
    void setRunning(bool running);
    void restart();
    void step();

    ShowHost& m_host;
    bool m_running = false;
    bool m_ticking = false;
    bool m_boxOpen = false;
    /** The open box's first text, and how many failures came on top of it. */
    QString m_boxText;
    int m_furtherFailures = 0;
};

} // namespace viewer
