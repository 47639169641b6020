#include "help/rtf_document.h"
#include "help/rtf_reader.h"
#include "support/case_name.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

using help::readRtf;
using help::RtfDocument;

/** The paragraphs' texts joined with "|". */
QString texts(const RtfDocument& document)
{
    QStringList paragraphs;
    for (const help::RtfParagraph& paragraph : document.paragraphs) {
        QString text;
        for (const help::RtfRun& run : paragraph.runs)
            text += run.text;
        paragraphs << text;
    }
    return paragraphs.join(u'|');
}

RtfDocument read(const QByteArray& rtf)
{
    return readRtf(platform::asBytes(rtf));
}

struct TextCase {
    const char* what;
    QByteArray rtf;
    QString expected;
};

class RtfText : public testing::TestWithParam<TextCase> { };

TEST_P(RtfText, ReadsTheTextTheRichEditControlShows)
{
    EXPECT_EQ(texts(read(GetParam().rtf)).toStdString(), GetParam().expected.toStdString());
}

INSTANTIATE_TEST_SUITE_P(Reader, RtfText,
    testing::Values(TextCase {"final par makes no paragraph", R"({\rtf1 TestSomeText\par})", u"TestSomeText"_s},
        TextCase {"two final pars keep one empty", R"({\rtf1 TestSomeText\par\par})", u"TestSomeText|"_s},
        TextCase {"truncated file", R"({\rtf1 abc\par de)", u"abc|de"_s},
        TextCase {"text after the outer group is not read", R"({\rtf1 in}out)", u"in"_s},
        TextCase {"unknown words and destinations", R"({\rtf1 a\foo12 b{\*\bar hidden}c})", u"abc"_s},
        TextCase {
            "old destinations without star", R"({\rtf1 {\info{\title T}}{\pict 0102}x{\stylesheet{s;}}})", u"x"_s},
        TextCase {
            "field shows its result only", R"({\rtf1 {\field{\*\fldinst HYPERLINK "x"}{\fldrslt link}}})", u"link"_s},
        TextCase {"hidden text", R"({\rtf1 a{\v hidden}b\v c\v0 d})", u"abd"_s},
        TextCase {"cp1250 bytes through the font's charset",
            R"({\rtf1\ansi{\fonttbl{\f0\fcharset238 Arial;}}\f0 \'b9\'9c})", u"ąś"_s},
        TextCase {
            "cp1252 bytes through the font's charset", R"({\rtf1{\fonttbl{\f0\fcharset0 Arial;}}\f0 \'e0})", u"à"_s},
        TextCase {"the document code page for a font without charset",
            R"({\rtf1\ansi\ansicpg1250{\fonttbl{\f0 Arial;}}\f0 \'b3})", u"ł"_s},
        TextCase {"symbol font bullet", R"({\rtf1{\fonttbl{\f1\fcharset2 Symbol;}}{\pntext\f1\'B7\tab}x})", u"•\tx"_s},
        TextCase {"unicode with fallback", R"({\rtf1\uc1\u321?\uc2\u322\'b3x y})", u"Łł y"_s},
        TextCase {"fallback stops at a group", R"({\rtf1\uc3\u321{a}b})", u"Łab"_s},
        TextCase {"surrogate pair", R"({\rtf1\u-10179?\u-8704?})", u"\U0001F600"_s},
        TextCase {"lone high surrogate", R"({\rtf1\u-10179?x})", u"\uFFFDx"_s},
        TextCase {"lone low surrogate", R"({\rtf1\u-8704?x})", u"\uFFFDx"_s},
        TextCase {"high surrogate at the end", R"({\rtf1 x\u-10179?})", u"x\uFFFD"_s},
        TextCase {"invalid hex escape is literal", R"({\rtf1 a\'zzb\'4})", u"a'zzb'4"_s},
        TextCase {"backslash at the end", "{\\rtf1 a\\", u"a"_s},
        TextCase {"bin skips raw bytes, braces included", "{\\rtf1 a\\bin3 {}\\b}", u"ab"_s},
        TextCase {"bin past the end", "{\\rtf1 a\\bin999999 xyz", u"a"_s},
        TextCase {"negative bin", "{\\rtf1 a\\bin-5 b}", u"ab"_s},
        TextCase {"huge parameter", "{\\rtf1 a\\fs99999999999999999999 b\\u99999999999999 c}", u"ab\uFFFF"_s},
        TextCase {
            "line and special characters", R"({\rtf1 a\line b\emdash\~\-\_})", u"a\u2028b\u2014\u00A0\u00AD\u2011"_s},
        TextCase {"escaped CR byte stays in its paragraph", R"({\rtf1 a\'0db})", u"a\rb"_s},
        TextCase {"backslash newline is a paragraph", "{\\rtf1 a\\\nb}", u"a|b"_s},
        TextCase {"stray closing brace ends the document", "{\\rtf1 a}}b", u"a"_s}),
    testing_support::namedBy([](const TextCase& row) { return row.what; }));

