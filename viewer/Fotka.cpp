#include "Fotka.h"

#include "cached_scroll_bar.h"
#include "description_field.h"

#include "fit_window.h"
#include "viewer_state.h"

#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/guard.h"
#include "platform/screen.h"
#include "store/background_work.h"
#include "store/described_file.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

/** Work that waits for the picture window's pending paint. */
class AfterPaintEvent : public QEvent {
public:
    explicit AfterPaintEvent(std::function<void()> work)
        : QEvent(type())
        , m_work(std::move(work))
    {
    }
    static QEvent::Type type()
    {
        static const auto registered = QEvent::Type(QEvent::registerEventType());
        return registered;
    }
    void run() const { m_work(); }

private:
    std::function<void()> m_work;
};

// A shrunk picture smaller than this decodes in a few milliseconds: it is shown whole once decoded.
constexpr qint64 kRowsAsTheyComePixels = 2'000'000;
// Milliseconds between two paints of rows that arrive from a worker.
constexpr qint64 kRowsPaintInterval = 30;

/** The start picture prepared before the picture window existed, and the window its worker reports to. */
std::unique_ptr<store::ReadAhead> g_startPicture;
std::atomic<TFFotka*> g_startPictureWindow {nullptr};

/** The reduction a picture of `size` decodes at when it is shown without zoom in the mode `fit`. */
std::function<int(QSize)> reductionFor(bool fit)
{
    return [screen = platform::primaryScreenSize(), ratio = platform::primaryScreenRatio(), fit](QSize size) {
        return viewer::decodeReduction(size, viewer::layoutPicture(size, screen, ratio, fit, {}).pixels);
    };
}

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
    // A new picture's size lays the bars out again, which repaints both whole.
    m_scrollArea->setHorizontalScrollBar(new viewer::CachedScrollBar(Qt::Horizontal));
    m_scrollArea->setVerticalScrollBar(new viewer::CachedScrollBar(Qt::Vertical));
    m_scrollArea->setWidget(Image11);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // The window takes exactly the picture's size, however small; scroll bars impose no minimum.
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    layout->addWidget(m_scrollArea);

    m_main.attachPopupMenu(this);
    m_main.attachPopupMenu(Image11);
    // The wheel over the picture reaches the viewport whether or not the picture takes it first.
    m_scrollArea->viewport()->installEventFilter(this);
    m_rowsPaintTimer.setSingleShot(true);
    connect(&m_rowsPaintTimer, &QTimer::timeout, this, [this] { decodingProgressed(); });
    if (g_startPicture) {
        m_readAhead = std::move(*g_startPicture);
        g_startPicture.reset();
        m_holdsStartPicture = true;
    }
    g_startPictureWindow = this;
}

void TFFotka::prepareStartPicture(const platform::FilePath& path, bool fit)
{
    // Its rows may arrive before the window exists: the window looks at them when it takes the picture.
    g_startPicture = std::make_unique<store::ReadAhead>();
    g_startPicture->start(
        path, 0,
        [] {
            if (TFFotka* window = g_startPictureWindow.load())
                window->postProgress();
        },
        reductionFor(fit));
}

TFFotka::~TFFotka()
{
    g_startPictureWindow = nullptr;
    // The workers stop before anything they report to goes away.
    store::waitForBackgroundWork();
    Image11->stopFollowing();
    m_readAhead.drop();
    m_picture.reset();
}

std::pair<int, int> TFFotka::rowsInView(int height) const
{
    if (!isVisible())
        return {0, 0};
    // A window that follows the picture's size shows all of it; a fitted one keeps its size and scroll position,
    // and its client area bounds what the scroll area shows. The scroll position counts in units of the desktop,
    // `height` in rows of the pixels decoded.
    if (m_autoSize)
        return {0, height};
    const int units = m_layout.units.height() > 0 ? m_layout.units.height() : height;
    const double rowsPerUnit = double(height) / units;
    const QScrollBar* bar = m_scrollArea->verticalScrollBar();
    const int shown = this->height();
    const int top = std::clamp(bar->value(), 0, std::max(0, units - shown));
    return {int(std::floor(top * rowsPerUnit)), std::min(height, int(std::ceil((top + shown) * rowsPerUnit)))};
}

viewer::PictureLayout TFFotka::layoutOf(const store::Picture& picture) const
{
    const double ratio = platform::primaryScreenRatio();
    // A drawing has no pixels of its own: it keeps its natural size in the desktop's units and is played at the
    // screen's resolution.
    const bool drawing = picture.format() == store::PictureFormat::Emf || picture.format() == store::PictureFormat::Wmf;
    const QSize pixels = drawing ? (QSizeF(picture.size()) * ratio).toSize() : picture.size();
    return viewer::layoutPicture(pixels, platform::primaryScreenSize(), ratio, fitMode(), m_zoom);
}

