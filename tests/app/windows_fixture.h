#pragma once

#include "app/Main.h"
#include "app/windows.h"
#include "help/help.h"
#include "platform/cp1250.h"
#include "platform/dialogs.h"
#include "platform/program_dir.h"
#include "platform/screen.h"
#include "search/SzukaAll.h"
#include "support/jpeg_builder.h"
#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"
#include "support/widget_application.h"
#include "viewer/Fotka.h"
#include "viewer/Pismo.h"
#include "viewer/Pliki.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace testing_support {

/** The six real windows, created as the program creates them, with scripted dialogs and a faked screen. */
class WindowsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureWidgetApplication(); }

    void SetUp() override
    {
        m_oldDirectory = QDir::currentPath();
        // The file list starts in the working directory: an empty one.
        QDir::setCurrent(m_start.path(QString()));
        auto dialogs = std::make_unique<testing_support::ScriptedDialogs>();
        m_dialogs = dialogs.get();
        platform::installDialogs(std::move(dialogs));
        platform::fakePrimaryScreenSize(QSize(1280, 1024));
        // The settings and help files are looked up in a folder of the test's own.
        platform::setProgramDirectory(programDir());
        app::createWindows();
        m_main = FMain;
    }

    void TearDown() override
    {
        m_helpCloser.reset();
        app::destroyWindows();
        platform::installDialogs(nullptr);
        platform::fakePrimaryScreenSize(std::nullopt);
        platform::setProgramDirectory(std::nullopt);
        QDir::setCurrent(m_oldDirectory);
    }

    /**
     * Closes the help window as soon as it is on the screen: F1 shows it modally and returns only once it is
     * closed. Stays armed until the test ends.
     */
    void closeHelpWhenOpen()
    {
        m_helpCloser = std::make_unique<QTimer>();
        m_helpCloser->setInterval(0);
        QObject::connect(m_helpCloser.get(), &QTimer::timeout, [] {
            if (Fhelp && Fhelp->isVisible())
                Fhelp->close();
        });
        m_helpCloser->start();
    }

    /** The program's directory in this test, where "Zelkavio.ini" and "Zelkavio.rtf" are looked up. */
    [[nodiscard]] QString programDir() const { return QDir::cleanPath(m_program.path(QString())); }

    /** Writes a JPEG of one colour, optionally with a described block "@||@" + Windows-1250 text. */
    QString writePicture(const QString& name, QSize size = QSize(40, 30), QColor colour = Qt::red,
        const std::optional<QString>& description = std::nullopt)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        QByteArray bytes = encodeJpeg(image);
        if (description)
            bytes += "@||@" + platform::cp1250::encode(*description);
        return m_pictures.write(name, bytes);
    }

    [[nodiscard]] QString pictureDir() const { return QDir(m_pictures.path(QString())).absolutePath(); }

    /** Opens `directory` as the remembered directory is opened. */
    void openDirectory(const QString& directory)
    {
        FMain->GroupBox1->lblDir->setText(directory);
        FMain->mnuPodkatalogClick();
    }

    [[nodiscard]] QStringList dialogTexts(testing_support::DialogRecord::Kind kind) const
    {
        QStringList texts;
        for (const testing_support::DialogRecord& record : m_dialogs->records()) {
            if (record.kind == kind)
                texts << record.text;
        }
        return texts;
    }

    [[nodiscard]] viewer::ViewerState& state() const { return *FMain->GroupBox1; }
    [[nodiscard]] QString memoText() const { return FPismo->Memo1->document()->toRawText(); }

    std::unique_ptr<QTimer> m_helpCloser;
    TempDir m_program;
    TempDir m_start;
    TempDir m_pictures;
    testing_support::ScriptedDialogs* m_dialogs = nullptr;
    QPointer<TFMain> m_main;
    QString m_oldDirectory;
};

} // namespace testing_support
