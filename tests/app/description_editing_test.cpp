// The description editing commands driven as a user drives them: type into the field, save, delete.
#include "windows_fixture.h"

#include "platform/fault_injection.h"
#include "platform/screen.h"
#include "store/described_file.h"
#include "support/bmp_builder.h"
#include "support/file_size_limit.h"
#include "support/sound_builder.h"
#include "support/wmf_builder.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include <cerrno>
#include <functional>
#include <utility>

using namespace Qt::StringLiterals;
using testing_support::fileBytes;
using Kind = testing_support::DialogRecord::Kind;

namespace {

/** Replaces the field's text as a user does: select everything, then type (Polish letters too). */
void type(const QString& text)
{
    viewer::DescriptionField* field = FPismo->Memo1;
    field->setFocus();
    field->selectAll();
    for (const QChar c : text) {
        if (c == u'\n')
            QTest::keyClick(field, Qt::Key_Return);
        else
            QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

class DescriptionEditingTest : public testing_support::WindowsTest {
protected:
    /** Writes `name` as a JPEG (its bytes in m_picture) followed by `tail`, and shows it as a click would. */
    QString showPicture(const QString& name, const QByteArray& tail = {})
    {
        const QString path = writePicture(name);
        m_picture = fileBytes(path);
        m_pictures.write(name, m_picture + tail);
        openDirectory(pictureDir());
        FPliki->FLBox1->SetListPath(name);
        EXPECT_TRUE(FPliki->ShowCurrentPicture());
        m_dialogs->clear();
        return path;
    }

    static QByteArray stored(const QString& text) { return store::fieldTextToDescription(text); }

    QByteArray m_picture;
};

} // namespace

TEST_F(DescriptionEditingTest, SaveWritesThePictureTheMarkerAndTheTextWhateverBlockWasThere)
{
    const QString text = u"Morskie Oko\nŻółw\u00a0nad wodą"_s;
    m_pictures.write(u"a.wav"_s, testing_support::wavFile(800));
    for (const QByteArray& before : {QByteArray(), QByteArray("@||@a much longer old description, gone"),
             QByteArray("@||@x"), QByteArray("@||@")}) {
        SCOPED_TRACE(before.toStdString());
        const QString path = showPicture(u"a.jpg"_s, before);
        type(text);
        ASSERT_TRUE(FPismo->Memo1->modified());
        const int plays = FPliki->MediaPlayer1.playCount();
        const QByteArray old = fileBytes(path), expected = m_picture + "@||@" + stored(text);
        // Stopped at any step of the save (reads, checks, the replacement's steps), the file is old or new.
        std::vector<QByteArray> seen;
        std::optional<platform::InjectedStop> stop {
            std::in_place, [&](auto, auto&) { seen.push_back(fileBytes(path)); }};
        FMain->mnuZapis->trigger();
        stop.reset();
        EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [&](auto& now) { return now == old || now == expected; }));
        EXPECT_GE(seen.size(), 8);
        EXPECT_EQ(FPliki->MediaPlayer1.playCount(), plays + 1) << "the re-display starts the sound over";
        EXPECT_EQ(fileBytes(path), expected);
        EXPECT_EQ(state().lblKasuj->text(), QString::number(4 + stored(text).size()));
        EXPECT_EQ(store::blockLengthOf(expected), 4 + stored(text).size());
        EXPECT_EQ(QApplication::clipboard()->text(), text);
        EXPECT_EQ(dialogTexts(Kind::Message), QStringList {u"Zapisano do pliku   a.jpg"_s});
        EXPECT_EQ(FPismo->Memo1->text(), text);
        EXPECT_TRUE(FPismo->isVisible());
        // Saving again without an edit runs the whole sequence again, to the same file.
        EXPECT_TRUE(FPismo->Memo1->modified());
        FMain->pupZapiszOpis->trigger();
        EXPECT_EQ(fileBytes(path), expected);
    }
}

