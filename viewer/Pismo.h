#pragma once

#include "description_field.h"
#include "viewer_state.h"

#include <QWidget>

/**
 * The description window: no title bar, a sizing frame, and the description field `Memo1` filling it. It
 * takes its geometry, font and colour from the viewer state when it opens at a positive position, and
 * stores its geometry there when it closes.
 */
class TFPismo : public QWidget {
public:
    explicit TFPismo(viewer::MainLink& main);
    ~TFPismo() override;

    viewer::DescriptionField* Memo1;

    void FormShow();
    void FormClose();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    viewer::MainLink& m_main;
};
