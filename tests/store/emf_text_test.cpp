// Text in enhanced metafiles: placement by alignment, advances, character sets and font names.
#include "support/case_name.h"
#include "support/emf_builder.h"
#include "support/image_compare.h"

#include "platform/cp1250.h"
#include "store/gdi/gdi_text.h"
#include "store/layers.h"

#include <gtest/gtest.h>

#include <QFont>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>

#include <algorithm>
#include <array>
#include <vector>

namespace {

using testing_support::EmfBuilder;

QImage render(const QByteArray& emf)
{
    testing_support::ensureGuiApplication();
    return store::loadMetafile(emf)->image().convertToFormat(QImage::Format_RGB32);
}

/** The bounding box of dark pixels (text is drawn black and anti-aliased). */
QRect inkBox(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                box |= QRect(x, y, 1, 1);
    return box;
}

/** "HH" in 20-pixel Arial, aligned by `align`, with its reference point at (100, 50). */
QRect textBox(std::uint32_t align, const std::vector<int>& dx = {})
{
    EmfBuilder b(QSize(200, 100));
    b.createFont(1, -20, "Arial").select(1).setBkMode(1).setTextAlign(align).textOutW({100, 50}, "HH", dx);
    return inkBox(render(b.finish()));
}

TEST(EmfText, alignmentPlacesTextAroundTheReferencePoint)
{
    const QRect leftTop = textBox(0);
    ASSERT_FALSE(leftTop.isEmpty());
    EXPECT_GE(leftTop.left(), 100);
    EXPECT_LE(leftTop.left(), 104);
    EXPECT_GE(leftTop.top(), 50);
    EXPECT_LE(leftTop.top(), 56);

    const QRect right = textBox(2);
    EXPECT_LE(right.right(), 100);
    EXPECT_GE(right.right(), 95);

    const QRect center = textBox(6);
    EXPECT_LE(std::abs((center.left() + center.right()) / 2 - 100), 2);

    const QRect baseline = textBox(24);
    EXPECT_LE(baseline.bottom(), 50);
    EXPECT_GE(baseline.bottom(), 48);
    EXPECT_LE(baseline.top(), 38) << "capital H stands about 14 pixels above the baseline";

    const QRect bottom = textBox(8);
    EXPECT_LT(bottom.bottom(), 50 - 2) << "the descent lies below the letters";
}

TEST(EmfText, characterHeightSetsTheSizeOfCapitals)
{
    const QRect box = textBox(24);
    // Liberation Sans capitals are 0.73 em high.
    EXPECT_NEAR(box.height(), 15, 2);
}

TEST(EmfText, advancesArrayPlacesEachCharacter)
{
    const QRect natural = textBox(0);
    const QRect spread = textBox(0, {60, 60});
    // The second H starts 60 pixels after the first: wider than the natural pair, narrower than 60 plus it.
    EXPECT_GT(spread.width(), 60);
    EXPECT_LT(spread.width(), 60 + natural.width());
}

TEST(EmfText, updateCpDrawsAtTheCurrentPositionAndMovesIt)
{
    EmfBuilder b(QSize(200, 100));
    b.createFont(1, -20, "Arial").select(1).setBkMode(1).setTextAlign(1 | 24).moveTo({20, 60});
    b.textOutW({150, 10}, "H", {30}).textOutW({150, 10}, "H", {30});
    const QRect box = inkBox(render(b.finish()));
    EXPECT_GE(box.left(), 20);
    EXPECT_LE(box.left(), 24);
    EXPECT_NEAR(box.right(), 50 + 14, 3);
    EXPECT_LE(box.bottom(), 60);
}

TEST(EmfText, escapementRotatesTheBaseline)
{
    EmfBuilder b(QSize(200, 200));
    b.createFont(1, -20, "Arial", 400, 1, 900).select(1).setBkMode(1).setTextAlign(24).textOutW({100, 150}, "HHHH");
    const QRect box = inkBox(render(b.finish()));
    EXPECT_GT(box.height(), box.width() * 2) << "text at 90 degrees runs upwards";
    EXPECT_LE(box.bottom(), 151);
}

TEST(EmfText, eightBitTextIsDrawn)
{
    EmfBuilder b(QSize(200, 100));
    b.createFont(1, -20, "Times New Roman", 700, 238)
        .select(1)
        .setBkMode(1)
        .textOutA({10, 10}, platform::cp1250::encode("Zażółć"));
    EXPECT_FALSE(inkBox(render(b.finish())).isEmpty());
}

struct CharsetCase {
    std::uint8_t charSet;
    std::uint8_t byte;
    char16_t expected;
};

class EightBitText : public testing::TestWithParam<CharsetCase> { };

TEST_P(EightBitText, isDecodedByTheFontsCharacterSet)
{
    const CharsetCase& c = GetParam();
    const std::uint8_t bytes[] = {c.byte};
    const QString text = store::gdi::decodeText(bytes, c.charSet);
    ASSERT_EQ(text.size(), 1);
    EXPECT_EQ(text[0].unicode(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Sets, EightBitText,
    testing::Values(CharsetCase {238, 0xB9, u'ą'}, CharsetCase {1, 0x9C, u'ś'}, CharsetCase {238, 0x41, u'A'},
        CharsetCase {204, 0xC0, u'А'}, CharsetCase {204, 0xFF, u'я'}, CharsetCase {204, 0xA8, u'Ё'},
        CharsetCase {0, 0x80, u'€'}, CharsetCase {0, 0xE9, u'é'}, CharsetCase {0, 0x9C, u'œ'},
        CharsetCase {2, 0x61, u'α'}, CharsetCase {2, 0x57, u'Ω'}, CharsetCase {2, 0xB3, u'≥'},
        CharsetCase {2, 0xF0, char16_t(0xF0F0)}),
    testing_support::namedBy([](const CharsetCase& row) {
        return "charset" + std::to_string(row.charSet) + "_byte" + std::to_string(row.byte);
    }));

TEST(FontNames, windowsFontsMapToInstalledFamilies)
{
    using store::gdi::mapFontFamily;
    EXPECT_EQ(mapFontFamily("Arial"), "Liberation Sans");
    EXPECT_EQ(mapFontFamily("helvetica"), "Liberation Sans");
    EXPECT_EQ(mapFontFamily("Times New Roman"), "Liberation Serif");
    EXPECT_EQ(mapFontFamily("Courier New"), "Liberation Mono");
    EXPECT_EQ(mapFontFamily("Tahoma"), "DejaVu Sans");
    EXPECT_EQ(mapFontFamily(""), "DejaVu Sans");
    EXPECT_EQ(mapFontFamily("Symbol"), "Liberation Serif");
    EXPECT_EQ(store::gdi::mapFontFamilies("symbol"), QStringList({"Liberation Serif", "DejaVu Serif"}));
    EXPECT_EQ(store::gdi::mapFontFamilies("Arial"), QStringList({"Liberation Sans"}));
}

TEST(FontNames, symbolLettersAreDrawnInAnInstalledSerifFaceNarrowerThanTheSansStandIn)
{
    testing_support::ensureGuiApplication();
    QFont symbol(store::gdi::mapFontFamily("Symbol"));
    symbol.setPixelSize(100);
    EXPECT_EQ(QFontInfo(symbol).family(), "Liberation Serif");
    QFont sans(store::gdi::mapFontFamily("Tahoma"));
    sans.setPixelSize(100);
    // The Symbol font's "a" is a Greek alpha; its own is about 0.63 em wide, the sans stand-in's 0.66 em.
    const QString alpha = store::gdi::decodeText(std::array<std::uint8_t, 1> {0x61}, 2);
    ASSERT_EQ(alpha, QString(QChar(0x03B1)));
    EXPECT_TRUE(QFontMetricsF(symbol).inFont(alpha[0]));
    EXPECT_LT(QFontMetricsF(symbol).horizontalAdvance(alpha), QFontMetricsF(sans).horizontalAdvance(alpha) * 0.9);
}

TEST(FontNames, everySymbolLetterHasAGlyphInTheSymbolFamilies)
{
    testing_support::ensureGuiApplication();
    std::vector<QFontMetricsF> metrics;
    for (const QString& family : store::gdi::mapFontFamilies("Symbol"))
        metrics.emplace_back(QFont(family));
    for (std::uint8_t code = 0x41; code <= 0x7A; ++code) {
        const QString text = store::gdi::decodeText(std::array<std::uint8_t, 1> {code}, 2);
        if (!text[0].isLetter())
            continue;
        EXPECT_TRUE(
            std::any_of(metrics.begin(), metrics.end(), [&](const QFontMetricsF& m) { return m.inFont(text[0]); }))
            << "code 0x" << std::hex << int(code);
    }
}

} // namespace
