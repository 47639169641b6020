#include "search/hit_list.h"

#include "platform/file_names.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(HitList, SummaryShowsThePhraseAsTypedWithTheProgramsSpacing)
{
    EXPECT_EQ(search::summaryText(u"Morskie Oko"_s, 12),
        u"Przeszukiwanie frazy  \"Morskie Oko\"  w plikach zostało zakończone.\r\n\r\n"
        u"            Znaleziono z taką frazą   12  plików."_s);
    EXPECT_EQ(search::summaryText(QString(), 0),
        u"Przeszukiwanie frazy  \"\"  w plikach zostało zakończone.\r\n\r\n"
        u"            Znaleziono z taką frazą   0  plików."_s);
}

TEST(HitList, TheFileHoldsEachNameWithCrLfInWindows1250)
{
    EXPECT_EQ(search::hitListFileBytes({}), QByteArray());
    EXPECT_EQ(search::hitListFileBytes({u"a.jpg"_s, u"Żółw.bmp"_s}), QByteArray("a.jpg\r\n\xaf\xf3\xb3w.bmp\r\n"));
    // Names Windows-1250 cannot hold go as their own bytes: the name on disk, whatever its encoding.
    EXPECT_EQ(search::hitListFileBytes({platform::fileNameFromBytes("\277\346.jpg"), u"Фото.jpg"_s}),
        QByteArray("\277\346.jpg\r\n\320\244\320\276\321\202\320\276.jpg\r\n"));
}
