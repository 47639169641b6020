#pragma once

#include <QObject>

class QWidget;

namespace platform {

/**
 * A sizing frame for a window without a title bar: the window's outer `width` pixels (its contents margins)
 * start a system resize from the edge or corner under the pointer, and show the matching pointer shape.
 */
class SizingFrame : public QObject {
public:
    SizingFrame(QWidget* window, int width);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    [[nodiscard]] Qt::Edges edgesAt(const QPoint& where) const;

    QWidget* m_window;
    int m_width;
};

} // namespace platform