TEST_F(DescriptionEditingTest, AnEmptiedFieldSavesTheMarkerAloneAndLeavesTheClipboard)
{
    const QString path = showPicture(u"a.jpg"_s, "@||@opis");
    QApplication::clipboard()->setText(u"schowek"_s);
    FPismo->Memo1->selectAll();
    QTest::keyClick(FPismo->Memo1, Qt::Key_Delete);
    FMain->mnuZapis->trigger();
    EXPECT_EQ(fileBytes(path), m_picture + "@||@");
    EXPECT_EQ(state().lblKasuj->text(), u"4");
    EXPECT_EQ(QApplication::clipboard()->text(), u"schowek");
}

TEST_F(DescriptionEditingTest, NothingToSaveOrDeleteOnlySaysSo)
{
    const QString path = showPicture(u"a.jpg"_s, "@||@opis");
    const QDateTime modifiedAt = QFileInfo(path).lastModified();
    FMain->mnuZapis->trigger();
    FPismo->Memo1->clearText();
    FMain->mnuKasuj->trigger();
    EXPECT_EQ(dialogTexts(Kind::Message),
        (QStringList {u"Pole opisu nie było modyfikowane - nie mam co zapisywać!"_s,
            u"Pole opisu puste - nie mam co kasować!"_s}));
    EXPECT_EQ(fileBytes(path), m_picture + "@||@opis");
    EXPECT_EQ(QFileInfo(path).lastModified(), modifiedAt);
}

TEST_F(DescriptionEditingTest, DeleteKeepsTheBytesBeforeTheFirstMarker)
{
    const QString path = showPicture(u"a.jpg"_s, "@||@opis @||@ drugi znacznik");
    FMain->pupKasujOpis->trigger();
    EXPECT_EQ(fileBytes(path), m_picture);
    EXPECT_EQ(state().lblKasuj->text(), u"0");
    EXPECT_FALSE(FPismo->isVisible());
    EXPECT_TRUE(FPismo->Memo1->text().isEmpty());
}

namespace {

/** What a failure row may touch: the shown picture and the dialogs, whose boxes it may act inside. */
struct Scene {
    QString path;
    testing_support::ScriptedDialogs& dialogs;
};

struct Failure {
    const char* name;
    /** Prepares the failure once the picture is shown; the object it gives back lives until the command ends. */
    std::function<std::shared_ptr<void>(Scene&)> arrange;
};

void PrintTo(const Failure& failure, std::ostream* out)
{
    *out << failure.name;
}

class SaveFailure : public DescriptionEditingTest, public testing::WithParamInterface<Failure> { };

template <typename T, typename... Args> std::shared_ptr<void> hold(Args&&... args)
{
    return std::make_shared<T>(std::forward<Args>(args)...);
}

/** Runs `atEnd` when the command has ended (the row's object goes). */
std::shared_ptr<void> afterwards(std::function<void()> atEnd)
{
    return std::shared_ptr<void>(nullptr, [atEnd = std::move(atEnd)](void*) { atEnd(); });
}

QString besidePicture(const Scene& scene, const QString& name)
{
    return QFileInfo(scene.path).absoluteDir().filePath(name);
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

/** b.jpg beside the picture, in the list, so that a show tick has another picture to go to. */
QString addSecondPicture(const Scene& scene)
{
    const QString other = besidePicture(scene, u"b.jpg"_s);
    writeBytes(other, testing_support::encodeJpeg(QImage(8, 8, QImage::Format_RGB32)) + "@||@opis b");
    FPliki->FLBox1->readList();
    FPliki->FLBox1->SetListPath(u"a.jpg"_s);
    return other;
}

/** While a box is open, the show's next tick shows b.jpg (once). */
std::shared_ptr<void> tickInsideTheNextBox(Scene& scene, const QString& other)
{
    auto ticked = std::make_shared<bool>(false);
    scene.dialogs.whileOpen = [ticked](const testing_support::DialogRecord&) {
        if (std::exchange(*ticked, true))
            return;
        FMain->mnuNastepnyClick();
    };
    return afterwards([&dialogs = scene.dialogs, other, before = fileBytes(other), ticked] {
        dialogs.whileOpen = nullptr;
        EXPECT_TRUE(*ticked);
        EXPECT_EQ(FPliki->CurrentName, u"b.jpg");
        EXPECT_EQ(fileBytes(other), before);
    });
}

/**
 * Gives the file another modification time, its bytes unchanged: the shown picture no longer counts as read from
 * the file as it is, so the save's re-display reads it again.
 */
void touch(const QString& path, int seconds = -60)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QFileInfo(path).lastModified().addSecs(seconds), QFileDevice::FileModificationTime));
}

