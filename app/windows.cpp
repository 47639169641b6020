#include "windows.h"

#include "Main.h"

#include "help/help.h"
#include "platform/audio_output.h"
#include "search/SzukaAll.h"
#include "viewer/Fotka.h"
#include "viewer/Pismo.h"
#include "viewer/Pliki.h"

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
