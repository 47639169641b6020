#pragma once

#include "store/picture.h"

#include <QImage>
#include <QWidget>

namespace viewer {

/**
 * `Image11`: shows a picture at its natural size, from the top left corner, never stretched. It paints
 * straight from the decoded image, only the exposed part, so repainting a large picture costs little. A picture
 * still being decoded shows the rows decoded so far; the others show the backdrop until they arrive.
 */
class PictureView : public QWidget {
public:
    explicit PictureView(QWidget* parent);

    /** Shows `image` (shared, not copied) and takes its size. */
    void setImage(const QImage& image);
    /**
     * Shows `picture` while a worker decodes it: only the rows it names decoded are painted. The picture must
     * outlive this, or be let go first with stopFollowing().
     */
    void follow(const store::Picture& picture);
    /** Repaints the rows that arrived since the last look. */
    void rowsArrived();
    /** Keeps painting the rows decoded so far and no longer looks at the picture (which may go away). */
    void stopFollowing();
    [[nodiscard]] const store::Picture* followed() const { return m_followed; }

    [[nodiscard]] const QImage& image() const { return m_image; }

    /** How many times the picture was painted (benchmarks wait for the next one). */
    [[nodiscard]] quint64 paintCount() const { return m_paintCount; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    /** The rows that hold pixels, as far as this view knows. */
    [[nodiscard]] store::DecodedRows paintableRows();

    QImage m_image;
    const store::Picture* m_followed = nullptr;
    /** Rows known decoded; every row when the image is complete. */
    store::DecodedRows m_rows;
    quint64 m_paintCount = 0;
};

} // namespace viewer
