#include "viewer/show_machine.h"
#include "viewer/sound_lookup.h"

#include "support/temp_dir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <ctime>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>

#include <string>
#include <vector>

using namespace Qt::StringLiterals;
using viewer::ShowStep;

TEST(ShowRules, TheTickEndsOrRestartsOnlyAtTheShowsEnd)
{
    const struct {
        int selected;
        int showEnd;
        bool repeat;
        ShowStep step;
    } cases[] = {
        {-1, 2, false, ShowStep::Advance}, {0, 2, false, ShowStep::Advance}, {1, 2, true, ShowStep::Advance},
        {2, 2, false, ShowStep::End}, {2, 2, true, ShowStep::Restart}, {-1, -1, false, ShowStep::End},
        {-1, -1, true, ShowStep::Restart}, {-1, 0, false, ShowStep::Advance}, {0, 0, false, ShowStep::End},
        {3, 2, false, ShowStep::Advance}, // only the end itself ends or restarts the show
    };
    for (const auto& c : cases)
        EXPECT_EQ(viewer::chooseShowStep(c.selected, c.showEnd, c.repeat), c.step)
            << c.selected << " ending at " << c.showEnd << (c.repeat ? " repeating" : "");
}

namespace {

/** A file list of `count` entries that logs what the show does to it. */
class FakeHost : public viewer::ShowHost {
public:
    int selected = -1;
    int count = 3;
    bool repeating = false;
    int spin = 3;
    int spinConfigured = 2;
    bool timer = false;
    std::uint32_t interval = 1000;
    std::vector<std::string> log;

    int selectedIndex() const override { return selected; }
    int ShowEndIndex() const override { return count - 1; }
    bool repeat() const override { return repeating; }
    int nextDelay() const override { return spin; }
    void setNextDelay(int seconds) override { spin = seconds; }
    int configuredDelay() const override { return spinConfigured; }
    void setConfiguredDelay(int seconds) override { spinConfigured = seconds; }
    void setTimerEnabled(bool enabled) override { timer = enabled; }
    void setTimerInterval(std::uint32_t milliseconds) override { interval = milliseconds; }
    void closeShow() override { log.push_back("close"); }
    void selectFirstSilently() override
    {
        selected = count > 0 ? 0 : -1;
        log.push_back("select 0");
    }
    void selectFirstEntry() override
    {
        selected = 0;
        // The companion edit prepares the next sound: a 5 s sound follows entry 0.
        spin = std::max(spinConfigured, 5);
        log.push_back("first by name");
    }
    void showNext() override
    {
        ++selected;
        log.push_back("show " + std::to_string(selected));
        if (failing)
            failing(selected);
    }
    void openBox(viewer::ShowBox kind, const QString& text) override
    {
        boxes.push_back((kind == viewer::ShowBox::Error ? "error " : "report ") + text.toStdString());
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        if (whileOpen)
            whileOpen();
        --depth;
    }
    void setOpenBoxText(const QString& text) override { boxText = text.toStdString(); }

    /** Runs after each entry is shown, to fail as a picture that cannot be shown would. */
    std::function<void(int)> failing;
    /** Runs inside each box, where its event loop would run further ticks. */
    std::function<void()> whileOpen;
    std::vector<std::string> boxes;
    std::string boxText;
    int depth = 0;
    int maxDepth = 0;
};

} // namespace

TEST(ShowMachine, StartTakesTheDelayAndTicksAtOnce)
{
    FakeHost host;
    viewer::ShowMachine show(host);
    host.selected = 0;
    host.spin = 7;
    show.start();
    EXPECT_TRUE(show.isRunning());
    EXPECT_TRUE(host.timer);
    EXPECT_EQ(host.spinConfigured, 7);
    EXPECT_EQ(host.interval, 7000u);
    EXPECT_EQ(host.log, (std::vector<std::string> {"show 1"}));
    show.tick();
    show.stop();
    EXPECT_FALSE(host.timer);
    EXPECT_EQ(host.selected, 2);
    EXPECT_EQ(host.spin, 7) << "stopping touches nothing but the timer";
}

TEST(ShowMachine, EachAdvanceSetsTheIntervalToTheDelayTimesAThousandWrappingAt32Bits)
{
    const struct {
        int seconds;
        std::uint32_t interval;
    } cases[]
        = {{2, 2000u}, {0, 0u}, {1, 1000u}, {-1, 4294966296u}, {4294968, 704u}, {INT_MAX, 4294966296u}, {INT_MIN, 0u}};
    FakeHost host;
    host.count = 100;
    viewer::ShowMachine show(host);
    show.start();
    for (const auto& c : cases) {
        host.spin = c.seconds;
        show.tick();
        EXPECT_EQ(host.interval, c.interval) << c.seconds;
    }
    EXPECT_EQ(host.selected, 7);
}

