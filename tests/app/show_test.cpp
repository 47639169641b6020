#include "windows_fixture.h"

#include "platform/audio_output.h"
#include "platform/screen_saver.h"
#include "support/sound_builder.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>

using namespace Qt::StringLiterals;
using testing_support::WindowsTest;
using Kind = testing_support::DialogRecord::Kind;

namespace {

class ShowTest : public WindowsTest {
protected:
    /** Pictures `names`, with sounds given as name → bytes, opened in the file list. */
    void openPictures(const QStringList& names, const std::vector<std::pair<QString, QByteArray>>& sounds = {})
    {
        for (const QString& name : names)
            writePicture(name);
        for (const auto& [name, bytes] : sounds)
            m_pictures.write(name, bytes);
        openDirectory(pictureDir());
    }

    void show(int index)
    {
        FPliki->FLBox1->selectIndex(index);
        FPliki->ShowCurrentPicture();
    }

    [[nodiscard]] int selected() const { return FPliki->FLBox1->selectedIndex(); }
    [[nodiscard]] int spin() const { return FMain->SpinEdit1->value(); }
    [[nodiscard]] QString sound(const QString& name) const { return pictureDir() + u"/"_s + name; }
};

/** A WAV of `ms` milliseconds at 8000 frames per second. */
QByteArray wavMs(int ms)
{
    return testing_support::wavFile(std::int64_t(ms) * 8);
}

} // namespace

TEST_F(ShowTest, ShowingAPictureSetsTheDelayFromTheNextSound)
{
    openPictures({u"a.jpg"_s, u"b.jpg"_s, u"c.jpg"_s, u"d.jpg"_s},
        {{u"b.wav"_s, wavMs(7500)}, {u"c.wav"_s, wavMs(3200)}, {u"c.mp3"_s, testing_support::mp3Frames(123)},
            {u"A.WAV"_s, wavMs(8000)}});
    const struct {
        const char* configured;
        int shown;
        const char* czas2;
        int delay;
        QString next;
    } cases[] = {
        {"002", 0, "8", 8, u"b.jpg"_s}, // 7.5 s rounds up
        {"005", 1, "4", 5, u"c.jpg"_s}, // the ".mp3" (3.21 s) is measured, not the ".wav"
        {"009", 2, "4", 9, u"d.jpg"_s}, // d has no sound: lblCzas2 keeps its text
        {"008", 3, "8", 8, u"a.jpg"_s}, // after the last entry comes entry 0, found whatever its case
        {"2", 3, "8", 2, u"a.jpg"_s}, // the same picture again: nothing is prepared
    };
    for (const auto& c : cases) {
        state().lblSpin->setText(QString::fromLatin1(c.configured));
        FMain->SpinEdit1->setValue(-5);
        show(c.shown);
        if (c.shown == 3 && QString::fromLatin1(c.configured) == u"2")
            EXPECT_EQ(spin(), -5) << "the edit's text did not change";
        else
            EXPECT_EQ(spin(), c.delay) << c.configured << " at " << c.shown;
        EXPECT_EQ(state().lblCzas2->text(), QString::fromLatin1(c.czas2)) << c.shown;
        EXPECT_EQ(FPliki->NextName, c.next);
    }
    EXPECT_TRUE(dialogTexts(Kind::Report).isEmpty());
    EXPECT_TRUE(dialogTexts(Kind::Error).isEmpty());
}

TEST_F(ShowTest, PlaybackFollowsThePictures)
{
    openPictures({u"a.jpg"_s, u"b.jpg"_s, u"c.jpg"_s, u"PHOTO.JPG"_s},
        {{u"a.wav"_s, wavMs(30000)}, {u"c.mp3"_s, testing_support::mp3Frames(2000)}, {u"photo.wav"_s, wavMs(30000)}});
    platform::SoundPlayer& player = FPliki->MediaPlayer1;
    show(0);
    EXPECT_TRUE(player.isPlaying());
    EXPECT_EQ(player.openPath().toText(), sound(u"a.wav"_s));
    EXPECT_EQ(FPliki->lblMuz->text(), sound(u"a.wav"_s));
    // A picture without a sound leaves the earlier one playing.
    show(1);
    EXPECT_TRUE(player.isPlaying());
    EXPECT_EQ(player.openPath().toText(), sound(u"a.wav"_s));
    EXPECT_TRUE(FPliki->lblMuz->text().isEmpty());
    // A picture with a sound stops the earlier one.
    show(2);
    EXPECT_EQ(player.openPath().toText(), sound(u"c.mp3"_s));
    EXPECT_TRUE(player.isPlaying());
    const int plays = player.playCount();
    FPliki->ShowCurrentPicture();
    EXPECT_EQ(player.playCount(), plays + 1) << "showing the same picture again starts its sound over";
    show(3);
    EXPECT_EQ(player.openPath().toText(), sound(u"photo.wav"_s)) << "a sound whose name differs only in case";
    // Stopping the show leaves the sound alone; closing the file list window stops it.
    FMain->mnuStop->trigger();
    EXPECT_TRUE(player.isPlaying());
    FPliki->close();
    EXPECT_FALSE(player.isPlaying());
    EXPECT_FALSE(player.isOpen());
    EXPECT_FALSE(FPliki->MP2.isOpen());
}