void TFFotka::showPicture(std::unique_ptr<store::Picture> picture, bool reportErrors)
{
    // A picture replaced before its decoding ended has not reported yet: when it is loaded again (the load after
    // a fit), this load reports in its place.
    if (m_picture && Image11->followed() == m_picture.get() && m_reportDecodingError)
        reportErrors = true;
    // The picture shown so far lets go of the view first; its worker then stops with it.
    Image11->stopFollowing();
    std::shared_ptr<store::Picture> old = std::move(m_picture);
    // One still decoding stops its worker now, which reports to this window.
    if (old && !old->decodingEnded())
        old.reset();
    // Another file drops the zoom; the window then fits itself to the new picture as the mode shows it.
    const bool zoomDropped = m_zoom && m_main.state().lblPlik->text() != m_zoomPath;
    if (zoomDropped)
        m_zoom.reset();
    m_picture = std::move(picture);
    m_reportDecodingError = reportErrors;
    // A picture shown smaller decodes only as many pixels as it needs, where its layer can.
    m_layout = layoutOf(*m_picture);
    m_picture->setReduction(viewer::decodeReduction(m_picture->size(), m_layout.pixels));
    // The view shares the old picture's pixels until it takes the new ones.
    auto oldPixels = std::make_shared<QImage>(Image11->image());
    decodeForView();
    if (zoomDropped)
        fitWindowToShownPicture();
    // Giving a large picture's memory back takes milliseconds: that happens beside the windows, once the new picture
    // is painted.
    afterPaint([old = std::move(old), oldPixels = std::move(oldPixels)]() mutable {
        store::releaseInBackground(std::move(old));
        store::releaseInBackground(std::move(oldPixels));
    });
}

void TFFotka::decodeForView()
{
    const int height = m_picture->decodedSize().height();
    auto [first, last] = rowsInView(height);
    // A photo shrunk to the window shows whole at once: its rows are painted as they come, as a large picture's
    // rows below the window are, rather than all at once after its decoding.
    const QSize natural = m_picture->size();
    if (first == 0 && last == height && natural != m_layout.pixels
        && qint64(natural.width()) * natural.height() >= kRowsAsTheyComePixels)
        last = 0;
    if (first > 0 || last < height)
        m_picture->decodeInBackground(first, [this] { postProgress(); });
    m_picture->waitForRows(first, last);
    Image11->setShownSize(m_layout.pixels, platform::primaryScreenRatio());
    // A view that follows this picture already paints the rows that arrived meanwhile.
    const bool followed = Image11->followed() == m_picture.get();
    if (followed)
        Image11->rowsArrived();
    if (m_picture->decodingEnded()) {
        decodingEnded();
    } else {
        if (!followed)
            Image11->follow(*m_picture);
        if (m_autoSize && isVisible())
            resize(Image11->size());
    }
}

void TFFotka::afterPaint(std::function<void()> work)
{
    // A widget's paint request is posted at low priority, and posted events of one priority are delivered in order.
    QCoreApplication::postEvent(this, new AfterPaintEvent(std::move(work)), Qt::LowEventPriority);
}

void TFFotka::customEvent(QEvent* event)
{
    if (event->type() == AfterPaintEvent::type())
        static_cast<AfterPaintEvent*>(event)->run();
    else
        QWidget::customEvent(event);
}

void TFFotka::postProgress()
{
    if (!m_progressPosted.exchange(true))
        QMetaObject::invokeMethod(
            this, [this] { decodingProgressed(); }, Qt::QueuedConnection);
}

void TFFotka::decodingProgressed()
{
    m_progressPosted = false;
    if (!m_picture || Image11->followed() != m_picture.get())
        return;
    // Rows are painted a few dozen times a second, not for every batch: each paint also costs the display server,
    // which shares the processors with the decoding. The last rows are painted at once.
    const bool ended = m_picture->decodingEnded();
    if (!ended && m_rowsPainted.isValid() && m_rowsPainted.elapsed() < kRowsPaintInterval) {
        if (!m_rowsPaintTimer.isActive())
            m_rowsPaintTimer.start(int(kRowsPaintInterval - m_rowsPainted.elapsed()));
        return;
    }
    m_rowsPaintTimer.stop();
    m_rowsPainted.start();
    Image11->rowsArrived();
    if (ended)
        decodingEnded();
}