/**
 * Another program changes the shown file (`replaced`: by a new file renamed over it, as a save does; otherwise in
 * place, with as many bytes and later times): the command then refuses, naming the change.
 */
std::shared_ptr<void> anotherProgramWrites(Scene& scene, const QByteArray& tail, bool replaced)
{
    const QByteArray picture = fileBytes(scene.path).left(fileBytes(scene.path).indexOf("@||@"));
    if (replaced) {
        const QString other = besidePicture(scene, u".other"_s);
        writeBytes(other, picture + tail);
        EXPECT_EQ(::rename(QFile::encodeName(other).constData(), QFile::encodeName(scene.path).constData()), 0);
    } else {
        QFile file(scene.path);
        EXPECT_TRUE(file.open(QIODevice::ReadWrite));
        file.write(picture + tail);
        file.close();
        touch(scene.path, 60);
    }
    return afterwards([&dialogs = scene.dialogs] {
        EXPECT_EQ(dialogs.records().at(0).text, u"Plik a.jpg zmienił się od chwili pokazania - pokaż go ponownie."_s);
    });
}

const Failure kFailures[] = {
    {"ReadOnlyFile",
        [](Scene& scene) {
            return hold<platform::InjectedFailure>(platform::FileOperation::WriteFile, scene.path, EACCES);
        }},
    {"ReadOnlyDirectory",
        [](Scene& scene) {
            return hold<platform::InjectedFailure>(
                platform::FileOperation::CreateFile, QFileInfo(scene.path).absolutePath(), EACCES);
        }},
    {"ChangedOnDiskSinceShown",
        [](Scene& scene) {
            QFile file(scene.path);
            EXPECT_TRUE(file.open(QIODevice::Append));
            file.write(" appended by another program");
            return std::shared_ptr<void>();
        }},
    {"RewrittenWithAsManyBytesSinceShown",
        [](Scene& scene) { return anotherProgramWrites(scene, "@||@cudzy opis", false); }},
    {"ReplacedByAnotherViewersSaveSinceShown",
        [](Scene& scene) { return anotherProgramWrites(scene, "@||@opis z innego okna", true); }},
    {"DescriptionHoldingANulTheFieldCannotShow",
        [](Scene& scene) {
            writeBytes(scene.path,
                fileBytes(scene.path).left(fileBytes(scene.path).indexOf("@||@")) + "@||@ab" + QByteArray(1, '\0')
                    + "cdef");
            EXPECT_TRUE(FPliki->ShowCurrentPicture());
            type(u"nowy, dłuższy opis obrazu"_s);
            scene.dialogs.clear();
            return afterwards([&dialogs = scene.dialogs] {
                EXPECT_TRUE(dialogs.records().at(0).text.startsWith(u"Opis w pliku a.jpg zawiera znak NUL"_s));
                EXPECT_TRUE(dialogs.records().at(0).text.contains(u"(jest ich 5)"_s));
            });
        }},
    {"NoBlockLengthAfterAFailedRead",
        [](Scene&) {
            FMain->GroupBox1->lblKasuj->setText(QString());
            return afterwards([] {
                EXPECT_EQ(FMain->GroupBox1->lblKasuj->text(), QString());
                EXPECT_EQ(QApplication::clipboard()->text(), u"nowy, dłuższy opis obrazu");
            });
        }},
    {"TextLongerThanAReadAccepts",
        [](Scene&) {
            QString text = u"Linia opisu o długości mniej więcej osiemdziesięciu znaków, powtarzana bez końca.\n"_s;
            text = text.repeated(int(viewer::kMaxDescriptionBytes / text.size()) + 1);
            FPismo->Memo1->selectAll();
            FPismo->Memo1->insertPlainText(text);
            return std::shared_ptr<void>();
        }},
    {"UnencodableText",
        [](Scene& scene) {
            type(u"Жук ok"_s);
            return afterwards([&dialogs = scene.dialogs] {
                EXPECT_EQ(FMain->GroupBox1->lblKasuj->text(), u"14");
                EXPECT_EQ(FPismo->Memo1->text(), u"Жук ok");
                EXPECT_TRUE(dialogs.records().at(0).text.startsWith(u"Opisu nie zapisano - znaków Ж, у, к nie"));
            });
        }},
    {"RedisplayFailsOnADamagedSound",
        [](Scene& scene) {
            const QString sound = besidePicture(scene, u"a.wav"_s);
            writeBytes(sound, "RIFF, but no sound at all");
            return afterwards([sound] { QFile::remove(sound); });
        }},
    {"ShowTickInsideTheRedisplaysErrorBox",
        [](Scene& scene) {
            const QString other = addSecondPicture(scene);
            const QString sound = besidePicture(scene, u"a.wav"_s);
            writeBytes(sound, "RIFF, but no sound at all");
            auto ticking = tickInsideTheNextBox(scene, other);
            return afterwards([sound, ticking] { QFile::remove(sound); });
        }},
    {"ShowTickInsideTheRedisplaysDecodingReport",
        [](Scene& scene) {
            // A picture whose data fails to decode is shown, reporting it once; the show moves on in that report.
            const QByteArray broken = testing_support::withoutQuantisationTables(
                testing_support::encodeJpeg(QImage(16, 16, QImage::Format_RGB32)));
            writeBytes(scene.path, broken + "@||@stary opis");
            const QString other = addSecondPicture(scene);
            EXPECT_TRUE(FPliki->ShowCurrentPicture());
            type(u"nowy, dłuższy opis obrazu"_s);
            scene.dialogs.clear();
            touch(scene.path);
            return tickInsideTheNextBox(scene, other);
        }},
    {"WriteBeyondTheFileSizeLimit",
        [](Scene& scene) { return hold<testing_support::FileSizeLimit>(QFileInfo(scene.path).size() + 8); }},
    {"OtherDirectoryOpen",
        [](Scene&) {
            FPliki->FLBox1->SetListPath(QDir::tempPath());
            return std::shared_ptr<void>();
        }},
    {"OtherDirectoryHoldingAFileOfTheSameName",
        [](Scene& scene) {
            auto elsewhere = std::make_shared<testing_support::TempDir>();
            const QString namesake = elsewhere->write(u"a.jpg"_s, fileBytes(scene.path));
            FPliki->FLBox1->SetListPath(namesake);
            // Refused before the cut: the namesake is never shown in the picture's place.
            return afterwards([elsewhere, namesake, before = fileBytes(namesake), shown = scene.path] {
                EXPECT_EQ(fileBytes(namesake), before);
                EXPECT_EQ(FPliki->CurrentPath.toText(), shown);
            });
        }},
};

} // namespace

