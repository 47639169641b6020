#pragma once

#include "store/picture.h"

#include <QImage>
#include <QWidget>

#include <optional>

namespace viewer {

/**
 * `Image11`: shows a picture from the top left corner, at its natural size (one picture pixel on one device pixel,
 * whatever the screen's scale) or at the size it is given, smoothly scaled. It paints straight from the decoded
 * image, only the exposed part, so repainting a large picture costs little. A picture still being decoded shows the
 * rows decoded so far; the others show the backdrop until they arrive.
 */
class PictureView : public QWidget {
public:
    explicit PictureView(QWidget* parent);

    /** Shows `image` (shared, not copied). */
    void setImage(const QImage& image);
    /**
     * The size the picture is shown at, in device pixels (the image's own size when not given), and the device pixels
     * per unit of the screen it is shown on (the view's own when 0). The view takes the shown size over the ratio,
     * rounded up; the last row or column of a fractional ratio's rounding shows the backdrop.
     */
    void setShownSize(std::optional<QSize> pixels, double ratio = 0);
    [[nodiscard]] QSize shownSize() const;
    /**
     * Shows `picture` while a worker decodes it: only the rows it names decoded are painted. The picture must
     * outlive this, or be let go first with stopFollowing().
     */
    void follow(const store::Picture& picture);
    /** Repaints the rows that arrived since the last look. */
    void rowsArrived();
    /** Paints the rows decoded so far, keeps them, and no longer looks at the picture (which may go away). */
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
    /** Takes the size the picture is shown at. */
    void takeShownSize();
    /** The complete image averaged down to the shown size, when it is shrunk to less than half; else null. */
    const QImage& smoothImage();
    [[nodiscard]] double ratio() const;
    /** The view's rectangle that shows image rows [from, to). */
    [[nodiscard]] QRectF rowsInView(int from, int to) const;

    QImage m_image;
    /** m_image scaled to the shown size with area averaging, when bilinear drawing would alias. */
    QImage m_smooth;
    bool m_smoothDue = false;
    std::optional<QSize> m_shown;
    double m_ratio = 0;
    const store::Picture* m_followed = nullptr;
    /** Rows known decoded; every row when the image is complete. */
    store::DecodedRows m_rows;
    quint64 m_paintCount = 0;
};

} // namespace viewer