void TFFotka::decodingEnded()
{
    // Data that fails to decode still shows what decoded (or the backdrop), and the error is reported once;
    // the picture is held all the same, so its description can be shown, edited and saved.
    Image11->stopFollowing();
    QString error;
    QImage image = m_picture->drawableImage(error);
    // A drawing is played again at the size it is shown at, sharp; a bitmap is scaled as it is painted.
    if (image.size() != m_layout.pixels) {
        if (QImage drawn = m_picture->drawnAt(m_layout.pixels); !drawn.isNull())
            image = std::move(drawn);
    }
    if (image.constBits() != Image11->image().constBits() || image.size() != Image11->image().size())
        Image11->setImage(image);
    if (m_autoSize && isVisible())
        resize(Image11->size());
    const bool report = !error.isEmpty() && m_reportDecodingError;
    m_reportDecodingError = false;
    // The next picture is read and decoded once this one is painted, so that the work does not compete with the paint.
    afterPaint([this] { startReadAhead(); });
    if (report)
        platform::guarded([&] { throw platform::AppError(error); });
}

void TFFotka::PrepareNextPicture(const platform::FilePath& path)
{
    m_nextPath = path;
    // While a picture decodes, its end starts the read-ahead; otherwise it starts once the picture shown is painted.
    if (!decoding())
        afterPaint([this] { startReadAhead(); });
}

void TFFotka::DropPreparedPicture()
{
    m_nextPath = {};
    // The start picture belongs to the list that start-up reads, until the first picture is shown.
    if (m_holdsStartPicture)
        return;
    m_readAhead.drop();
}

void TFFotka::setReadAhead(bool on)
{
    m_readAheadOn = on;
    if (!on)
        DropPreparedPicture();
}

void TFFotka::startReadAhead()
{
    if (!m_readAheadOn || m_nextPath.isEmpty() || m_nextPath == m_readAhead.path())
        return;
    const platform::FilePath path = std::exchange(m_nextPath, platform::FilePath());
    // The next picture is shown without zoom: at its natural size from the row at the top of a window that keeps
    // its size and scroll position, or from the top when it is shrunk to fit (the window then shows it whole).
    const bool fromScrolled = isVisible() && !m_autoSize && !fitMode() && !m_zoom;
    const int firstRow
        = fromScrolled ? int(m_scrollArea->verticalScrollBar()->value() * platform::primaryScreenRatio()) : 0;
    m_readAhead.start(
        path, firstRow, [this] { postProgress(); }, reductionFor(fitMode()));
}

void TFFotka::toggleFit()
{
    m_main.state().dopasuj = !m_main.state().dopasuj;
    m_zoom.reset();
    relayout({});
}

void TFFotka::zoom(bool in, std::optional<QPoint> anchor)
{
    if (!m_picture)
        return;
    m_zoom = viewer::nextZoomStep(m_layout.scale, in);
    m_zoomPath = m_main.state().lblPlik->text();
    relayout(anchor);
}

void TFFotka::relayout(std::optional<QPoint> anchor)
{
    if (!m_picture)
        return;
    QScrollBar* across = m_scrollArea->horizontalScrollBar();
    QScrollBar* down = m_scrollArea->verticalScrollBar();
    const QPoint offset(across->value(), down->value());
    const QWidget* viewport = m_scrollArea->viewport();
    const QPoint at = anchor.value_or(QPoint(viewport->width() / 2, viewport->height() / 2));
    const double from = m_layout.scale;
    m_layout = layoutOf(*m_picture);
    // Pixels decoded finer than needed serve a smaller picture as well; a larger one may need finer pixels.
    const int reduction = viewer::decodeReduction(m_picture->size(), m_layout.pixels);
    if (reduction < m_picture->reduction()) {
        Image11->stopFollowing();
        m_picture->setReduction(reduction);
        m_reportDecodingError = false; // reported when it was first decoded
        decodeForView();
    } else {
        Image11->setShownSize(m_layout.pixels, platform::primaryScreenRatio());
        // A drawing is played again at its new size.
        if (!Image11->followed())
            decodingEnded();
    }
    if (isVisible())
        fitWindowToShownPicture();
    across->setValue(viewer::anchoredOffset(offset.x(), at.x(), from, m_layout.scale, across->maximum()));
    down->setValue(viewer::anchoredOffset(offset.y(), at.y(), from, m_layout.scale, down->maximum()));
}

void TFFotka::fitWindowToShownPicture()
{
    if (const auto fit = viewer::fitWindowToPicture(Image11->size(), platform::primaryScreenSize())) {
        setAutoSize(fit->autoSize);
        resize(fit->client);
    }
}

