#include "show_link.h"

#include "Fotka.h"
#include "Pismo.h"
#include "Pliki.h"
#include "description_field.h"
#include "viewer_state.h"

#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/screen_saver.h"
#include "platform/show_timer.h"

#include <QLabel>

namespace viewer {

int ShowLink::selectedIndex() const
{
    return FPliki->FLBox1->selectedIndex();
}

int ShowLink::ShowEndIndex() const
{
    return FPliki->ShowEndIndex();
}

bool ShowLink::repeat() const
{
    return m_main.repeatShow();
}

int ShowLink::nextDelay() const
{
    return m_main.showDelaySeconds();
}

void ShowLink::setNextDelay(int seconds)
{
    m_main.setShowDelaySeconds(seconds);
}

int ShowLink::configuredDelay() const
{
    return platform::toInt(m_main.state().lblSpin->text());
}

void ShowLink::setConfiguredDelay(int seconds)
{
    m_main.state().lblSpin->setText(QString::number(seconds));
}

void ShowLink::setTimerEnabled(bool enabled)
{
    FPliki->Timer11->setEnabled(enabled);
    // No screen saver while a show runs; it may blank the screen again once the show stops or ends.
    platform::screenSaver().setHeld(enabled);
}

void ShowLink::setTimerInterval(std::uint32_t milliseconds)
{
    FPliki->Timer11->setInterval(milliseconds);
}

void ShowLink::closeShow()
{
    // Each window stores its position as it closes.
    FFotka->close();
    FPismo->Memo1->clearText();
    FPismo->close();
}

void ShowLink::selectFirstSilently()
{
    if (FPliki->FLBox1->entryCount() > 0)
        FPliki->FLBox1->selectIndex(0);
}

void ShowLink::selectFirstEntry()
{
    // By its full path, so the restart does not depend on the working directory; the list writes the name
    // into its companion edit, whose change prepares the next sound.
    FileListBox* list = FPliki->FLBox1;
    list->SetListPath(list->entryPath(0).toText());
}

void ShowLink::showNext()
{
    m_main.nextPicture();
}

void ShowLink::openBox(ShowBox kind, const QString& text)
{
    platform::BoxText shown(text);
    platform::BoxText* const outer = m_openBox;
    m_openBox = &shown;
    try {
        platform::dialogs().showChanging(
            kind == ShowBox::Error ? platform::ChangingBox::Error : platform::ChangingBox::Report, shown);
    } catch (...) {
        m_openBox = outer;
        throw;
    }
    m_openBox = outer;
}

void ShowLink::setOpenBoxText(const QString& text)
{
    if (m_openBox)
        m_openBox->setText(text);
}

} // namespace viewer
