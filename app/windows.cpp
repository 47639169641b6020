#include "windows.h"

#include "Main.h"

#include "help/help.h"
#include "platform/audio_output.h"
#include "platform/dialogs.h"
#include "platform/screen_saver.h"
#include "search/SzukaAll.h"
#include "viewer/Fotka.h"
#include "viewer/Pismo.h"
#include "viewer/Pliki.h"

#include <QApplication>

namespace app {

void createWindows()
{
    FMain = new TFMain;
    FFotka = new TFFotka(*FMain);
    FPismo = new TFPismo(*FMain);
    FPliki = new TFPliki(*FMain);
    FSzukaAll = new TFSzukaAll(*FMain);
    Fhelp = new TFhelp;
}

void destroyWindows()
{
    // The folder chooser leaves the main window enabled, so the program can be ended under it: its handler still
    // runs inside the chooser's loop and uses the windows when the loop returns. Cancel the dialogs first and free
    // the windows once their loops have returned.
    if (platform::dialogOpen()) {
        platform::cancelOpenDialogs();
        QMetaObject::invokeMethod(qApp, &destroyWindows, Qt::QueuedConnection);
        return;
    }
    // The show has stopped with the main window; the screen saver is let go before the program ends.
    platform::releaseScreenSaver();
    delete Fhelp;
    delete FSzukaAll;
    delete FPliki;
    delete FPismo;
    delete FFotka;
    delete FMain;
    // The file list window has closed both players with itself; the sound output goes last.
    platform::shutdownAudioOutput();
}

} // namespace app
