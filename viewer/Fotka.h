#pragma once

#include "viewer_state.h"

#include "picture_view.h"

#include "store/picture.h"

#include <QString>
#include <QWidget>

#include <memory>

namespace viewer {
class DescriptionField;
}
class QScrollArea;

/**
 * The picture window: a tool window with an empty caption that shows the current picture at its natural
 * size in `Image11`. It fits itself to the picture each time it is shown after being hidden: a picture
 * smaller than the screen makes it follow every later picture's size, a larger one gives it scroll bars.
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
    qint64 ReadPictureFile(const QString& path, viewer::DescriptionField& description);

    /**
     * Replaces the file at `path` with the held picture, the marker and the field's text; gives back whether
     * it wrote. Without a picture it shows "Trzeba załadowac grafikę..." and leaves the file alone. The
     * replacement is atomic: a failure raises IoError and leaves the old file whole.
     */
    bool WritePictureFile(const QString& path, const viewer::DescriptionField& description);
    /** The same with the description's stored bytes already made. */
    bool WritePictureFile(const QString& path, const QByteArray& description);

    /** Sizes the window to the picture for the primary screen's size, then loads the picture again. */
    void FitWindowToPicture();
    void FormShow();
    /** Stores the position into the viewer state; a window never shown in this run has none to store. */
    void FormClose();

    [[nodiscard]] bool hasPicture() const { return m_picture != nullptr; }
    [[nodiscard]] bool autoSize() const { return m_autoSize; }
    [[nodiscard]] QScrollArea* scrollArea() const { return m_scrollArea; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    /** Shows the picture; a decoding error is reported unless `reportErrors` is false (a second load). */
    void showPicture(std::unique_ptr<store::Picture> picture, bool reportErrors = true);
    void setAutoSize(bool on);

    QScrollArea* m_scrollArea;
    std::unique_ptr<store::Picture> m_picture;
    /** Image11's size as FitWindowToPicture last measured it. */
    int m_imageWidth = 0;
    int m_imageHeight = 0;
    bool m_autoSize = false;
    bool m_shown = false;
    viewer::MainLink& m_main;
};
