#include "viewer/description_text.h"
#include "viewer/fit_window.h"

#include <gtest/gtest.h>

using viewer::descriptionFromFieldText;
using viewer::fieldTextFromDescription;

TEST(DescriptionText, LineBreaksAreCrLfInTheFileAndParagraphsInTheField)
{
    EXPECT_EQ(fieldTextFromDescription("one\r\ntwo\r\n"), u"one\ntwo\n");
    EXPECT_EQ(descriptionFromFieldText(u"one\u2029two\u2029"_qs), "one\r\ntwo\r\n");
    EXPECT_EQ(descriptionFromFieldText(u"soft\u2028break"_qs), "soft\r\nbreak");
}

TEST(DescriptionText, PolishLettersRoundTripThroughWindows1250)
{
    const QByteArray stored("\xa3\xf3\x64\x9f \xb9\xea\r\n\x8c\x9c", 11);
    const QString field = fieldTextFromDescription(stored);
    EXPECT_EQ(field, u"Łódź ąę\nŚś");
    QString raw = field;
    raw.replace(u'\n', QChar::ParagraphSeparator);
    EXPECT_EQ(descriptionFromFieldText(raw), stored);
}

TEST(DescriptionText, CharactersOutsideTheCodePageBecomeQuestionMarksAndNoBreakSpacesStay)
{
    EXPECT_EQ(descriptionFromFieldText(u"a\u4e2db\u00a0c"_qs),
        "a?b\xa0"
        "c");
}

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
