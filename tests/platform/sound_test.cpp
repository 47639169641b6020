#include "platform/audio_output.h"
#include "platform/errors.h"
#include "platform/sound_length.h"
#include "platform/sound_player.h"
#include "support/error_of.h"
#include "support/sound_builder.h"
#include "support/temp_dir.h"
#include "support/widget_application.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <SDL.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using testing_support::errorOf;
using testing_support::mp3Frames;
using testing_support::mp3LengthMs;
using testing_support::TempDir;
using testing_support::wavFile;

namespace {

struct LengthCase {
    const char* name;
    QByteArray bytes;
    std::int64_t lengthMs;
};

class SoundLengthTest : public ::testing::TestWithParam<LengthCase> { };

QByteArray cutLastFrame(QByteArray bytes)
{
    bytes.chop(200);
    return bytes;
}

/** Writes `bytes` over the start of the file and puts its modification time back, so only its bytes differ. */
void rewriteKeepingTime(const QString& path, qint64 offset, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QDateTime modified = file.fileTime(QFileDevice::FileModificationTime);
    file.seek(offset);
    file.write(bytes);
    // The write must reach the file before its time is put back, or closing stamps it anew.
    ASSERT_TRUE(file.flush());
    ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
}

} // namespace

TEST_P(SoundLengthTest, MeasuresWholeMillisecondsFromTheFile)
{
    const LengthCase& c = GetParam();
    TempDir dir;
    const QString path = dir.write(QString::fromLatin1(c.name), c.bytes);
    platform::SoundLengthProbe probe;
    probe.setFileName(platform::FilePath::fromText(path));
    probe.open();
    EXPECT_TRUE(probe.isOpen());
    EXPECT_EQ(probe.lengthMs(), c.lengthMs);
    probe.close();
    EXPECT_FALSE(probe.isOpen());
}

INSTANTIATE_TEST_SUITE_P(Files, SoundLengthTest,
    ::testing::Values(LengthCase {"one_ms.wav", wavFile(8, 8000), 1}, LengthCase {"three_s.wav", wavFile(24000), 3000},
        LengthCase {"just_over.wav", wavFile(24008), 3001}, LengthCase {"empty.wav", wavFile(0), 0},
        LengthCase {"truncated_ms.WAV", wavFile(11, 8000), 1}, LengthCase {"cbr.mp3", mp3Frames(100), mp3LengthMs(100)},
        LengthCase {"vbr_without_xing.mp3", mp3Frames({32, 320, 128, 64, 256, 40, 192, 96, 160, 48}), mp3LengthMs(10)},
        LengthCase {"cut_last_frame.mp3", cutLastFrame(mp3Frames(50)), mp3LengthMs(49)},
        LengthCase {"id3_first.mp3", testing_support::id3Tag(3000) + mp3Frames(40), mp3LengthMs(40)},
        LengthCase {"junk_first.MP3", QByteArray(300, 'j') + mp3Frames(40), mp3LengthMs(40)}),
    [](const auto& param) {
        QString name = QString::fromLatin1(param.param.name);
        name.replace(u'.', u'_');
        return name.toStdString();
    });

TEST(SoundLength, FilesWithoutSoundFailWithTheLibrarysMessage)
{
    TempDir dir;
    const struct {
        QString name;
        QByteArray bytes;
        QString message;
    } cases[] = {
        // libmpg123 searches to the end for a first frame and answers that the track is done.
        {u"text.mp3"_s, QByteArray(5000, 'x'), u"Message: I am done with this track."_s},
        {u"empty.mp3"_s, QByteArray(), u"Message: I am done with this track."_s},
        {u"tag_only.mp3"_s, testing_support::id3Tag(100), u"Message: I am done with this track."_s},
        {u"text.wav"_s, QByteArray(5000, 'x'), u"Format not recognised."_s},
        {u"cut_header.wav"_s, wavFile(100).left(20), u""_s},
    };
    for (const auto& c : cases) {
        const QString message
            = errorOf([&] { (void)platform::soundLengthMs(platform::FilePath::fromText(dir.write(c.name, c.bytes))); });
        EXPECT_FALSE(message.isEmpty()) << c.name.toStdString();
        if (!c.message.isEmpty()) {
            EXPECT_EQ(message, c.message) << c.name.toStdString();
        }
    }
    // A library that has no text for its error.
    EXPECT_EQ(platform::soundErrorText(nullptr), u"Unknown error code"_s);
    EXPECT_EQ(platform::soundErrorText(""), u"Unknown error code"_s);
    EXPECT_EQ(platform::soundErrorText("Format not recognised."), u"Format not recognised."_s);
}