TEST_P(SaveFailure, LeavesTheFileAsItWas)
{
    const QString path = showPicture(u"a.jpg"_s, "@||@stary opis");
    type(u"nowy, dłuższy opis obrazu"_s);
    QByteArray before;
    {
        Scene scene {path, *m_dialogs};
        const std::shared_ptr<void> held = GetParam().arrange(scene);
        before = fileBytes(path);
        FMain->mnuZapis->trigger();
    }
    EXPECT_EQ(fileBytes(path), before);
    EXPECT_FALSE(dialogTexts(Kind::Report).isEmpty() && dialogTexts(Kind::Error).isEmpty());
    EXPECT_TRUE(dialogTexts(Kind::Message).isEmpty());
    // No temporary file is left beside the picture.
    EXPECT_TRUE(QDir(pictureDir()).entryList({u".*"_s}, QDir::Files | QDir::Hidden).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Rows, SaveFailure, testing::ValuesIn(kFailures),
    [](const testing::TestParamInfo<Failure>& param) { return std::string(param.param.name); });

TEST_F(DescriptionEditingTest, TheFileAsShownIsReadOnceAndItsPictureKeptForTheRedisplay)
{
    const QString path = showPicture(u"a.jpg"_s, "@||@stary opis");
    type(u"nowy opis"_s);
    const platform::InjectedFailure secondRead(platform::FileOperation::ReadFile, path, EIO, 1);
    FMain->mnuZapis->trigger();
    EXPECT_EQ(fileBytes(path), m_picture + "@||@" + stored(u"nowy opis"_s));
    EXPECT_EQ(dialogTexts(Kind::Message), QStringList {u"Zapisano do pliku   a.jpg"_s});
    EXPECT_EQ(FPismo->Memo1->toPlainText(), u"nowy opis");
    EXPECT_EQ(state().lblKasuj->text(), QString::number(4 + stored(u"nowy opis"_s).size()));
}

TEST_F(DescriptionEditingTest, AfterAFailedWriteTheSameSaveSucceedsOnceTheWriteCan)
{
    const QString path = showPicture(u"a.jpg"_s, "@||@stary opis");
    type(u"nowy, dłuższy opis obrazu"_s);
    {
        const testing_support::FileSizeLimit limit(QFileInfo(path).size() + 8);
        FMain->mnuZapis->trigger();
    }
    EXPECT_EQ(fileBytes(path), m_picture + "@||@stary opis");
    EXPECT_EQ(state().lblKasuj->text(), u"14");
    FMain->mnuZapis->trigger();
    EXPECT_EQ(fileBytes(path), m_picture + "@||@" + stored(u"nowy, dłuższy opis obrazu"_s));
    EXPECT_EQ(dialogTexts(Kind::Message), QStringList {u"Zapisano do pliku   a.jpg"_s});
}

TEST_F(DescriptionEditingTest, TheSaveAndDeleteActOnTheShownPictureWhenTheSelectionMoved)
{
    const QString path = showPicture(u"a.jpg"_s, "@||@opis a");
    const QByteArray other = fileBytes(m_pictures.write(u"b.jpg"_s, m_picture + "@||@opis b"));
    FPliki->FLBox1->readList();
    FPliki->FLBox1->selectIndex(1); // the show's end, or a search, may leave another entry selected
    type(u"nowy"_s);
    FMain->mnuZapis->trigger();
    EXPECT_EQ(fileBytes(path), m_picture + "@||@nowy");
    EXPECT_EQ(fileBytes(pictureDir() + u"/b.jpg"_s), other);
    EXPECT_EQ(FPliki->FLBox1->selectedIndex(), 0);

    FPliki->FLBox1->selectIndex(1);
    FMain->mnuKasuj->trigger();
    EXPECT_EQ(fileBytes(path), m_picture);
    EXPECT_EQ(fileBytes(pictureDir() + u"/b.jpg"_s), other);
}

TEST_F(DescriptionEditingTest, APictureReachedThroughALinkIsSavedIntoItsTarget)
{
    const QString target = showPicture(u"a.jpg"_s, "@||@stary");
    const QString link = pictureDir() + u"/link.jpg"_s;
    ASSERT_TRUE(QFile::link(target, link));
    FPliki->FLBox1->readList();
    FPliki->FLBox1->SetListPath(u"link.jpg"_s);
    ASSERT_TRUE(FPliki->ShowCurrentPicture());
    type(u"przez dowiązanie"_s);
    FMain->mnuZapis->trigger();
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(fileBytes(target).mid(m_picture.size()).toStdString(), stored(u"@||@przez dowiązanie"_s).toStdString());
    EXPECT_EQ(fileBytes(target).left(m_picture.size()), m_picture);
}

TEST_F(DescriptionEditingTest, AFileWithFurtherNamesIsReplacedUnderThisNameOnly)
{
    const QString path = m_pictures.write(u"a.jpg"_s, m_picture + "@||@stary");
    const QString twin = pictureDir() + u"/bliźniak.jpg"_s;
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(twin).constData()), 0);
    showPicture(u"a.jpg"_s, "@||@stary");
    type(u"nowy"_s);
    FMain->mnuZapis->trigger();
    EXPECT_EQ(fileBytes(path), m_picture + "@||@nowy");
    EXPECT_EQ(fileBytes(twin), m_picture + "@||@stary");
    QFile::remove(twin);
}

