#pragma once

#include <QString>

#include <exception>
#include <utility>

namespace platform {

/** The text the default error report gives the exception being handled. Call only from a catch block. */
[[nodiscard]] QString currentExceptionText();

/**
 * Shows an exception that escaped a handler in the application's default error report. Call only from a
 * catch block: it rethrows the current exception to learn its text.
 */
void reportCurrentException() noexcept;

/**
 * Runs `handler` so that nothing escapes into Qt: an AppError or any other exception that leaves it ends the
 * action and goes to the default error report, after which the program goes on. Every entry from Qt into our
 * handlers (slots, event overrides, timer ticks) passes through here. Gives back whether the handler finished.
 */
template <typename Handler> bool guarded(Handler&& handler) noexcept
{
    try {
        std::forward<Handler>(handler)();
        return true;
    } catch (...) {
        reportCurrentException();
        return false;
    }
}

/** A slot adapter: `connect(button, &QPushButton::clicked, this, guard([this] { BitStopClick(); }))`. */
template <typename Handler> auto guard(Handler handler)
{
    return [handler = std::move(handler)](auto&&...) { guarded(handler); };
}

} // namespace platform
