#include "help/rtf_document.h"

#include "support/shared_samples.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace {

/** One sample file with the blocks the rich edit control shows for it (shared/samples/rtf/expected-blocks.txt). */
struct ExpectedSample {
    QString file;
    bool rtf = false;
    QStringList blocks; // "[L<left> R<right> FI<first line> A<alignment>] text" with <TAB> and <LS>
};

std::vector<ExpectedSample> expectedSamples()
{
    QFile file(testing_support::samplePath(QStringLiteral("rtf/expected-blocks.txt")));
    std::vector<ExpectedSample> samples;
    if (!file.open(QIODevice::ReadOnly))
        return samples;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (const QString& line : lines) {
        if (line.startsWith(QStringLiteral("== "))) {
            ExpectedSample sample;
            sample.file = line.mid(3).section(u' ', 0, 0);
            sample.rtf = line.contains(QStringLiteral("(RTF)"));
            samples.push_back(sample);
        } else if (line.startsWith(QStringLiteral("  [")) && !samples.empty()) {
            samples.back().blocks << line.mid(2);
        }
    }
    return samples;
}

/** A block as the expectations write it: margins rounded to whole pixels, alignment as Qt's flag value. */
QString describe(const QTextBlock& block)
{
    const QTextBlockFormat f = block.blockFormat();
    int alignment = static_cast<int>(f.alignment() & Qt::AlignHorizontal_Mask);
    if (alignment == 0)
        alignment = Qt::AlignLeft;
    QString text = block.text();
    text.replace(u'\t', QStringLiteral("<TAB>"));
    text.replace(QChar::LineSeparator, QStringLiteral("<LS>"));
    return QStringLiteral("[L%1 R%2 FI%3 A%4] ")
               .arg(qRound(f.leftMargin()))
               .arg(qRound(f.rightMargin()))
               .arg(qRound(f.textIndent()))
               .arg(alignment)
        + text;
}

class GuiApp : public testing::Test {
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

using SharedRtfSamples = GuiApp;

TEST_F(SharedRtfSamples, EverySampleGivesTheParagraphsTheRichEditControlShows)
{
    REQUIRE_SHARED_SAMPLE("rtf/expected-blocks.txt");
    const std::vector<ExpectedSample> samples = expectedSamples();
    ASSERT_GE(samples.size(), 6U);
    for (const ExpectedSample& sample : samples) {
        SCOPED_TRACE(sample.file.toStdString());
        QFile file(testing_support::samplePath(QStringLiteral("rtf/") + sample.file));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        EXPECT_EQ(help::isRtf(platform::asBytes(bytes)), sample.rtf);
        QTextDocument document;
        help::loadHelpText(platform::asBytes(bytes), document, 96);
        QStringList blocks;
        for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
            blocks << describe(block);
        EXPECT_EQ(blocks.size(), sample.blocks.size());
        for (qsizetype i = 0; i < std::min(blocks.size(), sample.blocks.size()); ++i)
            EXPECT_EQ(blocks[i].toStdString(), sample.blocks[i].toStdString()) << "block " << i;
    }
}

} // namespace