namespace {

struct PictureEnd {
    const char* name;
    const char* fileName;
    QByteArray bytes;
    /** The picture's bytes as a save writes them. */
    QByteArray written;
};

void PrintTo(const PictureEnd& row, std::ostream* out)
{
    *out << row.name;
}

/** A placeable metafile whose size field counts the placeable header too, as some writers store it. */
PictureEnd metafileCountingItsHeader()
{
    const QByteArray plain
        = testing_support::WmfBuilder().window(0, 0, 100, 50).rectangle(10, 10, 90, 40).placeable(0, 0, 96, 48);
    QByteArray counting = plain;
    const int words = int(plain.size() / 2);
    counting[22 + 6] = char(words & 0xFF);
    counting[22 + 7] = char(words >> 8);
    return {"MetafileSizeCountingThePlaceableHeader", "m.wmf", counting, counting};
}

/** A run-length bitmap (two rows of four pixels) whose image size field is `sizeImage`. */
PictureEnd runLengthBitmap(const char* name, std::uint32_t sizeImage)
{
    testing_support::BmpSpec plan;
    plan.width = 4;
    plan.height = 2;
    plan.bitCount = 8;
    plan.compression = 1; // run-length, 8 bits
    plan.palette = {qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
    plan.pixels = QByteArray::fromHex("0401000004020001"); // a row of 1s, end of line, a row of 2s, end
    plan.sizeImage = sizeImage;
    const QByteArray bmp = testing_support::buildBmp(plan);
    return {name, "r.bmp", bmp, bmp};
}

class SavedPictureEnd : public DescriptionEditingTest, public testing::WithParamInterface<PictureEnd> { };

} // namespace

TEST_P(SavedPictureEnd, StaysBeforeTheDescriptionAcrossSavesAndTheDelete)
{
    const PictureEnd& row = GetParam();
    const QString path = m_pictures.write(QString::fromLatin1(row.fileName), row.bytes);
    openDirectory(pictureDir());
    FPliki->FLBox1->SetListPath(QString::fromLatin1(row.fileName));
    ASSERT_TRUE(FPliki->ShowCurrentPicture());
    // The last text is longer than the bitmap's image size claims: the picture still ends where its data ends.
    for (const QString& text : {u"Pierwszy opis, dłuższy niż osiemnaście bajtów"_s, u"drugi"_s,
             u"Trzeci opis, znacznie dłuższy.\n"_s.repeated(200)}) {
        type(text);
        FMain->mnuZapis->trigger();
        EXPECT_EQ(fileBytes(path), row.written + "@||@" + stored(text));
    }
    FMain->mnuKasuj->trigger();
    EXPECT_EQ(fileBytes(path), row.written);
    EXPECT_TRUE(dialogTexts(Kind::Report).isEmpty()) << dialogTexts(Kind::Report).join(u' ').toStdString();
    EXPECT_TRUE(dialogTexts(Kind::Error).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Rows, SavedPictureEnd,
    testing::Values(metafileCountingItsHeader(), runLengthBitmap("RunLengthBitmapWithoutImageSize", 0),
        runLengthBitmap("RunLengthBitmapWithImageSizePastTheData", 4000)),
    [](const testing::TestParamInfo<PictureEnd>& param) { return std::string(param.param.name); });

TEST_F(DescriptionEditingTest, TextCommandsWorkWhileTheWindowIsHiddenAndSetTheModifiedFlag)
{
    showPicture(u"a.jpg"_s, "@||@opis");
    viewer::DescriptionField* field = FPismo->Memo1;
    const QString storedLeft = state().lblLewa->text();
    FPismo->move(FPismo->pos() + QPoint(7, 7));
    FMain->mnuUkryjOapisy->trigger();
    EXPECT_FALSE(FPismo->isVisible());
    EXPECT_EQ(state().lblLewa->text(), storedLeft); // hiding is no closing: nothing is stored
    EXPECT_FALSE(field->modified());

    field->selectAll();
    FMain->pupCopy->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), u"opis");
    EXPECT_FALSE(field->modified());
    FMain->pupCut->trigger();
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_TRUE(field->modified());
    FMain->pupPaste->trigger();
    FMain->pupPaste->trigger();
    EXPECT_EQ(field->text(), u"opisopis");

