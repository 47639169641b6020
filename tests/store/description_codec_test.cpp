#include "store/description_codec.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using platform::asBytes;
using store::descriptionByteLength;
using store::descriptionToFieldText;
using store::fieldTextToDescription;

TEST(DescriptionCodec, LineBreaksAreCrLfInTheFileAndParagraphsInTheField)
{
    EXPECT_EQ(descriptionToFieldText(asBytes(QByteArray("one\r\ntwo\r\n"))), u"one\ntwo\n");
    EXPECT_EQ(fieldTextToDescription(u"one\u2029two\u2029"_s), "one\r\ntwo\r\n");
    EXPECT_EQ(fieldTextToDescription(u"soft\u2028break"_s), "soft\r\nbreak");
    // Stored lone CRs and LFs show as breaks, and the text ends at a NUL.
    EXPECT_EQ(descriptionToFieldText(asBytes(QByteArray("a\rb\nc\n\rd\0e", 10))), u"a\nb\nc\n\nd");
    EXPECT_EQ(fieldTextToDescription(u"a\rb\nc\r\nd"_s), "a\r\nb\r\nc\r\nd");
    // A CR before any other break character is one break with it; the same whether or not the code page holds
    // every character of the text.
    EXPECT_EQ(fieldTextToDescription(u"a\r\u2029b\n\rc\r\rd\r\u2028"_s), "a\r\nb\r\n\r\nc\r\n\r\nd\r\n");
    EXPECT_EQ(fieldTextToDescription(u"a\r\u2029b\n\rc\r\rd\r\u2028\u4e2d"_s), "a\r\nb\r\n\r\nc\r\n\r\nd\r\n?");
}

TEST(DescriptionCodec, PolishLettersRoundTripThroughWindows1250)
{
    const QByteArray stored("\xa3\xf3\x64\x9f \xb9\xea\r\n\x8c\x9c", 11);
    const QString field = descriptionToFieldText(asBytes(stored));
    EXPECT_EQ(field, u"Łódź ąę\nŚś");
    QString raw = field;
    raw.replace(u'\n', QChar::ParagraphSeparator);
    EXPECT_EQ(fieldTextToDescription(raw), stored);
}

TEST(DescriptionCodec, CharactersOutsideTheCodePageBecomeQuestionMarksAndNoBreakSpacesStay)
{
    int unmappable = -1;
    EXPECT_EQ(fieldTextToDescription(u"a\u4e2db\u00a0c\U0001F600"_s, &unmappable),
        "a?b\xa0"
        "c?");
    EXPECT_EQ(unmappable, 2);
    // A decomposed letter is composed before encoding, so it is one byte and not unmappable.
    EXPECT_EQ(fieldTextToDescription(u"z\u0307"_s, &unmappable), "\xbf");
    EXPECT_EQ(unmappable, 0);
}

TEST(DescriptionCodec, ByteLengthCountsWhatIsStoredNotTheFieldsCharacters)
{
    struct Row {
        QString text;
        qsizetype bytes;
    };
    for (const Row& row : {Row {u""_s, 0}, Row {u"ąę"_s, 2}, Row {u"a\nb"_s, 4}, Row {u"x\u2029\u2029"_s, 5},
             Row {u"\U0001F600"_s, 1}, Row {u"z\u0307"_s, 1}}) {
        EXPECT_EQ(descriptionByteLength(row.text), row.bytes) << row.text.toStdString();
        EXPECT_EQ(descriptionByteLength(row.text), fieldTextToDescription(row.text).size());
    }
}