TEST(ShowMachine, TheEndClosesTheWindowsAndSelectsTheFirstEntrySilently)
{
    FakeHost host;
    viewer::ShowMachine show(host);
    host.selected = 1;
    host.spin = 9;
    show.start();
    // A sound's length (or the user) puts another delay beside the configured one before the last tick.
    host.spin = 4;
    show.tick();
    EXPECT_FALSE(show.isRunning());
    EXPECT_FALSE(host.timer);
    EXPECT_EQ(host.spinConfigured, 9);
    EXPECT_EQ(host.spin, 9) << "the delay comes back from the configured one, which the start took";
    EXPECT_EQ(host.log, (std::vector<std::string> {"show 2", "close", "select 0"}));
    EXPECT_EQ(host.selected, 0);
}

TEST(ShowMachine, RestartSelectsTheFirstEntryAndAdvancesAtOnce)
{
    FakeHost host;
    viewer::ShowMachine show(host);
    host.repeating = true;
    host.selected = 2;
    host.spin = 2;
    show.start();
    EXPECT_TRUE(show.isRunning());
    EXPECT_EQ(host.log, (std::vector<std::string> {"first by name", "show 1"}));
    EXPECT_EQ(host.spinConfigured, 5) << "the start after the restart took the raised delay";
    EXPECT_EQ(host.interval, 5000u);
}

TEST(ShowMachine, DegenerateListsNeverTickWithoutTheTimer)
{
    {
        // One entry, repeating: the picture stays and the show waits for the timer.
        FakeHost host;
        viewer::ShowMachine show(host);
        host.count = 1;
        host.repeating = true;
        show.start();
        EXPECT_EQ(host.log, (std::vector<std::string> {"show 0"}));
        show.tick();
        show.tick();
        EXPECT_TRUE(show.isRunning());
        EXPECT_TRUE(host.timer);
        EXPECT_EQ(host.log, (std::vector<std::string> {"show 0", "first by name", "first by name"}));
    }
    {
        // No entries, repeating: the show stays stopped.
        FakeHost host;
        viewer::ShowMachine show(host);
        host.count = 0;
        host.repeating = true;
        show.start();
        EXPECT_FALSE(show.isRunning());
        EXPECT_FALSE(host.timer);
        EXPECT_TRUE(host.log.empty());
        EXPECT_EQ(host.spin, 3);
    }
    {
        // No entries, not repeating: the end closes the windows.
        FakeHost host;
        viewer::ShowMachine show(host);
        host.count = 0;
        show.start();
        EXPECT_FALSE(show.isRunning());
        EXPECT_EQ(host.log, (std::vector<std::string> {"close", "select 0"}));
        EXPECT_EQ(host.selected, -1);
    }
}