    // Undo back to the text as loaded still counts as a change.
    field->setProgramText(u"opis"_s);
    QTest::keyClick(field, Qt::Key_X);
    FMain->pupUndo->trigger();
    EXPECT_EQ(field->text(), u"opis");
    EXPECT_TRUE(field->modified());

    FMain->pupPokazNapisy->trigger();
    EXPECT_TRUE(FPismo->isVisible());
}

TEST_F(DescriptionEditingTest, TheFieldsOwnMenuShowsNoShortcutsAndItsChangesCount)
{
    showPicture(u"a.jpg"_s, "@||@opis");
    viewer::DescriptionField* field = FPismo->Memo1;
    // The program loads Qt's Polish translation; here only while this menu is open.
    QTranslator polish;
    ASSERT_TRUE(polish.load(u"qtbase_pl"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath)));
    QCoreApplication::installTranslator(&polish);
    QMenu* menu = nullptr;
    QTimer::singleShot(0, [&] {
        menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        EXPECT_EQ(menu->actions().value(0)->text(), u"&Cofnij");
        for (QAction* action : menu->actions()) {
            EXPECT_FALSE(action->text().contains(u'\t')) << action->text().toStdString();
            EXPECT_TRUE(action->shortcut().isEmpty());
        }
        for (QAction* action : menu->actions()) {
            if (action->objectName() == u"edit-delete")
                action->trigger();
        }
        menu->close();
    });
    field->selectAll();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), field->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(field->viewport(), &event);
    EXPECT_TRUE(QTest::qWaitFor([&] { return menu != nullptr; }));
    QCoreApplication::removeTranslator(&polish);
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_TRUE(field->modified());
}

