#include "search/phrase_search.h"

#include "platform/errors.h"
#include "platform/fault_injection.h"
#include "support/temp_dir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <random>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using platform::asBytes;
using search::PhraseMatcher;

namespace {

/** The plain definition the scanner must agree with: fold "a"-"z" when asked, then look at every start. */
bool naiveFind(const QByteArray& phrase, const QByteArray& data, bool matchCase)
{
    if (phrase.isEmpty())
        return false;
    const auto fold = [&](char c) {
        return matchCase ? c : static_cast<char>(search::foldAsciiLetter(static_cast<std::uint8_t>(c)));
    };
    for (qsizetype i = 0; i + phrase.size() <= data.size(); ++i) {
        qsizetype k = 0;
        while (k < phrase.size() && fold(data[i + k]) == fold(phrase[k]))
            ++k;
        if (k == phrase.size())
            return true;
    }
    return false;
}

} // namespace

TEST(PhraseMatcher, FoldsOnlyTheAsciiLettersWhenCaseDoesNotMatter)
{
    struct Row {
        QByteArray phrase;
        QByteArray data;
        bool matchCase;
        bool found;
    };
    const Row rows[] = {
        {"morskie oko", "Nad MORSKIE OKO", false, true},
        {"morskie oko", "Nad MORSKIE OKO", true, false},
        {"Oko", "Oko", true, true},
        {"ZAMEK", "stary zamek", false, true},
        {"Zamek", "stary zamek", true, false},
        {"[", "{", false, false}, // brackets are not letters
        {"{", "[", false, false},
        {"@", "`", false, false},
        {"`", "@", false, false},
        {"\xe0", "\xc0", false, false}, // Windows-1250 letters are never folded
        {"\xc0", "\xe0", false, false},
        {"\xaf\xd3\xa3W", "\xbf\xf3\xb3w", false, false}, // ŻÓŁW never finds żółw
        {"\xaf\xd3\xa3W", "x\xaf\xd3\xa3w", false, true},
        {QByteArray("a\0b", 3), QByteArray("xA\0Bx", 5), false, true}, // NUL bytes are data like any other
        {QByteArray("\0", 1), QByteArray("abc\0", 4), true, true},
        {"", "anything", false, false},
        {"", "", true, false},
        {"long phrase", "long", false, false},
        {"koniec", "to jest koniec", true, true}, // at the very last bytes
        {"Morskie Oko", "Morskie\r\nOko", false, false}, // a line break between the words
        {"Morskie Oko", "Morskie  Oko", false, false},
    };
    for (const Row& row : rows) {
        const PhraseMatcher matcher(row.phrase, row.matchCase);
        EXPECT_EQ(matcher.foundIn(asBytes(row.data)), row.found)
            << row.phrase.toStdString() << " in " << row.data.toStdString() << " matchCase " << row.matchCase;
    }
}

TEST(PhraseMatcher, AgreesWithThePlainDefinitionAtEveryPositionAndLength)
{
    // Few distinct bytes, so that the probed pair often stands without the phrase; occurrences at every offset
    // cover the vector loops' edges and the tails they leave to the byte loop.
    std::mt19937 random(1234);
    const QByteArray alphabet("aAbB\0[{\xe0\xc0 ", 10);
    const auto text = [&](int length) {
        QByteArray bytes(length, '\0');
        for (char& c : bytes)
            c = alphabet[static_cast<qsizetype>(random() % alphabet.size())];
        return bytes;
    };
    alignas(64) std::array<std::uint8_t, 64 + 512> aligned {};
    int found = 0;
    for (int round = 0; round < 3000; ++round) {
        const QByteArray phrase = text(1 + static_cast<int>(random() % 5));
        QByteArray data = text(static_cast<int>(random() % 400));
        if (round % 3 == 0 && data.size() >= phrase.size()) {
            const qsizetype at = static_cast<qsizetype>(random() % (data.size() - phrase.size() + 1));
            data.replace(at, phrase.size(), phrase);
        }
        // The data at every distance from the start of a cache line, where the widest scanner aligns its loads.
        const std::size_t shift = static_cast<std::size_t>(round) % 64;
        std::copy(data.begin(), data.end(), aligned.begin() + static_cast<std::ptrdiff_t>(shift));
        const platform::ByteView shifted(aligned.data() + shift, static_cast<std::size_t>(data.size()));
        for (const bool matchCase : {true, false}) {
            const bool expected = naiveFind(phrase, data, matchCase);
            found += expected ? 1 : 0;
            const PhraseMatcher matcher(phrase, matchCase);
            ASSERT_EQ(matcher.foundIn(asBytes(data)), expected)
                << phrase.toHex().toStdString() << " in " << data.toHex().toStdString() << " matchCase " << matchCase;
            for (const search::Scanner scanner :
                {search::Scanner::Portable, search::Scanner::Sse2, search::Scanner::Avx2, search::Scanner::Avx512}) {
                if (search::scannerAvailable(scanner)) {
                    ASSERT_EQ(search::foundInWith(matcher, shifted, scanner), expected)
                        << int(scanner) << " at " << shift << ": " << phrase.toHex().toStdString() << " in "
                        << data.toHex().toStdString() << " matchCase " << matchCase;
                }
            }
        }
    }
    EXPECT_GT(found, 1000); // both outcomes were really exercised
}

