#include "viewer/picture_scale.h"

#include "support/case_name.h"

#include <gtest/gtest.h>

namespace {

// On a 1280 × 1024 screen the largest client area is 1260 × 994 units.
const QSize kScreen(1280, 1024);

struct LayoutRow {
    const char* name;
    QSize picture;
    double ratio;
    bool fit;
    std::optional<double> zoom;
    QSize pixels;
    QSize units;
    /** The zoom steps in and out from this layout, and the decoder's reduction for it. */
    double zoomIn;
    double zoomOut;
    int reduction;
};

class PictureLayouts : public ::testing::TestWithParam<LayoutRow> { };

} // namespace

TEST_P(PictureLayouts, ScaleSizeStepsAndReduction)
{
    const LayoutRow& row = GetParam();
    const viewer::PictureLayout layout = viewer::layoutPicture(row.picture, kScreen, row.ratio, row.fit, row.zoom);
    EXPECT_EQ(layout.pixels, row.pixels);
    EXPECT_EQ(layout.units, row.units);
    EXPECT_DOUBLE_EQ(viewer::nextZoomStep(layout.scale, true), row.zoomIn);
    EXPECT_DOUBLE_EQ(viewer::nextZoomStep(layout.scale, false), row.zoomOut);
    EXPECT_EQ(viewer::decodeReduction(row.picture, layout.pixels), row.reduction);
}

INSTANTIATE_TEST_SUITE_P(Cases, PictureLayouts,
    ::testing::Values(
        LayoutRow {"natural photo", {6000, 4000}, 1, false, {}, {6000, 4000}, {6000, 4000}, 1.5, 2.0 / 3, 1},
        LayoutRow {"fitted photo, width binds", {6000, 4000}, 1, true, {}, {1260, 840}, {1260, 840}, 0.25, 1.0 / 6, 4},
        LayoutRow {"tall photo fitted", {3000, 4000}, 1, true, {}, {746, 994}, {746, 994}, 0.25, 1.0 / 6, 4},
        LayoutRow {"small stays natural", {400, 300}, 1, true, {}, {400, 300}, {400, 300}, 1.5, 2.0 / 3, 1},
        LayoutRow {"area size stays", {1260, 994}, 1, true, {}, {1260, 994}, {1260, 994}, 1.5, 2.0 / 3, 1},
        LayoutRow {"a hair too wide is fitted", {1261, 100}, 1, true, {}, {1260, 100}, {1260, 100}, 1, 2.0 / 3, 1},
        LayoutRow {"fitted at ratio 2", {6000, 4000}, 2, true, {}, {2520, 1680}, {1260, 840}, 0.5, 1.0 / 3, 2},
        LayoutRow {"fitted at ratio 1.5", {6000, 4000}, 1.5, true, {}, {1890, 1260}, {1260, 840}, 1.0 / 3, 0.25, 2},
        LayoutRow {"natural at ratio 2", {400, 300}, 2, false, {}, {400, 300}, {200, 150}, 1.5, 2.0 / 3, 1},
        LayoutRow {"ratio 1.5 rounds up", {401, 301}, 1.5, false, {}, {401, 301}, {268, 201}, 1.5, 2.0 / 3, 1},
        LayoutRow {"zoomed in", {400, 300}, 1, true, 3.0 / 2, {600, 450}, {600, 450}, 2, 1, 1},
        LayoutRow {"largest step", {400, 300}, 1, false, 8.0, {3200, 2400}, {3200, 2400}, 8, 6, 1},
        LayoutRow {"smallest step", {6000, 4000}, 1, false, 1.0 / 8, {750, 500}, {750, 500}, 1.0 / 6, 1.0 / 8, 8},
        LayoutRow {"zoomed at ratio 2", {6000, 4000}, 2, false, 1.0 / 3, {2000, 1333}, {1000, 667}, 0.5, 0.25, 2}),
    testing_support::ByName());

TEST(AnchoredZoom, KeepsThePointUnderTheAnchorWithinTheScrollRange)
{
    struct Row {
        int offset, anchor;
        double from, to;
        int maxOffset, expected;
    };
    for (const Row& row : {Row {0, 100, 1, 2, 1000, 100}, Row {300, 200, 2, 1, 1000, 50}, Row {0, 50, 1, 0.5, 0, 0},
             Row {900, 100, 1, 2, 1000, 1000}}) {
        EXPECT_EQ(viewer::anchoredOffset(row.offset, row.anchor, row.from, row.to, row.maxOffset), row.expected)
            << row.offset << " " << row.anchor << " " << row.from << "→" << row.to;
    }
}
