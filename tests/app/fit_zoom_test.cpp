#include "windows_fixture.h"

#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

using namespace Qt::StringLiterals;
using testing_support::WindowsTest;

namespace {

/** A key as the user may type it, and the scale of a 600 × 400 picture on a 320 × 240 screen it leads to. */
struct KeyStep {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    double scale;
};

} // namespace

TEST_F(WindowsTest, FitAndZoomKeysWorkInEveryViewerWindowAndSettingsRememberTheMode)
{
    platform::fakePrimaryScreenSize(QSize(320, 240)); // the largest client area is 300 × 210
    writePicture(u"a.jpg"_s, QSize(600, 400), Qt::blue, u"opis"_s);
    writePicture(u"b.jpg"_s, QSize(600, 400), Qt::green);
    openDirectory(pictureDir());
    FMain->mnuNastepny->trigger();
    ASSERT_EQ(FFotka->Image11->size(), QSize(600, 400));

    // Each key goes to whichever viewer window has the focus, the description field included.
    const QList<QWidget*> focused {FPismo->Memo1, FPliki->FLBox1, FFotka->Image11, FPismo->Memo1};
    const KeyStep steps[] = {{Qt::Key_0, Qt::ControlModifier, 0.5}, {Qt::Key_Plus, Qt::ControlModifier, 2.0 / 3},
        {Qt::Key_Equal, Qt::ControlModifier, 1}, {Qt::Key_Equal, Qt::ControlModifier | Qt::ShiftModifier, 1.5},
        {Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier, 2},
        {Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier, 1.5}, {Qt::Key_Minus, Qt::ControlModifier, 1},
        {Qt::Key_0, Qt::ControlModifier | Qt::KeypadModifier, 1}, {Qt::Key_0, Qt::ControlModifier, 0.5}};
    int i = 0;
    for (const KeyStep& step : steps) {
        QWidget* target = focused[i++ % focused.size()];
        target->activateWindow();
        target->setFocus();
        QTest::keyClick(target, step.key, step.modifiers);
        EXPECT_DOUBLE_EQ(FFotka->shownScale(), step.scale) << "step " << i;
        EXPECT_EQ(FFotka->Image11->size(), QSize(qRound(600 * step.scale), qRound(400 * step.scale))) << "step " << i;
    }
    // Fitted: the whole picture in a window of its shown size, without scroll bars, drawn smoothly from all of it.
    EXPECT_TRUE(state().dopasuj);
    EXPECT_EQ(FFotka->size(), QSize(300, 200));
    EXPECT_FALSE(FFotka->scrollArea()->horizontalScrollBar()->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([] { return !FFotka->decoding(); }, 5000));
    EXPECT_GT(FFotka->Image11->grab().toImage().pixelColor(299, 199).blue(), 240);

    // Ctrl+wheel over the picture zooms towards the pointer; the wheel alone does not zoom.
    const auto turn = [](Qt::KeyboardModifiers modifiers) {
        QWheelEvent wheel(
            QPointF(200, 150), QPointF(), QPoint(), QPoint(0, 120), Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(FFotka->scrollArea()->viewport(), &wheel);
    };
    turn(Qt::NoModifier);
    EXPECT_DOUBLE_EQ(FFotka->shownScale(), 0.5);
    for (int notch = 0; notch < 3; ++notch)
        turn(Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(FFotka->shownScale(), 1.5);
    EXPECT_EQ(FFotka->size(), QSize(300, 210));
    // The picture point under the pointer, (400, 300) of the picture, stays under it.
    EXPECT_NEAR(FFotka->scrollArea()->horizontalScrollBar()->value(), 600 - 200, 2);

    // Another picture keeps the mode and drops the zoom.
    FMain->mnuNastepny->trigger();
    EXPECT_DOUBLE_EQ(FFotka->shownScale(), 0.5);
    EXPECT_EQ(FFotka->size(), QSize(300, 200));

    // "Zapis ustawień" keeps the mode; the next start fits from the first picture.
    FMain->mnuZapisSetup->trigger();
    app::destroyWindows();
    app::createWindows();
    EXPECT_TRUE(FMain->pupDopasuj->isChecked());
    openDirectory(pictureDir());
    FMain->mnuNastepny->trigger();
    EXPECT_EQ(FFotka->Image11->size(), QSize(300, 200));
}