TEST(RtfReader, ParagraphAndCharacterFormattingFollowTheGroups)
{
    const RtfDocument doc = read(R"({\rtf1{\colortbl;\red255\green0\blue0;}\deftab360 )"
                                 R"(\pard\li720\ri360\fi-360\qj\sb120\sa240 {\b\i\cf1\fs28 one}\ul two\par)"
                                 R"(\pard\qc\strike\super three})");
    ASSERT_EQ(doc.paragraphs.size(), 2U);
    EXPECT_EQ(doc.defaultTab, 360);
    const help::RtfParaFormat& p = doc.paragraphs[0].format;
    EXPECT_EQ(p.leftIndent, 720);
    EXPECT_EQ(p.rightIndent, 360);
    EXPECT_EQ(p.firstLineIndent, -360);
    EXPECT_EQ(p.spaceBefore, 120);
    EXPECT_EQ(p.spaceAfter, 240);
    EXPECT_EQ(p.alignment, help::RtfAlignment::Justify);
    ASSERT_EQ(doc.paragraphs[0].runs.size(), 2U);
    const help::RtfCharFormat& one = doc.paragraphs[0].runs[0].format;
    EXPECT_TRUE(one.bold && one.italic && !one.underline);
    EXPECT_EQ(one.halfPoints, 28);
    EXPECT_EQ(one.foreground, qRgb(255, 0, 0));
    const help::RtfCharFormat& two = doc.paragraphs[0].runs[1].format;
    EXPECT_TRUE(!two.bold && two.underline && !two.foreground);
    EXPECT_EQ(doc.paragraphs[1].format.alignment, help::RtfAlignment::Centre);
    EXPECT_EQ(doc.paragraphs[1].format.leftIndent, 0);
    EXPECT_TRUE(doc.paragraphs[1].runs[0].format.strikeOut);
    EXPECT_EQ(doc.paragraphs[1].runs[0].format.vertical, help::RtfVertical::Super);
}

TEST(RtfReader, HostileInputsEndQuicklyWithWhatCouldBeRead)
{
    struct Case {
        const char* what;
        QByteArray rtf;
        QString expected;
    };
    const QByteArray braces(100000, '{');
    const QByteArray closing(100000, '}');
    const QByteArray picture = "{\\rtf1 a{\\pict\\pngblip " + QByteArray(qsizetype {10} * 1024 * 1024, 'f') + "}b}";
    QByteArray pars = "{\\rtf1 ";
    for (std::size_t i = 0; i < help::kMaxRtfParagraphs + 10; ++i)
        pars += "\\par";
    const std::vector<Case> cases {
        {"100,000 open braces", "{\\rtf1 x" + braces + "y", u"x"_s},
        {"100,000 nested groups closed again", "{\\rtf1 x" + braces + "deep" + closing + "}", u"x"_s},
        {"10 MB picture", picture, u"ab"_s},
        {"bin far past the end", "{\\rtf1 a\\bin2147483647 " + QByteArray(100, 'x'), u"a"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(texts(read(c.rtf)), c.expected);
    }
    EXPECT_EQ(read(pars).paragraphs.size(), help::kMaxRtfParagraphs);
    // Measures beyond any page are cut to 22 inches, so that negating one stays in range.
    const RtfDocument extreme = read(R"({\rtf1\fi-2147483648\li99999999\sl-2147483648\deftab2147483647 x})");
    ASSERT_EQ(extreme.paragraphs.size(), 1U);
    EXPECT_EQ(extreme.paragraphs[0].format.firstLineIndent, -31680);
    EXPECT_EQ(extreme.paragraphs[0].format.leftIndent, 31680);
    EXPECT_EQ(extreme.paragraphs[0].format.lineSpacing, -31680);
    EXPECT_EQ(extreme.defaultTab, 31680);
}

class RtfDocumentTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!qApp) {
            static int argc = 1;
            static char name[] = "help_tests";
            static char* argv[] = {name, nullptr};
            new QGuiApplication(argc, argv);
        }
    }
};