TEST(SoundLength, NeverOpensWhatIsNotARegularFile)
{
    TempDir dir;
    QDir(dir.path(QString())).mkdir(u"folder.wav"_s);
    const QString fifo = dir.path(u"pipe.mp3"_s);
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& path : {dir.path(u"folder.wav"_s), fifo, dir.path(u"missing.wav"_s)}) {
        // A FIFO opened for reading would wait here for a writer; the error comes at once instead.
        EXPECT_THROW((void)platform::soundLengthMs(platform::FilePath::fromText(path)), platform::IoError)
            << path.toStdString();
        platform::SoundPlayer player;
        player.setFileName(platform::FilePath::fromText(path));
        EXPECT_THROW(player.open(), platform::IoError) << path.toStdString();
        EXPECT_FALSE(player.isOpen());
    }
}

TEST(SoundLength, ALengthIsMeasuredOnceUntilTheFileChanges)
{
    TempDir dir;
    const QString path = dir.write(u"cached.wav"_s, wavFile(8000));
    EXPECT_EQ(platform::soundLengthMs(platform::FilePath::fromText(path)), 1000);
    // Same size and time: the remembered length, even though the bytes now say something else.
    const QDateTime modified = QFileInfo(path).lastModified();
    rewriteKeepingTime(path, 24, QByteArray::fromHex("a00f0000")); // 4000 Hz
    EXPECT_EQ(platform::soundLengthMs(platform::FilePath::fromText(path)), 1000);
    // A new time: measured again.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(modified.addSecs(5), QFileDevice::FileModificationTime));
    file.close();
    EXPECT_EQ(platform::soundLengthMs(platform::FilePath::fromText(path)), 2000);
    platform::clearSoundLengthCache();
}

TEST(SoundLength, AMeasuringInTheBackgroundIsRememberedButNotItsFailure)
{
    TempDir dir;
    const QString path = dir.write(u"next.mp3"_s, mp3Frames(40));
    const QString damaged = dir.write(u"damaged.mp3"_s, QByteArray(100, 'x'));
    for (const QString& found : {path, QString(), damaged, dir.path(u"missing.wav"_s)})
        platform::measureSoundLengthInBackground([found] { return platform::FilePath::fromText(found); });
    platform::finishBackgroundMeasuring();
    // Frames of another bit rate, same size and time: only a remembered length still says 40 frames.
    rewriteKeepingTime(path, 0, mp3Frames(160, 32).left(mp3Frames(40).size()));
    EXPECT_EQ(platform::soundLengthMs(platform::FilePath::fromText(path)), mp3LengthMs(40));
    EXPECT_EQ(errorOf([&] { (void)platform::soundLengthMs(platform::FilePath::fromText(damaged)); }),
        u"Message: I am done with this track.");
    platform::clearSoundLengthCache();
    EXPECT_NE(platform::soundLengthMs(platform::FilePath::fromText(path)), mp3LengthMs(40))
        << "measured afresh once forgotten";
    platform::clearSoundLengthCache();
}

class SoundPlayerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testing_support::ensureWidgetApplication(); }
    TempDir m_dir;
};

TEST_F(SoundPlayerTest, PlaysAStreamUntilItEndsAndOpeningAnotherStopsIt)
{
    const QString longSound = m_dir.write(u"long.wav"_s, wavFile(std::int64_t {8000} * 30));
    const QString shortSound = m_dir.write(u"short.mp3"_s, mp3Frames(4));
    platform::SoundPlayer first;
    first.setFileName(platform::FilePath::fromText(longSound));
    first.open();
    EXPECT_TRUE(platform::audioOutputOpen()) << "the dummy driver is tried when no device opens";
    first.play();
    EXPECT_TRUE(first.isPlaying());
    EXPECT_EQ(first.openPath().toText(), longSound);

    first.setFileName(platform::FilePath::fromText(shortSound));
    first.open();
    EXPECT_FALSE(first.isPlaying());
    first.play();
    EXPECT_EQ(first.playCount(), 2);
    // About 100 ms of sound: it ends by itself and the player stays open.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !first.isPlaying(); }, 3000));
    EXPECT_TRUE(first.isOpen());
    first.close();
    EXPECT_FALSE(first.isOpen());
    EXPECT_TRUE(first.openPath().isEmpty());
    first.play();
    EXPECT_EQ(first.playCount(), 2) << "nothing is open to play";
}