TEST_F(ShowTest, DamagedSoundsAreReported)
{
    openPictures({u"a.jpg"_s, u"b.jpg"_s, u"c.jpg"_s},
        {{u"b.wav"_s, QByteArray(4000, 'j')}, {u"a.mp3"_s, testing_support::mp3Frames(100)}});
    // The next picture's damaged sound: one default report, and the picture is shown all the same.
    state().lblSpin->setText(u"4"_s);
    show(0);
    EXPECT_EQ(dialogTexts(Kind::Report).size(), 1);
    EXPECT_TRUE(dialogTexts(Kind::Error).isEmpty());
    EXPECT_TRUE(FFotka->isVisible());
    EXPECT_EQ(spin(), 4);
    EXPECT_FALSE(FPliki->MP2.isOpen());
    EXPECT_TRUE(FPliki->MediaPlayer1.isOpen());
    // The picture's own damaged sound: the picture's error box, and the player is left closed.
    m_dialogs->clear();
    show(1);
    EXPECT_EQ(dialogTexts(Kind::Error), QStringList {u"Błąd! - Nie mogę załadowac pliku b.jpg jako obrazu"_s});
    EXPECT_FALSE(FPliki->MediaPlayer1.isOpen());
    EXPECT_TRUE(state().lblKasuj->text().isEmpty()) << "the picture was not loaded";
}

TEST_F(ShowTest, TheOutputStartsWhenAListWhoseFirstPictureHasASoundIsRead)
{
    platform::shutdownAudioOutput();
    openPictures({u"a.jpg"_s, u"b.jpg"_s}, {{u"b.wav"_s, wavMs(1000)}});
    QCoreApplication::processEvents();
    EXPECT_FALSE(platform::audioOutputOpen()) << "the first picture has no sound";
    m_pictures.write(u"a.mp3"_s, testing_support::mp3Frames(10));
    FPliki->FLBox1->readList();
    EXPECT_TRUE(QTest::qWaitFor([&] { return platform::audioOutputOpen(); }));
    EXPECT_FALSE(FPliki->MediaPlayer1.isOpen()) << "nothing plays before a picture is shown";
}

TEST_F(ShowTest, TheVolumeBarSetsOurOwnVolumeOnBothChannels)
{
    platform::setWaveVolume(65535, 65535);
    EXPECT_EQ(FMain->SB1->value(), 32723);
    EXPECT_EQ(FMain->SB1->focusPolicy(), Qt::StrongFocus);
    const struct {
        std::function<void()> move;
        std::uint16_t volume;
    } cases[] = {
        {[] { FMain->SB1->setValue(0); }, 0},
        {[] { QTest::keyClick(FMain->SB1, Qt::Key_End); }, 65535},
        {[] { FMain->SB1->triggerAction(QAbstractSlider::SliderSingleStepSub); }, 65525},
        {[] { QTest::keyClick(FMain->SB1, Qt::Key_Home); }, 0},
        {[] { FMain->SB1->triggerAction(QAbstractSlider::SliderPageStepAdd); }, 1},
    };
    for (const auto& c : cases) {
        c.move();
        EXPECT_EQ(platform::waveVolume(), (platform::WaveVolume {c.volume, c.volume}));
    }
    platform::setWaveVolume(65535, 65535);
}

