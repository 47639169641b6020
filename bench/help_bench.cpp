// The help view and the settings save.
//  - the shipped help file: read + parse + build the QTextDocument, against Qt's own setHtml of the same
//    document's HTML; the same with the layout at 744 px (a reload as the window shows it);
//  - a 1 MB RTF whose bulk is an 800 KB \pict group, whole and through the reader alone;
//  - the help window's preparation on a resize with an unchanged file (re-read, compare, indents), and Qt's
//    relayout of the view on a resize, apart;
//  - "Zapis ustawień" in the real windows, and a bare write + fsync of the same bytes (the fsync's share).
#include "app/Main.h"
#include "app/windows.h"
#include "help/help.h"
#include "help/help_file.h"
#include "help/rtf_document.h"
#include "help/rtf_reader.h"
#include "platform/dialogs.h"
#include "platform/program_dir.h"
#include "settings/settings_file.h"
#include "support/scripted_dialogs.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTextEdit>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

void ensureApplication()
{
    static bool created = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "help_bench";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
        platform::installDialogs(std::make_unique<testing_support::ScriptedDialogs>());
        return true;
    }();
    (void)created;
}

QString shippedHelp()
{
    return QStringLiteral(ZELKAVIO_SOURCE_DIR "/help/Zelkavio.rtf");
}

void BM_ShippedHelpReadParseBuild(benchmark::State& state)
{
    ensureApplication();
    QTextDocument document;
    for (auto _ : state) {
        const QByteArray bytes = *help::readHelpFile(shippedHelp());
        help::loadHelpText(platform::asBytes(bytes), document, 96);
        benchmark::DoNotOptimize(document.blockCount());
    }
}
BENCHMARK(BM_ShippedHelpReadParseBuild)->Unit(benchmark::kMicrosecond);

void BM_ShippedHelpQtSetHtml(benchmark::State& state)
{
    ensureApplication();
    QTextDocument source;
    help::loadHelpText(platform::asBytes(*help::readHelpFile(shippedHelp())), source, 96);
    const QString html = source.toHtml();
    QTextDocument document;
    for (auto _ : state) {
        document.setHtml(html);
        benchmark::DoNotOptimize(document.blockCount());
    }
}
BENCHMARK(BM_ShippedHelpQtSetHtml)->Unit(benchmark::kMicrosecond);

void BM_ShippedHelpReloadWithLayout744(benchmark::State& state)
{
    ensureApplication();
    QTextDocument document;
    for (auto _ : state) {
        const QByteArray bytes = *help::readHelpFile(shippedHelp());
        help::loadHelpText(platform::asBytes(bytes), document, 96);
        document.setTextWidth(744);
        benchmark::DoNotOptimize(document.documentLayout()->documentSize());
    }
}
BENCHMARK(BM_ShippedHelpReloadWithLayout744)->Unit(benchmark::kMicrosecond);

/** A 1 MB RTF whose bulk is an 800 KB \\pict group, the rest short Polish paragraphs. */
QByteArray oneMegabyteRtf()
{
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1250{\\fonttbl{\\f0\\fcharset238 Arial;}}\\f0 ";
    QByteArray hex;
    for (int i = 0; i < 800 * 1024 / 16; ++i)
        hex += "89504e470d0a1a0a\r\n"; // 16 hex digits and a line break, as writers wrap picture data
    rtf += "{\\pict\\pngblip " + hex.left(qsizetype {800} * 1024) + "}";
    while (rtf.size() < qsizetype {1024} * 1024)
        rtf += "Za\\'bf\\'f3\\'b3\\'e6 g\\'ea\\'9cl\\'b9 ja\\'9f\\'f1. {\\b pogrubione} i zwyk\\'b3e.\\par\r\n";
    rtf += "}";
    return rtf;
}

void BM_OneMegabyteRtfWithPicture(benchmark::State& state)
{
    ensureApplication();
    const QByteArray rtf = oneMegabyteRtf();
    state.counters["bytes"] = double(rtf.size());
    QTextDocument document;
    for (auto _ : state) {
        help::loadHelpText(platform::asBytes(rtf), document, 96);
        benchmark::DoNotOptimize(document.blockCount());
    }
}
BENCHMARK(BM_OneMegabyteRtfWithPicture)->Unit(benchmark::kMillisecond);

/** The same file through the reader alone, without the QTextDocument: the reader's share of the above. */
void BM_OneMegabyteRtfWithPictureReaderOnly(benchmark::State& state)
{
    const QByteArray rtf = oneMegabyteRtf();
    for (auto _ : state)
        benchmark::DoNotOptimize(help::readRtf(platform::asBytes(rtf)).paragraphs.size());
}
BENCHMARK(BM_OneMegabyteRtfWithPictureReaderOnly)->Unit(benchmark::kMillisecond);

/** A help window showing the shipped file from a program directory of its own. */
struct OpenHelp {
    QTemporaryDir dir;
    std::unique_ptr<TFhelp> window;
    OpenHelp()
    {
        ensureApplication();
        QFile::copy(shippedHelp(), dir.filePath(QStringLiteral("Zelkavio.rtf")));
        platform::setProgramDirectory(dir.path());
        window = std::make_unique<TFhelp>();
        window->show();
    }
    ~OpenHelp() { platform::setProgramDirectory(std::nullopt); }
};

void BM_HelpResizePreparationUnchangedFile(benchmark::State& state)
{
    OpenHelp help;
    for (auto _ : state)
        help.window->FormShow();
}
BENCHMARK(BM_HelpResizePreparationUnchangedFile)->Unit(benchmark::kMicrosecond);

void BM_HelpResizeQtRelayout(benchmark::State& state)
{
    OpenHelp help;
    int width = 744;
    for (auto _ : state) {
        width = width == 744 ? 700 : 744;
        help.window->resize(width, 415); // the preparation runs too (as measured above)
        benchmark::DoNotOptimize(help.window->RichEdit1->document()->documentLayout()->documentSize());
    }
}
BENCHMARK(BM_HelpResizeQtRelayout)->Unit(benchmark::kMicrosecond);

void BM_SaveSettingsCommand(benchmark::State& state)
{
    ensureApplication();
    QTemporaryDir dir;
    platform::setProgramDirectory(dir.path());
    app::createWindows();
    FMain->WriteSettings();
    for (auto _ : state)
        FMain->mnuZapisSetup->trigger();
    app::destroyWindows();
    platform::setProgramDirectory(std::nullopt);
}
BENCHMARK(BM_SaveSettingsCommand)->Unit(benchmark::kMicrosecond);

void BM_BareWriteAndFsyncOfTheSettingsBytes(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Zelkavio.ini"));
    settings::writeSettings(path, settings::Settings {});
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    const QByteArray native = QFile::encodeName(dir.filePath(QStringLiteral("bare.ini")));
    for (auto _ : state) {
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        benchmark::DoNotOptimize(::write(fd, bytes.constData(), std::size_t(bytes.size())));
        ::fsync(fd);
        ::close(fd);
    }
}
BENCHMARK(BM_BareWriteAndFsyncOfTheSettingsBytes)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
