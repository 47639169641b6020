#include "Fotka.h"

#include "description_field.h"

#include "fit_window.h"
#include "viewer_state.h"

#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/guard.h"
#include "platform/screen.h"
#include "store/described_file.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {
// The most text the description field takes; a longer block (in practice a marker that lies inside a large
// picture's own data) is refused rather than laid out for minutes.
} // namespace

TFFotka::TFFotka(viewer::MainLink& main)
    : QWidget(nullptr, Qt::Tool)
    , Image11(new viewer::PictureView(nullptr))
    , m_scrollArea(new QScrollArea(this))
    , m_main(main)
{
    setObjectName(QStringLiteral("FFotka"));
    setWindowTitle(QString());
    setAccessibleName(QStringLiteral("Obraz"));
    setGeometry(228, 173, 234, 269);
    Image11->setObjectName(QStringLiteral("Image11"));
    Image11->setAccessibleName(QStringLiteral("Obraz"));
    m_scrollArea->setObjectName(QStringLiteral("FotkaScroll"));
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_scrollArea->setWidgetResizable(false);
    m_scrollArea->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_scrollArea->setWidget(Image11);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // The window takes exactly the picture's size, however small; scroll bars impose no minimum.
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    layout->addWidget(m_scrollArea);

    m_main.attachPopupMenu(this);
    m_main.attachPopupMenu(Image11);
}

TFFotka::~TFFotka() = default;

void TFFotka::showPicture(std::unique_ptr<store::Picture> picture, bool reportErrors)
{
    // Data that fails to decode still shows what decoded (or the backdrop), and the error is reported once;
    // the picture is held all the same, so its description can be shown, edited and saved.
    QString error;
    const QImage& image = picture->drawableImage(error);
    Image11->setImage(image);
    m_picture = std::move(picture);
    if (m_autoSize && isVisible())
        resize(Image11->size());
    if (!error.isEmpty() && reportErrors)
        platform::dialogs().report(error);
}

qint64 TFFotka::ReadPictureFile(const QString& path, viewer::DescriptionField& description)
{
    store::DescribedPicture read = store::readDescribedFile(path);
    showPicture(std::move(read.picture));
    if (read.description) {
        if (read.description->size() > viewer::kMaxDescriptionBytes)
            throw platform::AppError(
                QStringLiteral("Opis jest za długi dla pola opisu (%1 bajtów)").arg(read.description->size()));
        const QByteArray normalised = store::normaliseDescription(platform::asBytes(*read.description));
        // The field keeps its text (and its undo history) when it already shows this description.
        if (store::fieldTextToDescription(description.text()) != normalised)
            description.setProgramText(store::descriptionToFieldText(platform::asBytes(normalised)));
    }
    return read.blockLength;
}

bool TFFotka::WritePictureFile(const QString& path, const viewer::DescriptionField& description)
{
    return WritePictureFile(path, store::fieldTextToDescription(description.text()));
}

bool TFFotka::WritePictureFile(const QString& path, const QByteArray& description)
{
    if (!m_picture) {
        platform::dialogs().message(QStringLiteral("Trzeba załadowac grafikę..."));
        return false;
    }
    store::writeDescribedFile(path, *m_picture, description);
    return true;
}

void TFFotka::setAutoSize(bool on)
{
    m_autoSize = on;
    const Qt::ScrollBarPolicy policy = on ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
    m_scrollArea->setHorizontalScrollBarPolicy(policy);
    m_scrollArea->setVerticalScrollBarPolicy(policy);
}

void TFFotka::FitWindowToPicture()
{
    m_imageWidth = Image11->width();
    m_imageHeight = Image11->height();
    const std::optional<viewer::WindowFit> fit
        = viewer::fitWindowToPicture(QSize(m_imageWidth, m_imageHeight), platform::primaryScreenSize());
    if (fit) {
        setAutoSize(fit->autoSize);
        resize(fit->client);
        repaint();
    }
    // The picture is loaded once more from the current file, as after every fit.
    showPicture(store::readDescribedFile(m_main.state().lblPlik->text()).picture, false);
}

void TFFotka::FormShow()
{
    const viewer::ViewerState& state = m_main.state();
    const int left = platform::toInt(state.lblLewaFotka->text());
    const int top = platform::toInt(state.lblTopFotka->text());
    move(left, top);
    FitWindowToPicture();
}

void TFFotka::FormClose()
{
    // See TFPismo::FormClose: a window not yet shown keeps the stored position.
    if (!m_shown)
        return;
    viewer::ViewerState& state = m_main.state();
    state.lblLewaFotka->setText(QString::number(pos().x()));
    state.lblTopFotka->setText(QString::number(pos().y()));
}

void TFFotka::showEvent(QShowEvent* event)
{
    m_shown = true;
    if (!event->spontaneous())
        platform::guarded([this] { FormShow(); });
    QWidget::showEvent(event);
}

void TFFotka::closeEvent(QCloseEvent* event)
{
    platform::guarded([this] { FormClose(); });
    event->accept();
}