TEST_F(ShowTest, TheArrowKeysHomeAndEndMoveTheFocusedVolumeBarAndNothingElse)
{
    openPictures({u"a.jpg"_s, u"b.jpg"_s, u"c.jpg"_s});
    show(1);
    FMain->show();
    FMain->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(FMain));
    FMain->SB1->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), FMain->SB1);
    platform::setWaveVolume(65535, 65535);
    const struct {
        Qt::Key key;
        int position;
    } cases[] = {
        {Qt::Key_Left, 32713},
        {Qt::Key_Left, 32703},
        {Qt::Key_Right, 32713},
        {Qt::Key_End, 65535},
        {Qt::Key_Right, 65535},
        {Qt::Key_Left, 65525},
        {Qt::Key_Home, 0},
        {Qt::Key_Left, 0},
        {Qt::Key_Right, 10},
        {Qt::Key_Up, 20},
        {Qt::Key_Down, 10},
    };
    for (const auto& c : cases) {
        // As the keyboard sends it: to the focused control, through the application's key routing.
        QTest::keyClick(QApplication::focusWidget(), c.key);
        EXPECT_EQ(FMain->SB1->value(), c.position) << QKeySequence(c.key).toString().toStdString();
        const auto volume = std::uint16_t(c.position);
        EXPECT_EQ(platform::waveVolume(), (platform::WaveVolume {volume, volume})) << "SB1Change ran";
    }
    EXPECT_EQ(QApplication::focusWidget(), FMain->SB1);
    EXPECT_EQ(selected(), 1) << "no arrow steps to another picture";
    EXPECT_EQ(FPliki->CurrentName, u"b.jpg");
    platform::setWaveVolume(65535, 65535);
}

TEST_F(ShowTest, APassRunsFromTheSelectionToTheEnd)
{
    openPictures({u"a.jpg"_s, u"b.jpg"_s, u"c.jpg"_s});
    FMain->SpinEdit1->setValue(100);
    FMain->mnuAuto->trigger();
    EXPECT_EQ(selected(), 0) << "nothing selected: the first tick shows entry 0";
    EXPECT_TRUE(FPliki->Timer11->isEnabled());
    EXPECT_TRUE(platform::screenSaver().isHeld()) << "no screen saver while the show runs";
    EXPECT_EQ(FPliki->Timer11->interval(), 100000u);
    EXPECT_EQ(state().lblSpin->text(), u"100");
    FPliki->Timer11Timer();
    FPliki->Timer11Timer();
    EXPECT_EQ(selected(), 2);
    EXPECT_EQ(FMain->lblNa_pliku->text(), u"3 / 3");
    FPismo->show();
    FPismo->Memo1->setPlainText(u"opis"_s);
    // A delay typed during the show holds one picture only: the end puts the configured one back.
    FMain->SpinEdit1->setValue(42);
    FPliki->Timer11Timer();
    // The end: windows closed, field emptied, entry 0 selected without being shown.
    EXPECT_FALSE(FPliki->Show.isRunning());
    EXPECT_FALSE(FPliki->Timer11->isEnabled());
    EXPECT_FALSE(platform::screenSaver().isHeld());
    EXPECT_FALSE(FFotka->isVisible());
    EXPECT_FALSE(FPismo->isVisible());
    EXPECT_TRUE(memoText().isEmpty());
    EXPECT_EQ(selected(), 0);
    EXPECT_EQ(FMain->lblNa_pliku->text(), u"3 / 3");
    EXPECT_EQ(FPliki->CurrentName, u"c.jpg");
    EXPECT_EQ(spin(), 100);
    // The next start begins after entry 0; starting at the last entry ends at once.
    FMain->BitAuto->click();
    EXPECT_EQ(FPliki->CurrentName, u"b.jpg");
    EXPECT_TRUE(platform::screenSaver().isHeld());
    FMain->BitStop->click();
    EXPECT_FALSE(FPliki->Timer11->isEnabled());
    EXPECT_FALSE(platform::screenSaver().isHeld());
    EXPECT_TRUE(FFotka->isVisible()) << "stopping leaves the windows";
}

TEST_F(ShowTest, RepeatRestartsAfterEntryZeroAndDegenerateListsWaitForTheTimer)
{
    openPictures({u"a.jpg"_s, u"b.jpg"_s, u"c.jpg"_s}, {{u"b.wav"_s, wavMs(6500)}});
    FMain->CheckRepetuj->setChecked(true);
    show(2);
    FMain->SpinEdit1->setValue(3);
    FMain->mnuAuto->trigger();
    EXPECT_EQ(selected(), 1) << "entry 0 is selected but not shown; the pass begins with entry 1";
    EXPECT_EQ(FPliki->CurrentName, u"b.jpg");
    EXPECT_EQ(state().lblSpin->text(), u"7") << "entry 1's sound raised the delay before the restart started";
    EXPECT_TRUE(FPliki->Timer11->isEnabled());
}