TEST(PhraseMatcher, PhrasesThatRepeatThemselvesAgreeWithThePlainDefinitionOnEveryScanner)
{
    // Data that almost holds a phrase over and over sends the scan to its linear search; the letters' case
    // neighbours "@ [ ` {" and the bytes 0x80 and above must never fold.
    const auto times = [](const QByteArray& unit, int count) { return unit.repeated(count); };
    const struct {
        const char* what;
        QByteArray phrase;
        QByteArray unit; // the data: this unit over and over
        QByteArray inserted; // and this in its middle
    } rows[] = {
        {"xy..z", times("xy", 300) + "z", "xy", ""},
        {"xy..z present", times("xy", 300) + "z", "xY", times("Xy", 300) + "Z"},
        {"a..ab", times("a", 500) + "b", "a", ""},
        {"ba..a", "b" + times("a", 500), "A", "B" + times("a", 499)},
        {"a..a b a..a", times("a", 200) + "b" + times("a", 200), "a", times("a", 200) + "B" + times("A", 199)},
        {"aab..aaa", times("aab", 100) + "aaa", "aab", ""},
        {"aab..aaa present", times("aab", 100) + "aaa", "aab", "aaa"},
        {"abcd..X", times("abcdefgh", 40) + "abcdefgX", "abcdefgh", ""},
        {"@ is no a", times("@[", 200) + "`{", "a{", ""},
        {"@[ present", times("@[", 200) + "`{", "@[", "`{"},
        {"` is no @", times("`{", 200) + "@", "`{", "@"},
        {"[ is no {", times("a[", 150) + "{", "A[", "A{"},
        {"A` folds A only", times("A`", 150) + "z", "a`", "Z"},
        {"high bytes", times("àÀ", 150) + "¹", "àÀ", "¥"},
    };
    for (const auto& row : rows) {
        QByteArray data = times(row.unit, 20000 / int(row.unit.size()));
        data.insert(data.size() / 2, row.inserted);
        for (const bool matchCase : {true, false}) {
            SCOPED_TRACE(std::string(row.what) + (matchCase ? ", case-sensitive" : ", any case"));
            const bool expected = naiveFind(row.phrase, data, matchCase);
            const PhraseMatcher matcher(row.phrase, matchCase);
            EXPECT_EQ(matcher.foundLinearly(asBytes(data)), expected);
            for (const search::Scanner scanner :
                {search::Scanner::Portable, search::Scanner::Sse2, search::Scanner::Avx2, search::Scanner::Avx512}) {
                if (search::scannerAvailable(scanner)) {
                    EXPECT_EQ(search::foundInWith(matcher, asBytes(data), scanner), expected) << int(scanner);
                }
            }
        }
    }
}