TEST(ShowMachine, TicksInsideTheShowsBoxCountTheirFailuresInItInsteadOfOpeningBoxes)
{
    using viewer::ShowBox;
    const struct {
        int ticksInBox;
        ShowBox firstBox; // a picture's error box, or the report on the next sound
        const char* further; // the count line of the box's last text
    } rows[] = {
        {0, ShowBox::Error, ""},
        {1, ShowBox::Report, "(i jeszcze 1 błąd)"},
        {2, ShowBox::Error, "(i jeszcze 2 błędy)"},
        {4, ShowBox::Error, "(i jeszcze 4 błędy)"},
        {5, ShowBox::Error, "(i jeszcze 5 błędów)"},
        {12, ShowBox::Error, "(i jeszcze 12 błędów)"},
        {14, ShowBox::Report, "(i jeszcze 14 błędów)"},
        {22, ShowBox::Error, "(i jeszcze 22 błędy)"},
        {25, ShowBox::Error, "(i jeszcze 25 błędów)"},
        {112, ShowBox::Error, "(i jeszcze 112 błędów)"},
        {1004, ShowBox::Error, "(i jeszcze 1004 błędy)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.ticksInBox);
        FakeHost host;
        viewer::ShowMachine show(host);
        host.repeating = true;
        bool first = true;
        // Every picture fails, in every pass; each tick, restarts included, shows one.
        host.failing = [&](int entry) {
            show.reportFailure(first ? row.firstBox : ShowBox::Error, u"picture %1"_s.arg(entry));
            first = false;
        };
        bool othersTick = true;
        host.whileOpen = [&] {
            othersTick = show.ticking();
            for (int i = 0; i < row.ticksInBox; ++i)
                show.tick();
        };
        show.start();
        EXPECT_FALSE(othersTick) << "what runs inside the box besides its ticks is no tick";
        EXPECT_EQ(host.maxDepth, 1);
        ASSERT_EQ(host.boxes.size(), 1u);
        EXPECT_EQ(
            host.boxes.front(), (row.firstBox == ShowBox::Error ? "error " : "report ") + std::string("picture 0"));
        EXPECT_EQ(host.boxText, row.ticksInBox == 0 ? "" : "picture 0\r\n" + std::string(row.further));
        EXPECT_TRUE(show.isRunning());
        // Once the box is closed, the next failure opens a box again.
        show.tick();
        EXPECT_EQ(host.boxes.size(), 2u);
    }
}

TEST(SoundLookup, ReplacesTheExtensionAfterTheLastDotOfTheFileName)
{
    const struct {
        QString name;
        QString result;
    } cases[] = {
        {u"a.jpg"_s, u"a.wav"_s},
        {u"holiday.2024.jpg"_s, u"holiday.2024.wav"_s},
        {u"noext"_s, u"noext.wav"_s},
        {u"/pics/v1.2/noext"_s, u"/pics/v1.2/noext.wav"_s},
        {u"/pics/v1.2/x.BMP"_s, u"/pics/v1.2/x.wav"_s},
        {u".hidden"_s, u".wav"_s},
    };
    for (const auto& c : cases)
        EXPECT_EQ(viewer::replaceExtension(platform::FilePath::fromText(c.name), ".wav").toText(), c.result)
            << c.name.toStdString();
    EXPECT_EQ(viewer::soundSeconds(1), 1);
    EXPECT_EQ(viewer::soundSeconds(3000), 3);
    EXPECT_EQ(viewer::soundSeconds(3001), 4);
    EXPECT_EQ(viewer::soundSeconds(0), 0);
}

TEST(SoundLookup, FindsRegularFilesMp3FirstIgnoringCase)
{
    testing_support::TempDir dir;
    const QString base = QDir(dir.path(QString())).absolutePath() + u"/"_s;
    dir.write(u"both.wav"_s, "w");
    dir.write(u"both.mp3"_s, "m");
    dir.write(u"only.wav"_s, "w");
    dir.write(u"photo.mp3"_s, "m");
    dir.write(u"PHOTO.WAV"_s, "w");
    dir.write(u"Mixed.Wav"_s, "w");
    dir.write(u"a.b.wav"_s, "w");
    QDir(base).mkdir(u"folder.wav"_s);
    ASSERT_EQ(mkfifo(QFile::encodeName(base + u"/pipe.mp3"_s).constData(), 0600), 0);
    dir.write(u"pipe.wav"_s, "w");
    const struct {
        QString picture;
        QString sound;
    } cases[] = {
        {u"both.jpg"_s, u"both.mp3"_s},
        {u"only.JPG"_s, u"only.wav"_s},
        {u"PHOTO.JPG"_s, u"photo.mp3"_s},
        {u"mixed.bmp"_s, u"Mixed.Wav"_s},
        {u"a.b.jpg"_s, u"a.b.wav"_s},
        {u"a.jpg"_s, QString()},
        {u"folder.jpg"_s, QString()},
        {u"pipe.jpg"_s, u"pipe.wav"_s},
    };
    for (const auto& c : cases) {
        const QString expected = c.sound.isEmpty() ? QString() : base + c.sound;
        EXPECT_EQ(viewer::pictureSound(platform::FilePath::fromText(base + c.picture)).toText(), expected)
            << c.picture.toStdString();
    }
}

TEST(SoundLookup, ASoundAddedLaterIsFoundWhetherTheListingWasKeptOrNot)
{
    for (const bool settled : {true, false}) {
        testing_support::TempDir dir;
        const QString base = QDir(dir.path(QString())).absolutePath() + u"/"_s;
        dir.write(u"a.jpg"_s, "j");
        if (settled) {
            // A directory last changed a minute ago: its listing is kept for later lookups.
            const timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 60, 0}};
            ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(base).constData(), times, 0), 0);
        }
        EXPECT_EQ(viewer::pictureSound(platform::FilePath::fromText(base + u"A.JPG"_s)).toText(), QString());
        dir.write(u"A.WAV"_s, "w");
        EXPECT_EQ(viewer::pictureSound(platform::FilePath::fromText(base + u"a.jpg"_s)).toText(), base + u"A.WAV"_s)
            << settled;
    }
}
