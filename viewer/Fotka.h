#pragma once

#include "viewer_state.h"

#include "picture_scale.h"
#include "picture_view.h"

#include "store/picture.h"
#include "store/picture_transaction.h"
#include "store/read_ahead.h"

#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace viewer {
class DescriptionField;
}
class QScrollArea;

/**
 * The picture window: a tool window with an empty caption that shows the current picture in `Image11`, at its
 * natural size (one picture pixel on one device pixel) or, in fit mode, a picture larger than the screen shrunk to
 * fit it, and zoomed by steps on request. It fits itself to the picture as shown each time it is shown after being
 * hidden: a picture smaller than the screen makes it follow every later picture's size, a larger one gives it
 * scroll bars; a change of mode or zoom fits it again.
 */
class TFFotka : public QWidget {
public:
    explicit TFFotka(viewer::MainLink& main);
    ~TFFotka() override;

    viewer::PictureView* Image11;

    /**
     * Loads the picture at `path` into Image11 and its description into `description`, and gives back the
     * description block length (0 without a marker). The file is read once. A picture that cannot be read or
     * decoded raises an error before anything changes; without a marker the field is left as it was, and a
     * field that already holds the text is not set again. A description longer than the field takes (16 MiB)
     * raises an error after the picture was replaced, leaving the field as it was.
     */
    qint64 ReadPictureFile(const platform::FilePath& path, viewer::DescriptionField& description);

    /**
     * Writes the held picture, the marker and `description` (stored bytes) into the file `change` read, through the
     * transaction: the picture's bytes as the file holds them in front of its block, which are the held picture's
     * as long as the file is in the state it was shown in. Gives back whether it wrote. Without a picture it shows
     * "Trzeba załadowac grafikę..." and leaves the file alone. The state the file is left in becomes the one shown.
     * Raises as store::PictureTransaction::writeDescription(), with the file as it was.
     */
    bool WritePictureFile(store::PictureTransaction& change, const QByteArray& description);

    /**
     * Reads and decodes the picture at `path` on a worker thread, to be shown next, once the current picture has
     * finished decoding; ReadPictureFile() takes it when it asks for that file and the file has not changed since.
     * Replaces what was prepared before. A failure is only found when the file is shown.
     */
    void PrepareNextPicture(const platform::FilePath& path);
    /**
     * Starts reading and decoding the picture at `path` (a full path, as the file list will name it) before the
     * windows exist, for a start that shows it at once: the picture window takes it when it first shows that file.
     * `fit`: the mode the settings hold.
     */
    static void prepareStartPicture(const platform::FilePath& path, bool fit);
    /** Drops the picture prepared ahead (the list now holds other files). */
    void DropPreparedPicture();
    /** Whether pictures are prepared ahead at all (benchmarks switch it off to measure the plain path). */
    void setReadAhead(bool on);
    /** The file prepared ahead and whether its read has ended (tests). */
    [[nodiscard]] const store::ReadAhead& readAhead() const { return m_readAhead; }
    /** Whether the shown picture's rows are still being decoded. */
    [[nodiscard]] bool decoding() const { return Image11->followed() != nullptr; }

    /**
     * Whether the picture shown was read from the file at `path` when the file had `identity`: the bytes in
     * front of that file's block are then the shown picture's.
     */
    [[nodiscard]] bool showsFile(const platform::FilePath& path, const platform::FileIdentity& identity) const;
    /**
     * The state of the file at `path` that the picture and description shown were read from; empty when they were
     * read from another file, or when the file changed while it was read or since (a later read found it changed).
     * The program's own writes set it to the state they leave the file in.
     */
    [[nodiscard]] std::optional<platform::FileIdentity> shownState(const platform::FilePath& path) const;
    /** Notes that the file at `path` is now in state `identity` by this program's own change, and shown so. */
    void noteWritten(const platform::FilePath& path, const platform::FileIdentity& identity);
    /**
     * Until endBareFile(), every load of `path` while the file still has `identity` takes `bare` (the file's bytes
     * without their description block) for the file's content, without reading it: a save shows the picture as it
     * will write it while the file keeps its old bytes until the one rename, and a delete shows the cut file without
     * reading it again. When the picture shown is the one read from the file in state `shownFrom` (showsFile()), it
     * is kept instead of being decoded again.
     */
    void showBareFile(const platform::FilePath& path, const platform::FileIdentity& identity, const QByteArray& bare,
        const platform::FileIdentity& shownFrom);
    void endBareFile() { m_bare.reset(); }

    /** Sizes the window to the picture for the primary screen's size, then loads the picture again. */
    void FitWindowToPicture();
    void FormShow();
    /** Stores the position into the viewer state; a window never shown in this run has none to store. */
    void FormClose();