namespace {

class SearchDirectory : public testing::Test {
protected:
    void SetUp() override
    {
        m_fd = ::open(QFile::encodeName(directory()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(m_fd, 0);
    }
    void TearDown() override { ::close(m_fd); }

    [[nodiscard]] QString directory() const { return QDir(m_dir.path({})).absolutePath(); }

    /** Looks in one file with pieces of `pieceSize` bytes. */
    bool contains(const QString& name, const PhraseMatcher& matcher, std::size_t pieceSize)
    {
        search::ScanBuffer buffer(pieceSize);
        return search::fileContains(m_fd, QFile::encodeName(name).constData(), name, matcher, buffer);
    }

    [[nodiscard]] std::vector<int> hits(const QStringList& names, const QString& phrase, bool matchCase = false,
        search::SearchOptions options = {}) const
    {
        const search::SearchResult result
            = search::searchDirectory(directory(), names, search::encodePhrase(phrase), matchCase, options);
        EXPECT_FALSE(result.failure);
        return result.hits;
    }

    testing_support::TempDir m_dir;
    int m_fd = -1;
};

} // namespace

TEST_F(SearchDirectory, FindsAPhraseWhereverItLiesAcrossThePiecesRead)
{
    const PhraseMatcher matcher("Morskie Oko", false);
    // Pieces are 256 KiB: place the phrase before, across and after a boundary, and at the very end.
    for (const qsizetype at : {qsizetype(0), qsizetype(256 * 1024 - 5), qsizetype(256 * 1024), qsizetype(600000)}) {
        QByteArray bytes(at + 11, 'x');
        bytes.replace(at, 11, "MORSKIE oko");
        m_dir.write(QStringLiteral("a.jpg"), bytes);
        EXPECT_TRUE(search::fileContains(m_fd, QStringLiteral("a.jpg"), matcher)) << at;
        bytes[at + 10] = 'x';
        m_dir.write(QStringLiteral("a.jpg"), bytes);
        EXPECT_FALSE(search::fileContains(m_fd, QStringLiteral("a.jpg"), matcher)) << at;
    }
}

TEST_F(SearchDirectory, FindsThePhraseInTheFileWhateverThePieceSize)
{
    const QByteArray picture = QByteArray(5000, '\xff') + QByteArray("JFIF Tatry ", 11) + QByteArray(3000, '\0');
    struct Row {
        const char* what;
        QByteArray file;
        QByteArray phrase;
        bool matchCase;
        bool found;
    };
    const Row rows[] = {
        {"only in the picture's bytes", picture + "@||@opis", "tatry", false, true},
        {"only behind the marker", picture + "@||@Nad Morskim Okiem", "MORSKIM OKIEM", false, true},
        {"at the file's last bytes", picture + "@||@koniec", "koniec", true, true},
        {"a line break between the words", picture + "@||@Morskie\r\nOko", "Morskie Oko", false, false},
        {"NUL bytes in the phrase", picture + "@||@", QByteArray("\0\0\0\0", 4), true, true},
        {"a phrase longer than a piece", picture + "@||@" + QByteArray(300, 'q') + "!", QByteArray(300, 'Q') + "!",
            false, true},
        {"a phrase longer than the file", "ab", "abc", true, false},
        {"no occurrence", picture + "@||@Giewont", "Kasprowy", false, false},
        {"an empty file", "", "x", true, false},
    };
    for (const Row& row : rows) {
        m_dir.write(u"p.jpg"_s, row.file);
        const PhraseMatcher matcher(row.phrase, row.matchCase);
        for (const std::size_t piece : {std::size_t {1}, std::size_t {7}, std::size_t {64}, std::size_t {4096}})
            EXPECT_EQ(contains(u"p.jpg"_s, matcher, piece), row.found) << row.what << ", pieces of " << piece;
    }
}

TEST_F(SearchDirectory, OnlyRegularFilesHoldAnythingAndAMissingFileHoldsNothing)
{
    const PhraseMatcher matcher("x", true);
    ASSERT_TRUE(QDir(m_dir.path({})).mkdir(QStringLiteral("sub.jpg")));
    EXPECT_FALSE(search::fileContains(m_fd, QStringLiteral("sub.jpg"), matcher));
    ASSERT_EQ(::mkfifo(QFile::encodeName(m_dir.path(QStringLiteral("pipe.jpg"))).constData(), 0600), 0);
    EXPECT_FALSE(search::fileContains(m_fd, QStringLiteral("pipe.jpg"), matcher)); // and it does not block
    EXPECT_FALSE(search::fileContains(m_fd, QStringLiteral("gone.jpg"), matcher));
    m_dir.write(QStringLiteral("Żółw.bmp"), "x");
    EXPECT_TRUE(search::fileContains(m_fd, QStringLiteral("Żółw.bmp"), matcher));
}

TEST_F(SearchDirectory, ListsEachHitOnceInListOrderWithOneOrTwoThreads)
{
    // The phrase many times in some files, in none of others; a listed name whose file was deleted; a directory
    // and a pipe with listed names.
    QStringList names;
    std::vector<int> expected;
    for (int i = 0; i < 40; ++i) {
        const QString name = u"p%1.jpg"_s.arg(i, 2, 10, QLatin1Char('0'));
        names << name;
        const bool hit = i % 3 == 0;
        m_dir.write(name, QByteArray(1000 + i * 997, 'x') + (hit ? "@||@zamek zamek ZAMEK" : "@||@zame k"));
        if (hit)
            expected.push_back(i);
    }
    ASSERT_TRUE(QFile::remove(m_dir.path(u"p03.jpg"_s)));
    expected.erase(std::find(expected.begin(), expected.end(), 3));
    ASSERT_TRUE(QDir(directory()).mkdir(u"dir.jpg"_s));
    ASSERT_EQ(::mkfifo(QFile::encodeName(m_dir.path(u"pipe.jpg"_s)).constData(), 0600), 0);
    names.insert(1, u"dir.jpg"_s);
    names.insert(2, u"pipe.jpg"_s);
    for (int& index : expected)
        index += index >= 1 ? 2 : 0;
    for (const int threads : {1, 2, 3}) {
        search::SearchOptions options;
        options.threads = threads;
        options.pieceSize = 512;
        EXPECT_EQ(hits(names, u"Zamek"_s, false, options), expected) << threads << " threads";
    }
    EXPECT_EQ(hits(names, u"Zamek"_s, true), std::vector<int> {});
    EXPECT_EQ(hits(names, u""_s), std::vector<int> {}); // an empty phrase is never found
}

TEST_F(SearchDirectory, OnlyTheLettersAToZFindTheirOtherCaseAndEveryOtherByteOnlyItself)
{
    // One file for each byte, standing among dots far enough from both ends for every scanner to meet it; each
    // byte is looked for in all of them, with and without regard to case. Bytes pair as "a" and "A" do, one bit
    // apart, when both are letters; their neighbours "@", "[", "`" and "{" are as far apart and are no letters.
    const QByteArray dots(100, '.');
    QStringList names;
    for (int byte = 0; byte < 256; ++byte) {
        names << u"b%1"_s.arg(byte, 2, 16, QLatin1Char('0'));
        m_dir.write(names.back(), dots + char(byte) + dots);
    }
    const auto isLetter = [](int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    for (const bool matchCase : {false, true}) {
        for (int phrase = 0; phrase < 256; ++phrase) {
            std::vector<int> expected;
            for (int byte = 0; byte < 256; ++byte) {
                const auto pairs = [&](int c) {
                    return c == phrase || (!matchCase && isLetter(c) && isLetter(phrase) && (c ^ phrase) == 0x20);
                };
                if (pairs(byte) || pairs('.'))
                    expected.push_back(byte);
            }
            const search::SearchResult result
                = search::searchDirectory(directory(), names, QByteArray(1, char(phrase)), matchCase);
            EXPECT_EQ(result.hits, expected) << "byte " << phrase << (matchCase ? " matching case" : "");
        }
    }
}

TEST_F(SearchDirectory, ASearchRunsWithTheThreadsThatCouldStartAndAlwaysEnds)
{
    QStringList names;
    std::vector<int> expected;
    for (int i = 0; i < 30; ++i) {
        names << u"f%1.jpg"_s.arg(i, 2, 10, QLatin1Char('0'));
        m_dir.write(names.back(), i % 4 == 0 ? "opis: Giewont" : "opis: Kasprowy");
        if (i % 4 == 0)
            expected.push_back(i);
    }
    for (const int started : {0, 1, 2}) {
        for (int round = 0; round < 20; ++round) {
            SCOPED_TRACE(std::to_string(started) + " of 4 threads start");
            search::SearchOptions options;
            options.threads = 4;
            int starts = 0;
            options.startThread = [&](std::function<void()> work) {
                if (starts++ >= started)
                    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
                return std::thread(std::move(work));
            };
            search::DirectorySearch search(directory(), names, QByteArray("giewont"), false, options);
            ASSERT_TRUE(search.waitFor(std::chrono::seconds(10))) << "the search never ended";
            const search::SearchResult result = search.result();
            EXPECT_FALSE(result.failure);
            EXPECT_EQ(result.hits, expected);
        }
    }
}

TEST_F(SearchDirectory, APhraseWindows1250CannotHoldFindsNothing)
{
    m_dir.write(u"a.jpg"_s, "ma?e ?ó?wie");
    m_dir.write(u"b.jpg"_s, "Żółw i \xe2\x82\xac");
    EXPECT_EQ(search::encodePhrase(u"Żółw"_s), QByteArray("\xaf\xf3\xb3w"));
    EXPECT_EQ(search::encodePhrase(u"Z\u0307o\u0301"_s), QByteArray("\xaf\xf3")); // composed first
    EXPECT_EQ(search::encodePhrase(u"żółw 🐢"_s), std::nullopt);
    EXPECT_EQ(hits({u"a.jpg"_s, u"b.jpg"_s}, u"ó🐢"_s), std::vector<int> {});
    EXPECT_EQ(hits({u"a.jpg"_s, u"b.jpg"_s}, u"?"_s), std::vector<int> {0});
}

TEST_F(SearchDirectory, AReadFailureStopsTheSearchOnceEveryEarlierFileIsDone)
{
    QStringList names;
    for (int i = 0; i < 12; ++i) {
        names << u"f%1.jpg"_s.arg(i, 2, 10, QLatin1Char('0'));
        m_dir.write(names.back(), "opis: Giewont");
    }
    const platform::InjectedFailure failure(platform::FileOperation::ReadFile, m_dir.path(u"f07.jpg"_s), EIO);
    for (const int threads : {1, 2}) {
        search::SearchOptions options;
        options.threads = threads;
        const search::SearchResult result
            = search::searchDirectory(directory(), names, QByteArray("Giewont"), true, options);
        EXPECT_EQ(result.hits, (std::vector<int> {0, 1, 2, 3, 4, 5, 6}));
        EXPECT_EQ(result.failedIndex, 7);
        ASSERT_TRUE(result.failure);
        try {
            std::rethrow_exception(result.failure);
        } catch (const platform::IoError& error) {
            EXPECT_EQ(error.errorCode(), EIO);
            EXPECT_TRUE(error.message().endsWith(u"f07.jpg"_s)) << error.message().toStdString();
        }
    }
}

TEST_F(SearchDirectory, AVanishedDirectoryHoldsNoFilesAndAnEmptyListNothing)
{
    m_dir.write(u"a.jpg"_s, "Giewont");
    const QString gone = directory() + u"/gone"_s;
    const search::SearchResult result = search::searchDirectory(gone, {u"a.jpg"_s}, QByteArray("G"), true);
    EXPECT_FALSE(result.failure);
    EXPECT_TRUE(result.hits.empty());
    EXPECT_TRUE(hits({}, u"G"_s).empty());
}

TEST_F(SearchDirectory, AHugeFileIsStreamedInConstantMemory)
{
    // A sparse file of 256 MB that ends with the phrase: found, without the file ever being held in memory (a
    // larger file only takes longer: the buffers do not grow with it).
    const QString path = m_dir.path(u"huge.jpg"_s);
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    const off_t at = off_t {256} * 1024 * 1024;
    ASSERT_EQ(::pwrite(fd, "Giewont", 7, at), 7);
    ::close(fd);
    const auto peakKiB = [] {
        rusage usage {};
        ::getrusage(RUSAGE_SELF, &usage);
        return usage.ru_maxrss;
    };
    const long before = peakKiB();
    EXPECT_EQ(hits({u"huge.jpg"_s}, u"GIEWONT"_s), std::vector<int> {0});
    EXPECT_LT(peakKiB() - before, 16 * 1024);
}