TEST_F(DescriptionEditingTest, APictureWhoseDataFailsToDecodeStillShowsItsDescriptionForEditing)
{
    const QByteArray jpeg
        = testing_support::withoutQuantisationTables(testing_support::encodeJpeg(QImage(32, 16, QImage::Format_RGB32)));
    const QString path = m_pictures.write(u"zepsuty.jpg"_s, jpeg + "@||@opis");
    openDirectory(pictureDir());
    FPliki->FLBox1->SetListPath(u"zepsuty.jpg"_s);
    EXPECT_TRUE(FPliki->ShowCurrentPicture());
    EXPECT_EQ(dialogTexts(Kind::Report), QStringList {u"JPEG error #52."_s});
    EXPECT_TRUE(dialogTexts(Kind::Error).isEmpty());
    EXPECT_EQ(FPismo->Memo1->text(), u"opis");
    EXPECT_EQ(state().lblKasuj->text(), u"8");
    EXPECT_EQ(FFotka->Image11->size(), QSize(32, 16));
    FFotka->Image11->repaint();
    EXPECT_EQ(dialogTexts(Kind::Report).size(), 1);

    type(u"nowy opis"_s);
    FMain->mnuZapis->trigger();
    EXPECT_EQ(fileBytes(path), jpeg + "@||@nowy opis");
    FMain->mnuKasuj->trigger();
    EXPECT_EQ(fileBytes(path), jpeg);
}

