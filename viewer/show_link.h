#pragma once

#include "show_machine.h"

namespace platform {
class BoxText;
}

namespace viewer {

class MainLink;

/**
 * The automatic show's rules wired to the windows: the file list's selection, `lblSpin`, the bottom
 * panel's delay and repeat box through MainLink, `Timer11`, and the picture and description windows.
 */
class ShowLink : public ShowHost {
public:
    explicit ShowLink(MainLink& main)
        : m_main(main)
    {
    }

    [[nodiscard]] int selectedIndex() const override;
    [[nodiscard]] int ShowEndIndex() const override;
    [[nodiscard]] bool repeat() const override;
    [[nodiscard]] int nextDelay() const override;
    void setNextDelay(int seconds) override;
    [[nodiscard]] int configuredDelay() const override;
    void setConfiguredDelay(int seconds) override;
    void setTimerEnabled(bool enabled) override;
    void setTimerInterval(std::uint32_t milliseconds) override;
    void closeShow() override;
    void selectFirstSilently() override;
    void selectFirstEntry() override;
    void showNext() override;
    void openBox(ShowBox kind, const QString& text) override;
    void setOpenBoxText(const QString& text) override;

private:
    MainLink& m_main;
    /** The text of the box that openBox() holds open, if any. */
    platform::BoxText* m_openBox = nullptr;
};

} // namespace viewer