    /** Whether pictures larger than the screen are fitted to it; the viewer state keeps it for the settings file. */
    [[nodiscard]] bool fitMode() const { return m_main.state().dopasuj; }
    /** Switches between natural size and fit and drops the zoom; the window fits itself to the picture as shown. */
    void toggleFit();
    /**
     * Shows the picture one zoom step larger (`in`) or smaller, keeping the picture point at `anchor` (a point of the
     * client area; its centre when not given) in place as far as scrolling allows. The zoom holds until another file
     * is shown.
     */
    void zoom(bool in, std::optional<QPoint> anchor = {});
    /** Picture pixels per device pixel of the picture as shown. */
    [[nodiscard]] double shownScale() const { return m_layout.scale; }

    [[nodiscard]] bool hasPicture() const { return m_picture != nullptr; }
    [[nodiscard]] bool autoSize() const { return m_autoSize; }
    [[nodiscard]] QScrollArea* scrollArea() const { return m_scrollArea; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void customEvent(QEvent* event) override;
    /** Ctrl+wheel over the picture zooms towards the pointer. */
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /**
     * Shows the picture as soon as the rows the window shows are decoded; the rest follows from a worker. A
     * decoding error is reported once, when it is found, unless `reportErrors` is false (a second load).
     */
    void showPicture(std::unique_ptr<store::Picture> picture, bool reportErrors = true);
    /** The first and the last row plus one of a picture `height` rows high that the window shows at once. */
    [[nodiscard]] std::pair<int, int> rowsInView(int height) const;
    /** Runs on the window's thread after rows arrived from the worker. */
    void decodingProgressed();
    /** The shown picture has been decoded (or failed): shows the result, reports, and starts the read-ahead. */
    void decodingEnded();
    /** For a worker: asks the window's thread to run decodingProgressed(), at most once pending. */
    void postProgress();
    /**
     * Runs `work` on the window's thread once the paint already asked for is done: it is posted behind the
     * paint's request, at the same low priority, so that neither competes with the paint. Runs soon when no paint
     * is pending.
     */
    void afterPaint(std::function<void()> work);
    void startReadAhead();
    /** How `picture` is shown in the present mode and zoom, on the primary screen. */
    [[nodiscard]] viewer::PictureLayout layoutOf(const store::Picture& picture) const;
    /** Decodes the held picture (again) for its layout: the rows the window shows first, the rest on a worker. */
    void decodeForView();
    /** Shows the held picture at its layout for the present mode and zoom, keeping the point at `anchor` in place. */
    void relayout(std::optional<QPoint> anchor);
    /** Sizes the window as FitWindowToPicture() does for the picture as shown, without loading it again. */
    void fitWindowToShownPicture();
    void setAutoSize(bool on);
    /** The bytes showBareFile() gave for `path`, when the file still has the identity given with them. */
    [[nodiscard]] const QByteArray* bareBytesOf(const platform::FilePath& path) const;
    /** Notes the file the picture shown was read from (nothing when it changed while it was read). */
    void setPictureFile(const platform::FilePath& path, const std::optional<platform::FileIdentity>& identity);

    /** A file at a path in one state (its identity). */
    struct FileState {
        platform::FilePath path;
        platform::FileIdentity identity;
    };

    QScrollArea* m_scrollArea;
    std::unique_ptr<store::Picture> m_picture;
    /** The file m_picture was read from, when it did not change while it was read. */
    std::optional<FileState> m_pictureFile;
    /** See showBareFile(). */
    struct BareFile {
        FileState file;
        QByteArray bytes;
        platform::FileIdentity shownFrom;
    };
    std::optional<BareFile> m_bare;
    /** Image11's size as FitWindowToPicture last measured it. */
    int m_imageWidth = 0;
    int m_imageHeight = 0;
    bool m_autoSize = false;
    /** How the held picture is shown. */
    viewer::PictureLayout m_layout;
    /** The zoom step and the file it was chosen for: showing another file drops it. */
    std::optional<double> m_zoom;
    QString m_zoomPath;
    /** Wheel turns with Ctrl held, not yet a whole notch. */
    int m_wheelTurn = 0;
    bool m_shown = false;
    /** Whether the decoding error of the picture still decoding is to be reported when it is found. */
    bool m_reportDecodingError = false;
    bool m_readAheadOn = true;
    /** Whether m_readAhead holds the start picture (prepareStartPicture()), which no reading of the list drops. */
    bool m_holdsStartPicture = false;
    /** The file to prepare once the shown picture is decoded. */
    platform::FilePath m_nextPath;
    store::ReadAhead m_readAhead;
    std::atomic<bool> m_progressPosted {false};
    /** When rows from a worker were last painted, and the paint of those that arrived since. */
    QElapsedTimer m_rowsPainted;
    QTimer m_rowsPaintTimer;
    viewer::MainLink& m_main;
};
