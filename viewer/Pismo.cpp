#include "Pismo.h"

#include "description_field.h"
#include "viewer_state.h"

#include "platform/errors.h"
#include "platform/guard.h"
#include "platform/sizing_frame.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {
// The sizing frame's width around the description field.
constexpr int kFrameWidth = 4;
} // namespace

TFPismo::TFPismo(viewer::MainLink& main)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint)
    , Memo1(new viewer::DescriptionField(this))
    , m_main(main)
{
    setObjectName(QStringLiteral("FPismo"));
    setWindowTitle(QStringLiteral("Opis obrazu"));
    setAccessibleName(QStringLiteral("Opis obrazu"));
    setGeometry(390, 574, 637, 122);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setAccessibleName(QStringLiteral("Pole opisu"));
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QPalette palette = Memo1->palette();
    palette.setColor(QPalette::Base, Qt::black);
    palette.setColor(QPalette::Text, Qt::white);
    Memo1->setPalette(palette);
    QFont font(QStringLiteral("MS Sans Serif"), 10);
    font.setBold(true);
    Memo1->setFont(font);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kFrameWidth, kFrameWidth, kFrameWidth, kFrameWidth);
    layout->addWidget(Memo1);
    new platform::SizingFrame(this, kFrameWidth);
    m_main.attachPopupMenu(this);
}

TFPismo::~TFPismo() = default;

void TFPismo::FormShow()
{
    const viewer::ViewerState& state = m_main.state();
    if (platform::toInt(state.lblLewa->text()) <= 0 || platform::toInt(state.lblTop->text()) <= 0)
        return;
    // Every value is converted before any is applied, so a bad one leaves the window where it was.
    const QRect geometry(platform::toInt(state.lblLewa->text()), platform::toInt(state.lblTop->text()),
        platform::toInt(state.lblSzer->text()), platform::toInt(state.lblWys->text()));
    move(geometry.topLeft());
    resize(geometry.size());
    const QPalette kolor = state.pnlKolor->palette();
    setFieldLook(state.pnlKolor->font(), kolor.color(QPalette::Window), kolor.color(QPalette::WindowText));
}

void TFPismo::setFieldLook(const QFont& font, const QColor& background, const QColor& text)
{
    Memo1->setFont(font);
    QPalette palette = Memo1->palette();
    palette.setColor(QPalette::Base, background);
    palette.setColor(QPalette::Text, text);
    Memo1->setPalette(palette);
    m_ownLook = true;
}

QColor TFPismo::fieldColour() const
{
    return Memo1->palette().color(QPalette::Base);
}

QColor TFPismo::fieldTextColour() const
{
    return Memo1->palette().color(QPalette::Text);
}

void TFPismo::FormClose()
{
    // A window that has not been on the screen in this run has no position of its own: storing its design
    // position would replace the one the settings file gave.
    if (!m_shown)
        return;
    viewer::ViewerState& state = m_main.state();
    state.lblLewa->setText(QString::number(pos().x()));
    state.lblTop->setText(QString::number(pos().y()));
    state.lblSzer->setText(QString::number(width()));
    state.lblWys->setText(QString::number(height()));
}

void TFPismo::showEvent(QShowEvent* event)
{
    m_shown = true;
    if (!event->spontaneous())
        platform::guarded([this] { FormShow(); });
    QWidget::showEvent(event);
}

void TFPismo::closeEvent(QCloseEvent* event)
{
    platform::guarded([this] { FormClose(); });
    event->accept();
}
