#include "Pliki.h"

#include "Fotka.h"
#include "Pismo.h"
#include "description_field.h"
#include "file_listing.h"
#include "viewer_state.h"

#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/guard.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

int ShowEndIndex = 0;

TFPliki::TFPliki(viewer::MainLink& main)
    : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint)
    , FLBox1(new viewer::FileListBox(this))
    , Edit1(new QLineEdit(this))
    , lblMuz(new QLabel(this))
    , Timer11(new QTimer(this))
    , m_main(main)
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
    Edit1->setText(viewer::kDefaultMask.toString());
    Edit1->hide();
    lblMuz->setObjectName(QStringLiteral("lblMuz"));
    lblMuz->setAccessibleName(QStringLiteral("Dźwięk obrazu"));
    lblMuz->hide();
    Timer11->setObjectName(QStringLiteral("Timer11"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(FLBox1);

    FLBox1->setCompanionEdit(Edit1);
    m_main.attachPopupMenu(this);
    m_main.attachPopupMenu(FLBox1);
    FLBox1->installEventFilter(this);

    connect(FLBox1, &viewer::FileListBox::chosen, this, platform::guard([this] { FLBox1Click(); }));
    connect(Edit1, &QLineEdit::textChanged, this, platform::guard([this] { Edit1Change(); }));

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
        state.lblPlik->setText(FLBox1->directory() + QLatin1Char('/') + CurrentName);
        // No block length belongs to the new current file until its read succeeds.
        state.lblKasuj->setText(QString());
        CurrentPath = state.lblPlik->text();
        PlayPictureSound();
        m_main.setCounter(index, FLBox1->entryCount());
        const qint64 blockLength = FFotka->ReadPictureFile(state.lblPlik->text(), *FPismo->Memo1);
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
        return true;
    } catch (...) {
        platform::dialogs().error(
            QStringLiteral("Błąd! - Nie mogę załadowac pliku ") + CurrentName + QStringLiteral(" jako obrazu"));
        return false;
    }
}

void TFPliki::PrepareNextSound()
{
    m_main.setShowDelaySeconds(platform::toInt(m_main.state().lblSpin->text()));
    const int count = FLBox1->entryCount();
    if (count == 0)
        return;
    const int selected = FLBox1->selectedIndex();
    NextName = FLBox1->entry(selected + 1 >= count ? 0 : selected + 1);
}

void TFPliki::PlayPictureSound()
{
    // Pictures show without their sounds for now: the sound player is not part of this window yet.
}

void TFPliki::Edit1Change()
{
    PrepareNextSound();
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
    LastIndex = FLBox1->entryCount() - 1;
    m_main.setCounter(FLBox1->selectedIndex(), FLBox1->entryCount());
    ShowEndIndex = LastIndex;
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
    // Closing stops the sounds once the sound players live here.
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
