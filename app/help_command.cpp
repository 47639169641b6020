// The help menu's first command: the help window, fresh each time.

#include "Main.h"

#include "help/help.h"

namespace {

/** Frees the help window when the command ends, however it ends, unless something freed it already. */
class OwnedHelp {
public:
    OwnedHelp()
        : m_window(new TFhelp)
    {
    }
    ~OwnedHelp() { delete m_window.data(); }
    OwnedHelp(const OwnedHelp&) = delete;
    OwnedHelp& operator=(const OwnedHelp&) = delete;

    [[nodiscard]] TFhelp* get() const { return m_window; }

private:
    QPointer<TFhelp> m_window;
};

} // namespace

void TFMain::mnuFAQClick()
{
    // The help is modal to every window, so the command cannot normally come twice; if it does, the open
    // window is the answer.
    if (Fhelp && Fhelp->isVisible()) {
        Fhelp->raise();
        Fhelp->activateWindow();
        return;
    }
    // The window made at start-up was never shown; the fresh one takes its place.
    delete Fhelp.data();
    const OwnedHelp window;
    Fhelp = window.get();
    window.get()->setWindowModality(Qt::ApplicationModal);
    window.get()->exec();
}
