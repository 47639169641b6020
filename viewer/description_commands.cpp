#include "description_commands.h"

#include "Fotka.h"
#include "Pismo.h"
#include "Pliki.h"
#include "description_field.h"
#include "viewer_state.h"

#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/file_io.h"
#include "platform/file_names.h"
#include "store/described_file.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>

#include <memory>

namespace viewer {

namespace {

/**
 * Makes the current picture the list's selected entry when the list still holds it: after the show's end or a
 * directory change the selection may be another file, and a re-display would then show that one.
 */
void selectCurrentPicture()
{
    FileListBox& list = *FPliki->FLBox1;
    const QString& path = FPliki->CurrentPath;
    const int selected = list.selectedIndex();
    if (selected >= 0 && QDir(list.directory()).filePath(list.entry(selected)) == path)
        return;
    const QFileInfo current(path);
    const int index = int(list.entries().indexOf(current.fileName()));
    if (path.isEmpty() || index < 0 || !list.isListDirectory(current.absolutePath())) {
        throw platform::AppError(
            QStringLiteral("Obraz %1 nie jest już na liście plików - pokaż go ponownie, a potem zmień opis.")
                .arg(platform::displayFileName(current.fileName())));
    }
    list.selectIndex(index);
}

/** The whole current file, once its block is known to be the one shown (lblKasuj). */
struct CurrentFile {
    QByteArray bytes;
    /** Whether the picture window shows the picture these bytes hold (it read this very state of the file). */
    bool shown = false;
};

CurrentFile readUnchanged(const QString& path, qint64 shownBlockLength)
{
    std::optional<platform::FileIdentity> identity;
    CurrentFile file {platform::readWholeFile(path, identity)};
    if (store::blockLengthOf(file.bytes) != shownBlockLength) {
        throw platform::AppError(QStringLiteral("Plik %1 zmienił się od chwili pokazania - pokaż go ponownie.")
                                     .arg(platform::displayFileName(QFileInfo(path).fileName())));
    }
    file.shown = identity && FFotka->showsFile(path, *identity);
    return file;
}

/**
 * Cuts the block off and shows the picture again. When the re-display fails (it reports its own error) or ends
 * on another picture, the file gets its block back; gives back whether the command may go on.
 */
bool stripAndShowAgain(const QString& path, qint64 blockLength, const CurrentFile& current)
{
    const QByteArray& original = current.bytes;
    store::stripDescriptionBlock(path, blockLength, original);
    // The cut leaves the very bytes the shown picture was read from: the re-display keeps it.
    if (current.shown) {
        if (const std::optional<platform::FileIdentity> cut = platform::identityOf(path))
            FFotka->keepShownPicture(path, *cut, original.first(original.size() - blockLength));
    }
    const bool shown = FPliki->ShowCurrentPicture();
    if (shown && FPliki->CurrentPath == path)
        return true;
    store::restoreFile(path, original);
    if (shown) {
        platform::dialogs().error(
            QStringLiteral("Opis pliku %1 pozostał bez zmian: w międzyczasie pokazano inny obraz.")
                .arg(platform::displayFileName(QFileInfo(path).fileName())));
    }
    return false;
}

/**
 * The file itself, held open, when it has further names (hard links). The save gives this name a new file and never
 * writes in place, so those names keep the old bytes: the cut goes back into the old file once the new one is in.
 */
std::unique_ptr<platform::File> heldForOtherNames(const QString& path)
{
    auto file = std::make_unique<platform::File>(path, platform::File::Mode::ReadWrite);
    return file->linkCount() > 1 ? std::move(file) : nullptr;
}

} // namespace

void saveDescription(MainLink& main)
{
    DescriptionField& field = *FPismo->Memo1;
    if (!field.modified()) {
        platform::dialogs().message(QStringLiteral("Pole opisu nie było modyfikowane - nie mam co zapisywać!"));
        return;
    }
    const QString text = field.text();
    if (!text.isEmpty()) {
        // Selected and copied as the edit copies, but with the text exactly as typed (no-break spaces kept).
        field.selectAll();
        QGuiApplication::clipboard()->setText(text);
    }
    const int blockLength = platform::toInt(main.state().lblKasuj->text());

    selectCurrentPicture();
    const QString path = FPliki->CurrentPath;
    const QByteArray stored = store::fieldTextToDescription(text);
    if (stored.size() > kMaxDescriptionBytes)
        throw platform::AppError(QStringLiteral("Opis jest za długi (%1 bajtów); pole opisu mieści najwyżej %2.")
                                     .arg(stored.size())
                                     .arg(kMaxDescriptionBytes));
    const CurrentFile current = readUnchanged(path, blockLength);
    const QByteArray& original = current.bytes;
    platform::checkReplaceable(path);
    const std::unique_ptr<platform::File> otherNames = heldForOtherNames(path);

    if (!stripAndShowAgain(path, blockLength, current))
        return;
    field.insertPlainText(text);
    field.viewport()->repaint();
    // The file gets its block back, and with it the block length shown, so that the save can simply be run again.
    const auto putBack = [&] {
        store::restoreFile(path, original);
        main.state().lblKasuj->setText(QString::number(blockLength));
    };
    bool written = false;
    try {
        // The text noted before the re-display, which the field holds again.
        written = FFotka->WritePictureFile(path, stored);
    } catch (...) {
        putBack();
        throw;
    }
    if (!written) {
        putBack();
        return;
    }
    main.state().lblKasuj->setText(QString::number(4 + stored.size()));
    if (otherNames && otherNames->linkCount() > 0)
        (void)store::putBackCut(*otherNames, original);
    // The saved text stays in view, as the user left it.
    if (!text.isEmpty())
        showWindow(FPismo);
    platform::dialogs().message(
        QStringLiteral("Zapisano do pliku   ") + platform::displayFileName(FPliki->CurrentName));
}

void deleteDescription(MainLink& main)
{
    if (FPismo->Memo1->text().isEmpty()) {
        platform::dialogs().message(QStringLiteral("Pole opisu puste - nie mam co kasować!"));
        return;
    }
    const int blockLength = platform::toInt(main.state().lblKasuj->text());
    selectCurrentPicture();
    const QString path = FPliki->CurrentPath;
    const CurrentFile current = readUnchanged(path, blockLength);
    platform::checkWritable(path);
    stripAndShowAgain(path, blockLength, current);
}

} // namespace viewer
