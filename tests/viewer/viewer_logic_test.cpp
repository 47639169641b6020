#include "viewer/fit_window.h"

#include <gtest/gtest.h>

namespace {

struct FitRow {
    const char* name;
    QSize picture;
    std::optional<viewer::WindowFit> expected;
};

class FitWindow : public ::testing::TestWithParam<FitRow> { };

} // namespace

TEST_P(FitWindow, PicksTheCaseForThePictureAndTheScreen)
{
    const std::optional<viewer::WindowFit> fit = viewer::fitWindowToPicture(GetParam().picture, QSize(1024, 768));
    ASSERT_EQ(fit.has_value(), GetParam().expected.has_value());
    if (fit) {
        EXPECT_EQ(fit->client, GetParam().expected->client);
        EXPECT_EQ(fit->autoSize, GetParam().expected->autoSize);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, FitWindow,
    ::testing::Values(FitRow {"LargerBothWays", QSize(2000, 1000), viewer::WindowFit {QSize(1004, 738), false}},
        FitRow {"Wider", QSize(2000, 500), viewer::WindowFit {QSize(1004, 500), false}},
        FitRow {"Taller", QSize(500, 1000), viewer::WindowFit {QSize(500, 738), false}},
        FitRow {"Smaller", QSize(640, 480), viewer::WindowFit {QSize(640, 480), true}},
        FitRow {"ExactlyAsWide", QSize(1024, 500), std::nullopt},
        FitRow {"ExactlyAsHigh", QSize(500, 768), std::nullopt},
        FitRow {"WiderAndExactlyAsHigh", QSize(2000, 768), std::nullopt}),
    [](const auto& row) { return std::string(row.param.name); });