TEST_F(DescriptionEditingTest, ADeleteThatCannotGoOnLeavesFileFieldAndBlockLength)
{
    const QString path = showPicture(u"a.jpg"_s, "@||@opis");
    const QByteArray before = fileBytes(path);
    {
        const platform::InjectedFailure readOnly(platform::FileOperation::WriteFile, path, EACCES);
        FMain->mnuKasuj->trigger();
    }
    {
        // The re-display fails after the cut (on a damaged sound): the block goes back.
        const QString sound = pictureDir() + u"/a.wav"_s;
        writeBytes(sound, "RIFF, but no sound at all");
        FMain->mnuKasuj->trigger();
        QFile::remove(sound);
    }
    EXPECT_EQ(fileBytes(path), before);
    EXPECT_EQ(dialogTexts(Kind::Report).size(), 1);
    EXPECT_EQ(dialogTexts(Kind::Error).size(), 1);
    // Shown again, the picture still has its description.
    FPliki->ShowCurrentPicture();
    EXPECT_EQ(FPismo->Memo1->text(), u"opis");
    EXPECT_EQ(state().lblKasuj->text(), u"8");
}

TEST_F(DescriptionEditingTest, ADeleteActsOnTheFileAsShownAndDeletesWhatTheFieldCannotShow)
{
    const QString path = showPicture(u"a.jpg"_s, "@||@opis");
    const QByteArray other = m_picture + "@||@cudz";
    writeBytes(path, other);
    touch(path, 60);
    FMain->mnuKasuj->trigger();
    EXPECT_EQ(fileBytes(path), other);
    EXPECT_EQ(
        dialogTexts(Kind::Report), QStringList {u"Plik a.jpg zmienił się od chwili pokazania - pokaż go ponownie."_s});

    writeBytes(path, m_picture + "@||@ab" + QByteArray(1, '\0') + "cd");
    ASSERT_TRUE(FPliki->ShowCurrentPicture());
    FMain->mnuKasuj->trigger();
    EXPECT_EQ(fileBytes(path), m_picture);
}

TEST_F(DescriptionEditingTest, SavingWhileALargePictureIsStillDecodingWritesItsOwnBytes)
{
    // A window fitted to a screen much smaller than the picture paints its rows first and decodes the rest after.
    platform::fakePrimaryScreenSize(QSize(320, 240));
    const QByteArray jpeg = testing_support::encodeJpeg(testing_support::photoLikeImage(1600, 1200));
    const QString path = m_pictures.write(u"duży.jpg"_s, jpeg + "@||@stary");
    openDirectory(pictureDir());
    FPliki->FLBox1->SetListPath(u"duży.jpg"_s);
    ASSERT_TRUE(FPliki->ShowCurrentPicture());
    type(u"nowy"_s);
    FMain->mnuZapis->trigger(); // its re-display starts decoding again, and the write follows at once
    EXPECT_EQ(fileBytes(path), jpeg + "@||@nowy");
    ASSERT_TRUE(QTest::qWaitFor([] { return !FFotka->decoding(); }, 5000));
    EXPECT_EQ(FFotka->Image11->image(), store::loadPicture(platform::FilePath::fromText(path), jpeg)->image());
    EXPECT_TRUE(dialogTexts(Kind::Report).isEmpty());
}
