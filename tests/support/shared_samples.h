#pragma once

#include <QString>

#include <gtest/gtest.h>

namespace testing_support {

/**
 * The shared samples folder: $ZELKAVIO_SAMPLES when set, else the folder "shared/samples" beside the checkout.
 * A fresh clone has no such folder; CI always has it.
 */
[[nodiscard]] QString samplesRoot();

/** Path of a file under the shared samples folder. */
[[nodiscard]] QString samplePath(const QString& relative);

/**
 * Why a test that reads `relative` (a file or folder under the samples folder) cannot run, or an empty string
 * when it can. Under CI=true a missing folder is a failure, since CI always lays the samples beside the checkout.
 */
[[nodiscard]] QString missingSample(const QString& relative);
[[nodiscard]] bool runningUnderCi();

} // namespace testing_support

/**
 * Skips the current test with a message naming the missing folder when the shared samples are not there, and
 * fails it instead under CI. Use at the start of every test that reads the shared samples.
 */
#define REQUIRE_SHARED_SAMPLE(relative)                                                                                \
    do {                                                                                                               \
        if (const QString why = testing_support::missingSample(relative); !why.isEmpty()) {                            \
            if (testing_support::runningUnderCi())                                                                     \
                FAIL() << why.toStdString();                                                                           \
            else                                                                                                       \
                GTEST_SKIP() << why.toStdString();                                                                     \
        }                                                                                                              \
    } while (false)
