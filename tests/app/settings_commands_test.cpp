#include "windows_fixture.h"

#include "platform/fault_injection.h"
#include "settings/settings_file.h"
#include "support/temp_dir.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QFrame>

#include <cerrno>
#include <functional>

using namespace Qt::StringLiterals;
using testing_support::fileBytes;
using testing_support::WindowsTest;
using Kind = testing_support::DialogRecord::Kind;

namespace {

class SettingsCommands : public WindowsTest {
protected:
    [[nodiscard]] QString iniPath() const { return programDir() + u"/Zelkavio.ini"_s; }

    /** Starts the program again with `ini` as its settings file. */
    void restartWith(const QByteArray& ini)
    {
        app::destroyWindows();
        QFile file(iniPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(ini);
        file.close();
        app::createWindows();
    }

    static QFont font(const QString& family, int points, int style)
    {
        QFont f(family);
        f.setPointSize(points);
        settings::applyFontStyle(f, style);
        return f;
    }

    [[nodiscard]] const testing_support::DialogRecord* lastRecord(Kind kind) const
    {
        const auto& records = m_dialogs->records();
        for (auto it = records.rbegin(); it != records.rend(); ++it) {
            if (it->kind == kind)
                return &*it;
        }
        return nullptr;
    }
};

const QByteArray kStoredIni
    = "[Fotka]\r\nLeft=111\r\nTop=222\r\nDopasuj=1\r\n[Pismo]\r\nLeft=333\r\nTop=444\r\nWidth=555\r\n"
      "Height=166\r\n[Kolor]\r\nPlanszy=255\r\nOkna=65280\r\nLitery=16711680\r\n"
      "[Fonty]\r\nFontName=DejaVu Serif\r\nFontColor=8421376\r\nFontSize=17\r\n"
      "FontStyle=6\r\n[Plik]\r\nNazwa=/tmp/nigdzie\r\nRepetuj=1\r\n";

} // namespace

TEST_F(SettingsCommands, SaveWritesTheFifteenKeysFromTheirPlacesAndHidesTheWindows)
{
    // The picture and description windows are on the screen at places of their own.
    writePicture(u"a.jpg"_s);
    openDirectory(pictureDir());
    FMain->mnuNastepny->trigger();
    ASSERT_TRUE(FFotka->isVisible());
    FFotka->move(41, 52);
    viewer::showWindow(FPismo);
    FPismo->setGeometry(63, 74, 500, 150);
    FMain->setBackdropColour(QColor(1, 2, 3));
    FMain->setPanelTextColour(QColor(4, 5, 6));
    FPismo->setFieldLook(font(u"DejaVu Sans"_s, 11, 1 | 8), QColor(7, 8, 9), QColor(10, 11, 12));
    state().lblDir->setText(u"/home/ala/Zdjęcia"_s);
    FMain->CheckRepetuj->setChecked(true);

    FMain->mnuZapisSetup->trigger();

    for (const testing_support::DialogRecord& record : m_dialogs->records())
        ADD_FAILURE() << "unexpected box: " << record.text.toStdString();
    EXPECT_FALSE(FFotka->isVisible());
    EXPECT_FALSE(FPismo->isVisible());
    settings::Settings expected;
    expected.fotkaLeft = QString::number(FFotka->pos().x());
    expected.fotkaTop = QString::number(FFotka->pos().y());
    expected.pismoLeft = u"63"_s;
    expected.pismoTop = u"74"_s;
    expected.pismoWidth = u"500"_s;
    expected.pismoHeight = u"150"_s;
    expected.screenColour = 0x030201;
    expected.fieldColour = 0x090807;
    expected.panelTextColour = 0x060504;
    expected.fontName = u"DejaVu Sans"_s;
    expected.fontColour = 0x0C0B0A;
    expected.fontSize = 11;
    expected.fontStyle = 9;
    expected.directory = u"/home/ala/Zdjęcia"_s;
    expected.repeat = true;
    EXPECT_EQ(settings::readSettings(iniPath()), expected);
    EXPECT_EQ(state().lblLewa->text(), u"63");
    // A new file lists its sections in table order; after the save pnlKolor holds what was written.
    const QByteArray bytes = fileBytes(iniPath());
    EXPECT_LT(bytes.indexOf("[Fotka]"), bytes.indexOf("[Pismo]"));
    EXPECT_LT(bytes.indexOf("[Pismo]"), bytes.indexOf("[Kolor]"));
    EXPECT_LT(bytes.indexOf("[Kolor]"), bytes.indexOf("[Fonty]"));
    EXPECT_LT(bytes.indexOf("[Fonty]"), bytes.indexOf("[Plik]"));
    EXPECT_TRUE(bytes.contains("Repetuj=1\r\n"));
    EXPECT_EQ(state().pnlKolor->font().family(), u"DejaVu Sans");
    EXPECT_EQ(state().pnlKolor->palette().color(QPalette::Window), QColor(7, 8, 9));

    FMain->mnuZapisSetup->trigger();
    EXPECT_EQ(fileBytes(iniPath()), bytes);
}

TEST_F(SettingsCommands, SaveRightAfterStartUpKeepsTheStoredLookAndPositions)
{
    restartWith(kStoredIni);
    const settings::Settings stored = settings::readSettings(iniPath());
    FMain->mnuZapisSetup->trigger();
    EXPECT_EQ(settings::readSettings(iniPath()), stored);
    EXPECT_EQ(fileBytes(iniPath()), kStoredIni);
}

TEST_F(SettingsCommands, OnceTheDescriptionWindowOpenedTheFieldsLookIsWhatASaveWrites)
{
    restartWith(kStoredIni);
    viewer::showWindow(FPismo); // at 333, 444: takes pnlKolor's look
    // Something changes pnlKolor behind the field's back; the field's look is what counts now.
    state().pnlKolor->setFont(font(u"DejaVu Sans Mono"_s, 30, 0));
    FMain->mnuZapisSetup->trigger();
    const settings::Settings written = settings::readSettings(iniPath());
    EXPECT_EQ(written.fontName, u"DejaVu Serif");
    EXPECT_EQ(written.fontSize, 17);
    EXPECT_EQ(written.fontStyle, 6);
    EXPECT_EQ(written.fieldColour, 65280);
    EXPECT_EQ(state().pnlKolor->font().family(), u"DejaVu Serif");
}

TEST_F(SettingsCommands, RefusedWriteIsReportedOnceAndChangesNothingElse)
{
    struct Case {
        platform::FileOperation operation;
        bool onDirectory;
        int errorCode;
    };
    for (const Case c : {Case {platform::FileOperation::CreateFile, true, EACCES},
             Case {platform::FileOperation::WriteContent, false, ENOSPC}}) {
        SCOPED_TRACE(c.errorCode);
        restartWith(kStoredIni);
        m_dialogs->clear();
        viewer::showWindow(FPismo);
        state().lblDir->setText(u"/nowy/katalog"_s);
        {
            const platform::InjectedFailure refused(c.operation, c.onDirectory ? programDir() : iniPath(), c.errorCode);
            FMain->mnuZapisSetup->trigger();
        }
        ASSERT_EQ(m_dialogs->records().size(), 1U);
        EXPECT_EQ(m_dialogs->records().front().kind, Kind::Report);
        EXPECT_EQ(m_dialogs->records().front().text, u"Unable to write to "_s + iniPath() + u"."_s);
        EXPECT_EQ(fileBytes(iniPath()), kStoredIni);
        EXPECT_FALSE(FPismo->isVisible());
        // The read-back did not run: the state keeps its unsaved value.
        EXPECT_EQ(state().lblDir->text(), u"/nowy/katalog");
        QStringList leftovers = QDir(programDir()).entryList(QDir::Files | QDir::Hidden);
        EXPECT_EQ(leftovers, QStringList {u"Zelkavio.ini"_s});
    }
}

TEST_F(SettingsCommands, AppearanceCommandsApplyOnOkAndChangeNothingOnCancel)
{
    const QColor chosen(0x12, 0x34, 0x56);
    QFont chosenFont(u"DejaVu Sans"_s);
    chosenFont.setPixelSize(20); // 15 points at 96 dpi
    chosenFont.setWeight(QFont::DemiBold);
    chosenFont.setItalic(true);
    chosenFont.setStrikeOut(true);

    struct Case {
        const char* action;
        Kind dialog;
        std::function<void()> checkApplied;
    };
    const std::vector<Case> cases {
        {"mnuKolor_Ekranu", Kind::Colour, [&] { EXPECT_EQ(FMain->backdropColour(), chosen); }},
        {"mnuKolor", Kind::Colour,
            [&] {
                EXPECT_EQ(FPismo->fieldColour(), chosen);
                EXPECT_EQ(state().pnlKolor->palette().color(QPalette::Window), chosen);
                EXPECT_TRUE(FPismo->isVisible());
            }},
        {"mnuFonty", Kind::Font,
            [&] {
                for (const QFont& f : {FPismo->Memo1->font(), state().pnlKolor->font()}) {
                    EXPECT_EQ(f.family(), u"DejaVu Sans");
                    EXPECT_EQ(f.pointSize(), 15);
                    EXPECT_EQ(f.weight(), QFont::Bold);
                    EXPECT_EQ(settings::fontStyleOf(f), 1 | 2 | 8);
                }
                EXPECT_EQ(FPismo->fieldTextColour(), chosen);
                EXPECT_EQ(state().pnlKolor->palette().color(QPalette::WindowText), chosen);
                EXPECT_TRUE(FPismo->isVisible());
            }},
        {"mnuLitery", Kind::Colour, [&] { EXPECT_EQ(FMain->panelTextColour(), chosen); }},
    };
    for (const Case& c : cases) {
        for (const bool ok : {false, true}) {
            SCOPED_TRACE(std::string(c.action) + (ok ? " OK" : " Cancel"));
            restartWith(kStoredIni);
            m_dialogs->clear();
            const settings::Settings before = FMain->currentSettings();
            if (ok && c.dialog == Kind::Font)
                m_dialogs->queue(platform::FontChoice {chosenFont, chosen});
            else if (ok)
                m_dialogs->queue(chosen);
            FMain->findChild<QAction*>(QString::fromLatin1(c.action))->trigger();

            ASSERT_EQ(m_dialogs->records().size(), 1U);
            const testing_support::DialogRecord& asked = m_dialogs->records().front();
            EXPECT_EQ(asked.kind, c.dialog);
            // Each dialog opens at the current value, which the settings file gave.
            const QColor current = std::string(c.action) == "mnuKolor_Ekranu" ? QColor(255, 0, 0)
                : std::string(c.action) == "mnuKolor"                         ? QColor(0, 255, 0)
                : std::string(c.action) == "mnuFonty"                         ? QColor(0, 128, 128)
                                                                              : QColor(0, 0, 255);
            EXPECT_EQ(asked.colour, current);
            if (c.dialog == Kind::Font) {
                EXPECT_EQ(asked.text, u"DejaVu Serif");
                EXPECT_EQ(asked.fontSize, 17);
                EXPECT_EQ(asked.fontStyle, 6);
            }
            if (ok) {
                c.checkApplied();
            } else {
                EXPECT_EQ(FMain->currentSettings(), before);
                EXPECT_FALSE(FPismo->isVisible());
            }
            EXPECT_EQ(fileBytes(iniPath()), kStoredIni);
        }
    }
}

TEST_F(SettingsCommands, ChangesWithoutTheSaveCommandAreNeverWritten)
{
    m_dialogs->queue(QColor(Qt::red));
    FMain->mnuKolor_Ekranu->trigger();
    m_dialogs->queue(QColor(Qt::blue));
    FMain->mnuLitery->trigger();
    FMain->close();
    QCoreApplication::processEvents();
    EXPECT_FALSE(QFile::exists(iniPath()));
}

TEST_F(SettingsCommands, WriteSettingsGivesTheFontSizeInWholePointsForAPixelSizedFont)
{
    QFont pixels(u"DejaVu Sans"_s);
    pixels.setPixelSize(13);
    FPismo->setFieldLook(pixels, Qt::black, Qt::white);
    EXPECT_EQ(FMain->currentSettings().fontSize, 10);
    FMain->WriteSettings();
    EXPECT_EQ(settings::readSettings(iniPath()).fontSize, 10);
}
