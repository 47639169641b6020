// Feeds arbitrary bytes to the help view's reader: RTF (with the header put in front when it is missing, so
// every input reaches the parser) into the paragraph model, then into a QTextDocument laid out at a fixed width.
// Checks that no paragraph text holds a block boundary, which would split the document's blocks.
#include "help/rtf_document.h"
#include "help/rtf_reader.h"

#include <QAbstractTextDocumentLayout>
#include <QByteArray>
#include <QGuiApplication>
#include <QTextDocument>

#include <cstdint>
#include <cstdlib>

// Fontconfig keeps the patterns of every font it has matched for the life of the process; that is its cache,
// not a leak of ours.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Random font names make Qt warn about every fallback font; the warnings would only slow the fuzzer.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    new QGuiApplication(*argc, *argv); // the layout needs the font database; kept for the process
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!help::isRtf(platform::asBytes(bytes)))
        bytes.prepend("{\\rtf1 ");
    const help::RtfDocument rtf = help::readRtf(platform::asBytes(bytes));
    std::size_t blocks = 0;
    for (const help::RtfParagraph& paragraph : rtf.paragraphs) {
        ++blocks;
        for (const help::RtfRun& run : paragraph.runs) {
            if (run.text.isEmpty())
                std::abort(); // runs are never empty
        }
    }
    QTextDocument document;
    help::buildDocument(rtf, document, 96);
    if (std::size_t(document.blockCount()) != std::max<std::size_t>(blocks, 1))
        std::abort(); // one block per paragraph, no more
    document.setTextWidth(744);
    (void)document.documentLayout()->documentSize();
    return 0;
}
