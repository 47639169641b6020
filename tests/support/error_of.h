#pragma once

#include "platform/errors.h"

#include <QString>

namespace testing_support {

/** The message of the AppError that `action` raises, or `none` when it raises nothing. */
template <typename Action> [[nodiscard]] QString errorOf(Action&& action, const QString& none = QString())
{
    try {
        action();
    } catch (const platform::AppError& e) {
        return e.message();
    }
    return none;
}

} // namespace testing_support
