// The settings menu of the main window: the four appearance commands and "Zapis ustawień".

#include "Main.h"

#include "platform/dialogs.h"
#include "settings/settings_file.h"
#include "viewer/Fotka.h"
#include "viewer/Pismo.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>

namespace {

/** The description look: font, background and text colour. */
struct Look {
    QFont font;
    QColor background;
    QColor text;
};

/**
 * The look the description field shows when it next opens: its own once it has taken one in this run, else
 * the one kept in `pnlKolor` (read from the settings file), which the field takes as it opens. Saving and the
 * dialogs start from this look, so a save right after start-up keeps what the file held.
 */
Look descriptionLook(const viewer::ViewerState& state)
{
    if (FPismo && FPismo->hasOwnLook())
        return {FPismo->Memo1->font(), FPismo->fieldColour(), FPismo->fieldTextColour()};
    const QPalette kolor = state.pnlKolor->palette();
    return {state.pnlKolor->font(), kolor.color(QPalette::Window), kolor.color(QPalette::WindowText)};
}

/** A colour as the settings file keeps it: opaque RGB. */
QColor storable(const QColor& colour)
{
    return settings::colourFromValue(settings::valueFromColour(colour));
}

/** Gives the field and `pnlKolor` the new look, then shows the description window, picture or not. */
void applyDescriptionLook(viewer::ViewerState& state, const Look& look)
{
    QPalette kolor = state.pnlKolor->palette();
    kolor.setColor(QPalette::Window, look.background);
    kolor.setColor(QPalette::WindowText, look.text);
    state.pnlKolor->setPalette(kolor);
    state.pnlKolor->setFont(look.font);
    if (!FPismo)
        return;
    FPismo->setFieldLook(look.font, look.background, look.text);
    FPismo->update();
    viewer::showWindow(FPismo);
}

} // namespace

settings::Settings TFMain::currentSettings() const
{
    const viewer::ViewerState& state = *GroupBox1;
    const Look look = descriptionLook(state);
    settings::Settings s;
    s.fotkaLeft = state.lblLewaFotka->text();
    s.fotkaTop = state.lblTopFotka->text();
    s.pismoLeft = state.lblLewa->text();
    s.pismoTop = state.lblTop->text();
    s.pismoWidth = state.lblSzer->text();
    s.pismoHeight = state.lblWys->text();
    s.screenColour = settings::valueFromColour(backdropColour());
    s.fieldColour = settings::valueFromColour(look.background);
    s.panelTextColour = settings::valueFromColour(panelTextColour());
    s.fontName = look.font.family();
    s.fontColour = settings::valueFromColour(look.text);
    s.fontSize = settings::wholePoints(look.font, logicalDpiY());
    s.fontStyle = settings::fontStyleOf(look.font);
    s.directory = state.lblDir->text();
    s.repeat = CheckRepetuj->isChecked();
    s.fit = state.dopasuj;
    return s;
}

void TFMain::WriteSettings()
{
    settings::writeSettings(currentSettings());
}

void TFMain::mnuZapisSetupClick()
{
    // Closing stores each window's geometry into the viewer state.
    if (FFotka)
        FFotka->close();
    if (FPismo)
        FPismo->close();
    WriteSettings();
    ReadSettings();
}

void TFMain::mnuKolor_EkranuClick()
{
    if (const std::optional<QColor> chosen = platform::dialogs().chooseColour(this, backdropColour())) {
        setBackdropColour(storable(*chosen));
        repaint();
    }
}

void TFMain::mnuKolorClick()
{
    Look look = descriptionLook(*GroupBox1);
    if (const std::optional<QColor> chosen = platform::dialogs().chooseColour(this, look.background)) {
        look.background = storable(*chosen);
        applyDescriptionLook(*GroupBox1, look);
    }
}

void TFMain::mnuFontyClick()
{
    Look look = descriptionLook(*GroupBox1);
    const platform::FontChoice initial {look.font, look.text};
    if (const std::optional<platform::FontChoice> chosen = platform::dialogs().chooseFont(this, initial)) {
        // What the field shows is exactly what a save keeps and a later start reads back.
        look.font = settings::storableFont(chosen->font, logicalDpiY());
        look.text = storable(chosen->colour);
        applyDescriptionLook(*GroupBox1, look);
    }
}

void TFMain::mnuLiteryClick()
{
    if (const std::optional<QColor> chosen = platform::dialogs().chooseColour(this, panelTextColour()))
        setPanelTextColour(storable(*chosen));
}