TEST_F(SoundPlayerTest, ADamagedSoundFailsAtOpenAndLeavesThePlayerClosed)
{
    platform::SoundPlayer player;
    player.setFileName(platform::FilePath::fromText(m_dir.write(u"fine.wav"_s, wavFile(8000))));
    player.open();
    player.play();
    // SDL_mixer's own words, with libmpg123's answer inside for an ".mp3" without a frame.
    const struct {
        QString name;
        QByteArray bytes;
        QString message;
    } cases[] = {
        {u"junk.wav"_s, QByteArray(4000, 'j'), u"Unknown WAVE format"_s},
        {u"junk.mp3"_s, QByteArray(4000, 'j'), u"mpg123_getformat: Message: I am done with this track."_s},
        {u"empty.wav"_s, QByteArray(), u"Unknown WAVE format"_s},
    };
    for (const auto& c : cases) {
        player.setFileName(platform::FilePath::fromText(m_dir.write(c.name, c.bytes)));
        EXPECT_EQ(errorOf([&] { player.open(); }), c.message) << c.name.toStdString();
        EXPECT_FALSE(player.isOpen());
        EXPECT_FALSE(player.isPlaying());
    }
}

TEST_F(SoundPlayerTest, ShuttingTheOutputDownClosesEverySoundAndTheNextSoundStartsItAgain)
{
    platform::shutdownAudioOutput();
    platform::shutdownAudioOutput();
    EXPECT_FALSE(platform::audioOutputOpen());
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    platform::SoundPlayer player;
    player.setFileName(platform::FilePath::fromText(m_dir.write(u"long.wav"_s, wavFile(std::int64_t {8000} * 30))));
    for (int round = 0; round < 2; ++round) {
        // The output starts lazily with the first sound, again after each shutdown.
        player.open();
        player.play();
        EXPECT_TRUE(platform::audioOutputOpen()) << round;
        EXPECT_NE(SDL_WasInit(SDL_INIT_AUDIO), 0u) << round;
        EXPECT_TRUE(player.isPlaying()) << round;
        platform::shutdownAudioOutput();
        EXPECT_FALSE(platform::audioOutputOpen()) << round;
        EXPECT_TRUE(platform::audioDriverName().isEmpty()) << round;
        EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u) << round;
        EXPECT_FALSE(player.isOpen()) << "the player's sound was closed before the output";
        EXPECT_FALSE(player.isPlaying()) << round;
    }
}

TEST_F(SoundPlayerTest, AnOutputStartedInTheBackgroundIsWaitedForOrShutDown)
{
    platform::shutdownAudioOutput();
    // Shut down while it may still be starting: it ends closed all the same.
    platform::startAudioOutputInBackground();
    platform::shutdownAudioOutput();
    EXPECT_FALSE(platform::audioOutputOpen());
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    // Left alone, it opens by itself; a sound then plays on it at once.
    platform::startAudioOutputInBackground();
    EXPECT_TRUE(QTest::qWaitFor([&] { return platform::audioOutputOpen(); }));
    platform::startAudioOutputInBackground();
    platform::SoundPlayer player;
    player.setFileName(platform::FilePath::fromText(m_dir.write(u"long.wav"_s, wavFile(std::int64_t {8000} * 30))));
    player.open();
    player.play();
    EXPECT_TRUE(player.isPlaying());
    platform::shutdownAudioOutput();
    // A sound asked for while the output starts waits for that start.
    platform::startAudioOutputInBackground();
    EXPECT_TRUE(platform::ensureAudioOutput());
    player.open();
    player.play();
    EXPECT_TRUE(player.isPlaying());
    platform::shutdownAudioOutput();
}

TEST(WaveVolume, IsRememberedAndScalesEachChannel)
{
    platform::setWaveVolume(0, 65535);
    EXPECT_EQ(platform::waveVolume(), (platform::WaveVolume {0, 65535}));
    const struct {
        platform::WaveVolume volume;
        int channels;
        std::vector<std::int16_t> in;
        std::vector<std::int16_t> out;
    } cases[] = {
        {{65535, 65535}, 2, {1000, -1000, 32767, -32768}, {1000, -1000, 32767, -32768}},
        {{0, 0}, 2, {1000, -1000, 32767, -32768}, {0, 0, 0, 0}},
        {{32768, 65535}, 2, {1000, -1000, 32767, -32768}, {500, -1000, 16383, -32768}},
        {{65535, 0}, 1, {1000, -1000}, {499, -499}},
        {{0, 65535}, 3, {1000, 1000, 1000}, {0, 1000, 499}},
    };
    for (const auto& c : cases) {
        std::vector<std::int16_t> samples = c.in;
        platform::applyWaveVolume(samples, c.channels, c.volume);
        EXPECT_EQ(samples, c.out) << c.volume.left << "/" << c.volume.right << " on " << c.channels;
    }
    platform::setWaveVolume(65535, 65535);
}