TEST_F(RtfDocumentTest, BlocksTakeTheIndentsInPixelsAndTheRunsTheirFonts)
{
    QTextDocument document;
    help::loadHelpText(platform::asBytes(QByteArray(R"({\rtf1{\fonttbl{\f0 DejaVu Serif;}}\f0\fs20 )"
                                                    R"(\pard\li1440\ri720\fi-720 1.\tab\b text\par x\'0dy})")),
        document, 96);
    ASSERT_EQ(document.blockCount(), 2);
    const QTextBlock first = document.begin();
    EXPECT_DOUBLE_EQ(first.blockFormat().leftMargin(), 96);
    EXPECT_DOUBLE_EQ(first.blockFormat().rightMargin(), 48);
    EXPECT_DOUBLE_EQ(first.blockFormat().textIndent(), -48);
    ASSERT_EQ(first.blockFormat().tabPositions().size(), 1);
    EXPECT_DOUBLE_EQ(first.blockFormat().tabPositions().front().position, 48);
    const QTextCharFormat plain = first.begin().fragment().charFormat();
    EXPECT_EQ(plain.fontFamilies().toStringList(), QStringList {u"DejaVu Serif"_s});
    EXPECT_DOUBLE_EQ(plain.fontPointSize(), 10);
    EXPECT_EQ(plain.fontWeight(), QFont::Normal);
    // A CR byte written as \'0d stays a line break inside its paragraph.
    EXPECT_EQ(first.next().text(), u"x\u2028y"_s);
}

TEST_F(RtfDocumentTest, PlainTextIsWindows1250WithAnyLineBreak)
{
    QTextDocument document;
    help::loadHelpText(platform::asBytes(QByteArray("a\xb9\r\nb\rc\nd")), document, 96);
    EXPECT_EQ(document.toPlainText(), u"aą\nb\nc\nd"_s);
    EXPECT_EQ(document.blockCount(), 4);
}

TEST(RtfDetection, OnlyDataStartingWithTheRtfHeaderIsRtf)
{
    const std::vector<std::pair<QByteArray, bool>> cases {{"{\\rtf1 x}", true}, {"{\\urtf1 x}", true}, {"{\\rtf", true},
        {" {\\rtf1 x}", false}, {"\xef\xbb\xbf{\\rtf1 x}", false}, {"{\\RTF1", false}, {"{\\rt", false}, {"", false},
        {"plain", false}};
    for (const auto& [bytes, rtf] : cases)
        EXPECT_EQ(help::isRtf(platform::asBytes(bytes)), rtf) << bytes.toStdString();
}

TEST_F(RtfDocumentTest, EveryKeptFuzzingFindReadsWithoutFault)
{
    const QDir regressions(QStringLiteral(ZELKAVIO_FUZZ_REGRESSIONS "/rtf"));
    const QStringList files = regressions.entryList(QDir::Files);
    ASSERT_FALSE(files.isEmpty()) << "no RTF regression inputs in " << regressions.path().toStdString();
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        QFile file(regressions.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QTextDocument document;
        help::loadHelpText(platform::asBytes(bytes), document, 96);
        EXPECT_GE(document.blockCount(), 1);
    }
}

} // namespace