bool TFFotka::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Wheel || watched != m_scrollArea->viewport())
        return QWidget::eventFilter(watched, event);
    const auto* wheel = static_cast<QWheelEvent*>(event);
    if (!(wheel->modifiers() & Qt::ControlModifier))
        return false;
    // A fine-grained wheel turns by less than a notch at a time: the turns add up to whole notches, one step each.
    const int turn = wheel->angleDelta().y();
    if ((turn > 0) != (m_wheelTurn > 0))
        m_wheelTurn = 0;
    m_wheelTurn += turn;
    const QPoint at = wheel->position().toPoint();
    platform::guarded([&] {
        for (; std::abs(m_wheelTurn) >= QWheelEvent::DefaultDeltasPerStep;
             m_wheelTurn -= (m_wheelTurn > 0 ? 1 : -1) * QWheelEvent::DefaultDeltasPerStep)
            zoom(m_wheelTurn > 0, at);
    });
    return true;
}

bool TFFotka::showsFile(const platform::FilePath& path, const platform::FileIdentity& identity) const
{
    return m_picture && m_pictureFile && m_pictureFile->path == path && m_pictureFile->identity == identity;
}

std::optional<platform::FileIdentity> TFFotka::shownState(const platform::FilePath& path) const
{
    if (!m_picture || !m_pictureFile || m_pictureFile->path != path)
        return std::nullopt;
    return m_pictureFile->identity;
}

void TFFotka::noteWritten(const platform::FilePath& path, const platform::FileIdentity& identity)
{
    setPictureFile(path, identity);
}

void TFFotka::showBareFile(const platform::FilePath& path, const platform::FileIdentity& identity,
    const QByteArray& bare, const platform::FileIdentity& shownFrom)
{
    m_bare = BareFile {FileState {path, identity}, bare, shownFrom};
}

const QByteArray* TFFotka::bareBytesOf(const platform::FilePath& path) const
{
    if (!m_bare || m_bare->file.path != path || platform::identityOf(path) != m_bare->file.identity)
        return nullptr;
    return &m_bare->bytes;
}

qint64 TFFotka::ReadPictureFile(const platform::FilePath& path, viewer::DescriptionField& description)
{
    // A save shows the picture without its block while the file still holds it. When the picture shown was read
    // from this very state of the file, its pixels are the bare picture's: it is neither read nor decoded again.
    if (const QByteArray* bare = bareBytesOf(path)) {
        if (!showsFile(path, m_bare->file.identity) && !showsFile(path, m_bare->shownFrom))
            showPicture(store::loadPicture(path, *bare));
        m_pictureFile = m_bare->file;
        return 0; // the bare bytes hold no marker
    }
    m_holdsStartPicture = false;
    std::optional<store::DescribedPicture> prepared = m_readAhead.take(path);
    store::DescribedPicture read = prepared ? std::move(*prepared) : store::readDescribedFile(path);
    showPicture(std::move(read.picture));
    setPictureFile(path, read.identity);
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

bool TFFotka::WritePictureFile(store::PictureTransaction& change, const QByteArray& description)
{
    if (!m_picture) {
        platform::dialogs().message(QStringLiteral("Trzeba załadowac grafikę..."));
        return false;
    }
    // The file now holds the picture shown, so the next save of it need not read and decode it again either.
    noteWritten(change.path(), change.writeDescription(description));
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
    const platform::FilePath path = platform::FilePath::fromText(m_main.state().lblPlik->text());
    if (const QByteArray* bare = bareBytesOf(path)) {
        showPicture(store::loadPicture(path, *bare), false);
        m_pictureFile = m_bare->file;
        return;
    }
    // The picture shown was read from the file as it is now: reading and decoding it again would only show it again,
    // later (its decoding would start afresh). Its decoding goes on; the rows the window now shows are waited for.
    if (const std::optional<platform::FileIdentity> identity = platform::identityOf(path);
        identity && showsFile(path, *identity)) {
        if (Image11->followed())
            decodeForView();
        return;
    }
    store::DescribedPicture read = store::readDescribedFile(path);
    showPicture(std::move(read.picture), false);
    // The description shown was read with the picture before: when the file changed since, what is shown no longer
    // belongs to one state of it, and no change may be made to it until it is shown again.
    if (read.identity != shownState(path))
        m_pictureFile.reset();
}

void TFFotka::setPictureFile(const platform::FilePath& path, const std::optional<platform::FileIdentity>& identity)
{
    m_pictureFile.reset();
    if (identity)
        m_pictureFile = FileState {path, *identity};
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
