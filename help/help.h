#pragma once

#include <QByteArray>
#include <QDialog>
#include <QPointer>

#include <optional>

class QFrame;
class QTextEdit;

/**
 * The help window "Plik pomocy": a read-only, word-wrapping rich text view of "Zelkavio.rtf" from the
 * program's directory, or a built-in notice when there is none. Esc closes it whichever control has the
 * focus. Every real change of its size prepares the view again; the file is parsed anew only when its bytes
 * changed, and the view keeps its scroll position.
 */
class TFhelp : public QDialog {
public:
    TFhelp();
    ~TFhelp() override;

    QFrame* Panel1;
    QTextEdit* RichEdit1;

    /** The preparation: the view's modes, the paragraph indents, then the help file when there is one. */
    void FormShow();
    void FormResize() { FormShow(); }
    /** Esc closes the window; gives back whether the key was taken. */
    bool FormKeyDown(int key);
    /** The modal display always ends with the result OK. */
    void FormClose();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyIndents(bool wholeDocument);
    void loadHelpFile();

    /** The bytes the view shows, once a help file was loaded; none while it shows the built-in notice. */
    std::optional<QByteArray> m_shown;
    bool m_plainText = true;
};

extern QPointer<TFhelp> Fhelp;
