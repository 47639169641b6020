#pragma once

#include <QImage>
#include <QWidget>

namespace viewer {

/**
 * `Image11`: shows a picture at its natural size, from the top left corner, never stretched. It paints
 * straight from the decoded image, only the exposed part, so repainting a large picture costs little.
 */
class PictureView : public QWidget {
public:
    explicit PictureView(QWidget* parent);

    /** Shows `image` (shared, not copied) and takes its size. */
    void setImage(const QImage& image);
    [[nodiscard]] const QImage& image() const { return m_image; }

    /** How many times the picture was painted (benchmarks wait for the next one). */
    [[nodiscard]] quint64 paintCount() const { return m_paintCount; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
    quint64 m_paintCount = 0;
};

} // namespace viewer
