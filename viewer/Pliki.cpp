#include "Pliki.h"

#include "Fotka.h"
#include "Pismo.h"
#include "description_field.h"
#include "file_listing.h"
#include "sound_lookup.h"
#include "viewer_state.h"

#include "platform/audio_output.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/file_names.h"
#include "platform/guard.h"
#include "store/picture_formats.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QVBoxLayout>

TFPliki::TFPliki(viewer::MainLink& main)
    : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint)
    , FLBox1(new viewer::FileListBox(this))
    , Edit1(new QLineEdit(this))
    , lblMuz(new QLabel(this))
    , Timer11(new platform::ShowTimer(this))
    , Show(m_showLink)
    , m_main(main)
    , m_showLink(main)
{
    setObjectName(QStringLiteral("FPliki"));
    setWindowTitle(QStringLiteral("Pliki katalogu"));
    setAccessibleName(QStringLiteral("Pliki katalogu"));
    resize(179, 246);
    QFont windowFont(QStringLiteral("MS Sans Serif"), 8);
    windowFont.setBold(true);
    setFont(windowFont);

    FLBox1->setObjectName(QStringLiteral("FLBox1"));
    FLBox1->setAccessibleName(QStringLiteral("Lista plików obrazów"));
    QPalette listPalette = FLBox1->palette();
    listPalette.setColor(QPalette::Base, palette().color(QPalette::Button));
    FLBox1->setPalette(listPalette);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setAccessibleName(QStringLiteral("Nazwa pliku"));
    Edit1->setText(store::pictureMask());
    Edit1->hide();
    lblMuz->setObjectName(QStringLiteral("lblMuz"));
    lblMuz->setAccessibleName(QStringLiteral("Dźwięk obrazu"));
    lblMuz->hide();
    Timer11->onTick = [this] { Timer11Timer(); };

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(FLBox1);

    FLBox1->setCompanionEdit(Edit1);
    m_main.attachPopupMenu(this);
    m_main.attachPopupMenu(FLBox1);
    FLBox1->installEventFilter(this);

    connect(FLBox1, &viewer::FileListBox::chosen, this, platform::guard([this] { FLBox1Click(); }));
    connect(Edit1, &QLineEdit::textChanged, this, platform::guard([this] { Edit1Change(); }));
    // What was read ahead belongs to the list as it was; the first sounds of the new list are prepared.
    connect(FLBox1, &viewer::FileListBox::listRead, this, [this] {
        if (FFotka)
            FFotka->DropPreparedPicture();
        platform::guarded([this] { prepareFirstSounds(); });
    });

    // The list starts with the pictures of the working directory; an unreadable one leaves it empty.
    platform::guarded([this] { FLBox1->readList(); });
}

TFPliki::~TFPliki() = default;

bool TFPliki::ShowCurrentPicture()
{
    viewer::ViewerState& state = m_main.state();
    try {
        FPismo->Memo1->clearText();
        const int index = FLBox1->selectedIndex();
        if (index < 0)
            throw platform::AppError(QStringLiteral("List index out of bounds (%1)").arg(index));
        CurrentName = FLBox1->entry(index);
        if (Edit1->text() != CurrentName)
            Edit1->setText(CurrentName);
        CurrentPath = FLBox1->entryPath(index);
        state.lblPlik->setText(CurrentPath.toText());
        // No block length belongs to the new current file until its read succeeds.
        state.lblKasuj->setText(QString());
        PlayPictureSound();
        m_main.setCounter(index, FLBox1->entryCount());
        const qint64 blockLength = FFotka->ReadPictureFile(CurrentPath, *FPismo->Memo1);
        state.lblKasuj->setText(QString::number(blockLength));
        FPismo->Memo1->viewport()->repaint();
        if (!FPismo->Memo1->document()->isEmpty())
            viewer::showWindow(FPismo);
        else
            FPismo->hide();
        viewer::showWindow(FFotka);
        if (isVisible() && isEnabled() && !QApplication::activeModalWidget()) {
            activateWindow();
            FLBox1->setFocus();
        }
        prepareNextPicture(index);
        return true;
    } catch (...) {
        const QString text = QStringLiteral("Błąd! - Nie mogę załadowac pliku ")
            + platform::displayFileName(CurrentName) + QStringLiteral(" jako obrazu");
        // A tick of the show reports into the box that the show may already hold open.
        if (Show.ticking())
            Show.reportFailure(viewer::ShowBox::Error, text);
        else
            platform::dialogs().error(text);
        // A show steps over a picture that fails: the one after it is prepared all the same.
        if (const int index = FLBox1->selectedIndex(); index >= 0)
            prepareNextPicture(index);
        return false;
    }
}

void TFPliki::prepareNextPicture(int index)
{
    // The entry "next" and the show's next tick will show: the one after this, the first after the last.
    const int count = FLBox1->entryCount();
    const int next = index + 1 >= count ? 0 : index + 1;
    if (next != index)
        FFotka->PrepareNextPicture(FLBox1->entryPath(next));
}

