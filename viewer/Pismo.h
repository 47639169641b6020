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
    /** Stores the geometry into the viewer state; a window never shown in this run has none to store. */
    void FormClose();

    /** Gives the field its font and colours (background, text) and notes that it has a look of its own. */
    void setFieldLook(const QFont& font, const QColor& background, const QColor& text);
    /** Whether the field has taken a look since start-up; until then it shows its initial black and white. */
    [[nodiscard]] bool hasOwnLook() const { return m_ownLook; }
    [[nodiscard]] QColor fieldColour() const;
    [[nodiscard]] QColor fieldTextColour() const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    viewer::MainLink& m_main;
    bool m_ownLook = false;
    bool m_shown = false;
};
