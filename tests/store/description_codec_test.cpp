#include "store/description_codec.h"
#include "support/error_of.h"

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

TEST(DescriptionCodec, CharactersOutsideTheCodePageAreNamedOnceAndSavingThemIsRefused)
{
    struct Row {
        const char* name;
        QString text;
        QByteArray lossy;
        QString named; // the characters a save's refusal names
    };
    const Row rows[] = {
        {"PolishAndNoBreakSpacesAreHeld", u"Żółw\u00a0ąę €"_s, "\xaf\xf3\xb3w\xa0\xb9\xea \x80", {}},
        {"DecomposedLetterIsComposedFirst", u"z\u0307"_s, "\xbf", {}},
        {"CyrillicOnceEach", u"Жук ok Жук"_s, "??? ok ???", u"Ж, у, к"_s},
        {"EmojiBlankAndLoneMarkByCodePoint", u"a\u4e2db\U0001F600\u2003\u0301"_s, "a?b???", u"中, 😀, U+2003, U+0301"_s},
        {"TenThenAnEllipsis", u"абвгдежзийк"_s, "???????????", u"а, б, в, г, д, е, ж, з, и, й, …"_s},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<char32_t> unencodable;
        EXPECT_EQ(fieldTextToDescription(row.text, &unencodable), row.lossy);
        EXPECT_EQ(unencodable.empty(), row.named.isEmpty());
        const QString refusal = row.named.isEmpty()
            ? QString()
            : u"Opisu nie zapisano - znaków "_s + row.named + u" nie da się zapisać w stronie kodowej Windows-1250."_s;
        EXPECT_EQ(testing_support::errorOf([&] { (void)store::storedDescription(row.text); }), refusal);
    }
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