void TFPliki::PrepareNextSound()
{
    viewer::ViewerState& state = m_main.state();
    const int configured = platform::toInt(state.lblSpin->text());
    m_main.setShowDelaySeconds(configured);
    const int count = FLBox1->entryCount();
    // A directory without pictures has no next entry: nothing is measured.
    if (count == 0)
        return;
    const int selected = FLBox1->selectedIndex();
    const int nextIndex = selected + 1 >= count ? 0 : selected + 1;
    NextName = FLBox1->entry(nextIndex);
    // The sound after this one is measured beside the windows meanwhile, so its picture's turn finds it known.
    measureEntrySoundInBackground((nextIndex + 1) % count);
    const platform::FilePath chosen = viewer::pictureSound(FLBox1->entryPath(nextIndex));
    if (chosen.isEmpty()) {
        MP2.setFileName({});
        return;
    }
    // That sound plays when the next picture is shown: the output starts now, beside the windows.
    platform::startAudioOutputInBackground();
    MP2.setFileName(chosen);
    MP2.open();
    const int seconds = viewer::soundSeconds(MP2.lengthMs());
    state.lblCzas2->setText(QString::number(seconds));
    const int next = platform::toInt(state.lblCzas2->text());
    m_main.setShowDelaySeconds(configured < next ? seconds : configured);
}

void TFPliki::PlayPictureSound()
{
    lblMuz->clear();
    WavPath = viewer::replaceExtension(CurrentPath, ".wav");
    Mp3Path = viewer::replaceExtension(CurrentPath, ".mp3");
    for (const platform::FilePath& candidate : {WavPath, Mp3Path}) {
        const platform::FilePath found = viewer::findSoundFile(candidate);
        if (!found.isEmpty()) {
            SoundName = found;
            lblMuz->setText(found.toText());
        }
    }
    if (!lblMuz->text().isEmpty() && platform::isRegularFile(SoundName)) {
        MediaPlayer1.setFileName(SoundName);
        MediaPlayer1.open();
        MediaPlayer1.play();
        return;
    }
    // The sound of an earlier picture plays on to its end.
    MediaPlayer1.setFileName({});
    lblMuz->clear();
}

void TFPliki::prepareFirstSounds()
{
    const int count = FLBox1->entryCount();
    if (count == 0)
        return;
    // A show, and most browsing, begins at the first picture. When its sound lies beside it under its own name,
    // the output opens while the user still looks at the list, rather than when that sound plays.
    const platform::FilePath first = FLBox1->entryPath(0);
    for (const char* extension : {".mp3", ".wav"}) {
        if (platform::isRegularFile(viewer::replaceExtension(first, extension))) {
            platform::startAudioOutputInBackground();
            break;
        }
    }
    // Showing the first picture measures the second one's sound.
    measureEntrySoundInBackground(1 % count);
}

void TFPliki::measureEntrySoundInBackground(int index)
{
    const platform::FilePath picture = FLBox1->entryPath(index);
    platform::measureSoundLengthInBackground([picture] { return viewer::pictureSound(picture); });
}

void TFPliki::Edit1Change()
{
    try {
        PrepareNextSound();
    } catch (...) {
        // Outside the show the failure goes to the default error report; a tick of the show reports it into the
        // box that the show may already hold open.
        if (!Show.ticking())
            throw;
        Show.reportFailure(viewer::ShowBox::Report, platform::currentExceptionText());
    }
}

void TFPliki::FormShow()
{
    const QRect mainFrame = m_main.mainFrame();
    const QRect frame = frameGeometry();
    move(mainFrame.left() + mainFrame.width() - frame.width() - 12,
        mainFrame.top() + mainFrame.height() - frame.height() - 60);
}

void TFPliki::FormActivate()
{
    m_main.setCounter(FLBox1->selectedIndex(), FLBox1->entryCount());
}

bool TFPliki::FormKeyPress(const QString& character)
{
    if (character == u"&") {
        m_main.previousPicture();
        return true;
    }
    if (character == u"(") {
        m_main.nextPicture();
        return true;
    }
    return false;
}

void TFPliki::FormClose()
{
    MediaPlayer1.close();
    MP2.close();
}

void TFPliki::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        platform::guarded([this] { FormShow(); });
    QWidget::showEvent(event);
}

void TFPliki::closeEvent(QCloseEvent* event)
{
    platform::guarded([this] { FormClose(); });
    event->accept();
}

bool TFPliki::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        platform::guarded([this] { FormActivate(); });
    return QWidget::event(event);
}

bool TFPliki::eventFilter(QObject* watched, QEvent* event)
{
    // The window sees every typed character before the list does.
    if (watched == FLBox1 && event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent*>(event)->text();
        if (text == u"&" || text == u"(") {
            platform::guarded([&] { FormKeyPress(text); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