TEST_F(ShowTest, OneEntryWithRepeatStaysAndWaitsForTheTimer)
{
    openPictures({u"only.jpg"_s});
    FMain->CheckRepetuj->setChecked(true);
    FMain->mnuAuto->trigger();
    EXPECT_EQ(FPliki->CurrentName, u"only.jpg");
    // The restart does not move the selection, so the picture stays and the show keeps ticking.
    FPliki->Timer11Timer();
    FPliki->Timer11Timer();
    EXPECT_TRUE(FPliki->Show.isRunning());
    EXPECT_TRUE(FPliki->Timer11->isEnabled());
    EXPECT_EQ(selected(), 0);
    EXPECT_TRUE(FFotka->isVisible());
}

TEST_F(ShowTest, AnEmptyListWithRepeatLeavesTheShowStopped)
{
    openPictures({});
    FMain->CheckRepetuj->setChecked(true);
    FMain->mnuAuto->trigger();
    EXPECT_FALSE(FPliki->Show.isRunning());
    EXPECT_FALSE(FPliki->Timer11->isEnabled());
    FMain->CheckRepetuj->setChecked(false);
    FPismo->Memo1->setPlainText(u"x"_s);
    FMain->mnuAuto->trigger();
    EXPECT_TRUE(memoText().isEmpty());
    EXPECT_TRUE(dialogTexts(Kind::Report).isEmpty());
}

TEST_F(ShowTest, RealTicksGoOnInsideTheErrorBoxThatATickOpened)
{
    writePicture(u"a.jpg"_s);
    m_pictures.write(u"b.jpg"_s, "not a picture");
    writePicture(u"c.jpg"_s);
    writePicture(u"d.jpg"_s);
    openDirectory(pictureDir());
    state().lblSpin->setText(u"1"_s);
    bool inBox = false;
    int reachedInBox = -1;
    m_dialogs->whileOpen = [&](const testing_support::DialogRecord& record) {
        if (record.kind != Kind::Error || inBox)
            return;
        inBox = true;
        EXPECT_TRUE(QTest::qWaitFor([&] { return selected() >= 2; }, 5000));
        reachedInBox = selected();
        FMain->mnuStop->trigger();
    };
    FMain->mnuAuto->trigger();
    EXPECT_EQ(selected(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return inBox && !FPliki->Timer11->isEnabled(); }, 5000));
    EXPECT_EQ(reachedInBox, 2);
    EXPECT_EQ(FPliki->CurrentName, u"c.jpg");
}

TEST_F(ShowTest, TicksInsideABoxThatTheShowOpenedCountTheirFailuresInIt)
{
    // b.jpg cannot be shown; c.jpg's sound is damaged, so measuring it (while b is shown) fails, and playing it.
    writePicture(u"a.jpg"_s);
    m_pictures.write(u"b.jpg"_s, "not a picture");
    writePicture(u"c.jpg"_s);
    m_pictures.write(u"c.wav"_s, QByteArray(4000, 'j'));
    openDirectory(pictureDir());
    FMain->CheckRepetuj->setChecked(true);
    FMain->mnuAuto->trigger();
    int open = 0;
    int deepest = 0;
    m_dialogs->whileOpen = [&](const testing_support::DialogRecord& record) {
        deepest = std::max(deepest, ++open);
        if (record.kind == Kind::Report)
            for (int tick = 0; tick < 7; ++tick) // c, then b after the restart, and so on
                FPliki->Timer11Timer();
        --open;
    };
    FPliki->Timer11Timer();
    EXPECT_EQ(deepest, 1) << "no box opened inside another";
    ASSERT_EQ(dialogTexts(Kind::Report).size(), 1);
    // Once the report is closed, the tick that opened it goes on, and its own failure opens a box of its own.
    EXPECT_EQ(dialogTexts(Kind::Error).size(), 1);
    const QStringList changes = dialogTexts(Kind::TextChange);
    ASSERT_EQ(changes.size(), 10); // c: its sound; b: the next sound and the picture; four times c, three b
    EXPECT_TRUE(changes.back().endsWith(u"\r\n(i jeszcze 10 błędów)"_s)) << changes.back().toStdString();
    EXPECT_TRUE(dialogTexts(Kind::Report).front().startsWith(changes.back().section(u"\r\n"_s, 0, 0)));
    EXPECT_TRUE(FPliki->Show.isRunning());
}

TEST_F(ShowTest, ClosingTheMainWindowStopsTheShow)
{
    openPictures({u"a.jpg"_s, u"b.jpg"_s});
    FMain->mnuAuto->trigger();
    EXPECT_TRUE(FPliki->Timer11->isEnabled());
    FMain->FormClose();
    EXPECT_FALSE(FPliki->Timer11->isEnabled());
    QCoreApplication::processEvents();
}
