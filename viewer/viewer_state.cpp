#include "viewer_state.h"

#include "Fotka.h"
#include "Pismo.h"
#include "Pliki.h"

#include <QColor>
#include <QFrame>
#include <QLabel>
#include <QWidget>

QPointer<TFFotka> FFotka;
QPointer<TFPismo> FPismo;
QPointer<TFPliki> FPliki;

namespace viewer {
namespace {
QLabel* stateLabel(QWidget* parent, const char* name, const QString& text, const QString& meaning)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAccessibleName(meaning);
    label->setAccessibleDescription(meaning);
    return label;
}
} // namespace

ViewerState::ViewerState(QWidget* parent)
    : QGroupBox(parent)
    , lblDir(stateLabel(this, "lblDir", QStringLiteral("lblDir"), QStringLiteral("Otwarty katalog")))
    , lblPlik(stateLabel(this, "lblPlik", QStringLiteral("lblPlik"), QStringLiteral("Bieżący plik")))
    , lblKasuj(stateLabel(this, "lblKasuj", QStringLiteral("lblKasuj"), QStringLiteral("Długość bloku opisu")))
    , lblSpin(stateLabel(this, "lblSpin", QStringLiteral("002"), QStringLiteral("Czas pokazu")))
    , lblCzas2(stateLabel(this, "lblCzas2", QStringLiteral("lblCzas2"), QStringLiteral("Długość następnego dźwięku")))
    , lblLewa(stateLabel(this, "lblLewa", QStringLiteral("010"), QStringLiteral("Lewa krawędź okna opisu")))
    , lblTop(stateLabel(this, "lblTop", QStringLiteral("632"), QStringLiteral("Górna krawędź okna opisu")))
    , lblSzer(stateLabel(this, "lblSzer", QStringLiteral("630"), QStringLiteral("Szerokość okna opisu")))
    , lblWys(stateLabel(this, "lblWys", QStringLiteral("122"), QStringLiteral("Wysokość okna opisu")))
    , lblLewaFotka(stateLabel(this, "lblLewaFotka", QStringLiteral("010"), QStringLiteral("Lewa krawędź okna obrazu")))
    , lblTopFotka(stateLabel(this, "lblTopFotka", QStringLiteral("020"), QStringLiteral("Górna krawędź okna obrazu")))
    , pnlKolor(new QFrame(this))
{
    setObjectName(QStringLiteral("GroupBox1"));
    setAccessibleName(QStringLiteral("Stan przeglądarki"));
    pnlKolor->setObjectName(QStringLiteral("pnlKolor"));
    pnlKolor->setAccessibleName(QStringLiteral("Kolor i czcionka opisów"));
    QPalette palette = pnlKolor->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, QColor(255, 255, 0));
    pnlKolor->setPalette(palette);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(14);
    font.setBold(true);
    pnlKolor->setFont(font);
    // Nothing of the state is ever seen.
    setVisible(false);
}

void showWindow(QWidget* window)
{
    window->show();
    window->raise();
}

QString counterText(int selectedIndex, int count)
{
    return QString::number(selectedIndex + 1) + QStringLiteral(" / ") + QString::number(count);
}

} // namespace viewer
