#pragma once

#include <QImage>
#include <QScrollBar>

namespace viewer {

/**
 * A scroll bar that keeps its last drawing and paints it again while nothing it shows has changed. A scroll area
 * raises both of its bars each time it lays them out (whenever a range changes), which repaints them whole; a
 * tall bar drawn afresh costs milliseconds. Under the mouse or while pressed it draws as any scroll bar does.
 */
class CachedScrollBar : public QScrollBar {
public:
    explicit CachedScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    /** What a drawing depends on, besides the style and palette. */
    struct Look {
        QSize size;
        qreal pixelRatio = 0;
        int minimum = 0;
        int maximum = 0;
        int pageStep = 0;
        int position = 0;
        int state = 0;
        Qt::LayoutDirection direction = Qt::LeftToRight;
        qint64 palette = 0;
        const void* style = nullptr;
        bool operator==(const Look&) const = default;
    };

    [[nodiscard]] QImage draw(const QStyleOptionSlider& option, qreal pixelRatio) const;

    Look m_look;
    QImage m_drawing;
};

} // namespace viewer
