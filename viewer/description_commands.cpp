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
#include "store/description_codec.h"
#include "store/picture_transaction.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>

#include <functional>
#include <optional>

namespace viewer {

namespace {

/**
 * Makes the current picture the list's selected entry when the list still holds it: after the show's end or a
 * directory change the selection may be another file, and a re-display would then show that one.
 */
void selectCurrentPicture()
{
    FileListBox& list = *FPliki->FLBox1;
    const platform::FilePath& path = FPliki->CurrentPath;
    const int selected = list.selectedIndex();
    if (selected >= 0 && list.entryPath(selected) == path)
        return;
    const int index = int(list.entries().indexOf(path.fileName().toText()));
    if (path.isEmpty() || index < 0 || !list.isListDirectory(path.folder())) {
        throw platform::AppError(
            QStringLiteral("Obraz %1 nie jest już na liście plików - pokaż go ponownie, a potem zmień opis.")
                .arg(path.fileName().display()));
    }
    list.selectIndex(index);
}

[[noreturn]] void changedSinceShown(const platform::FilePath& path)
{
    throw platform::AppError(
        QStringLiteral("Plik %1 zmienił się od chwili pokazania - pokaż go ponownie.").arg(path.fileName().display()));
}

/**
 * Reads the current file for a change. It must be in the very state its picture and description were shown from
 * (whoever else changed it, in whatever way), which also holds the block length shown.
 */
store::PictureTransaction readAsShown(const platform::FilePath& path, qint64 shownBlockLength)
{
    try {
        store::PictureTransaction change(path);
        change.requireIdentity(FFotka->shownState(path));
        if (change.blockLength() != shownBlockLength)
            changedSinceShown(path);
        return change;
    } catch (const platform::FileChangedError&) {
        changedSinceShown(path);
    }
}

/**
 * The field shows a description only up to a NUL byte, so saving what it shows would silently drop the bytes from
 * there on: such a save is refused. Deleting the description, or replacing it from the command line, still works.
 */
void refuseHiddenBytes(const store::PictureTransaction& change)
{
    const std::optional<QByteArray> stored = change.description();
    const qsizetype nul = stored ? stored->indexOf('\0') : -1;
    if (nul < 0)
        return;
    throw platform::AppError(
        QStringLiteral("Opis w pliku %1 zawiera znak NUL, a pole opisu pokazuje tekst tylko do niego: zapis usunąłby "
                       "zapisane dalej bajty, których pole nie pokazuje (jest ich %2). Opis można skasować albo "
                       "zastąpić poleceniem zelkavio-opis write.")
            .arg(change.path().fileName().display())
            .arg(stored->size() - nul));
}

/**
 * Shows the picture again; gives back whether the command may go on with the same picture. Otherwise `undo` runs
 * first; when the re-display failed it has reported that itself, and when it ended on another picture (a show tick
 * inside one of its boxes), this says that the description stayed as it was.
 */
bool showAgain(const platform::FilePath& path, const std::function<void()>& undo = {})
{
    const bool shown = FPliki->ShowCurrentPicture();
    if (shown && FPliki->CurrentPath == path)
        return true;
    if (undo)
        undo();
    if (shown) {
        platform::dialogs().error(
            QStringLiteral("Opis pliku %1 pozostał bez zmian: w międzyczasie pokazano inny obraz.")
                .arg(path.fileName().display()));
    }
    return false;
}

/**
 * While it lives, the picture window loads the file at `path`, as long as it has `identity`, from `bare`: the bytes
 * of the file in state `shownFrom` without their block (see TFFotka::showBareFile()).
 */
class BareFileShown {
public:
    BareFileShown(const platform::FilePath& path, const platform::FileIdentity& identity, const QByteArray& bare,
        const platform::FileIdentity& shownFrom)
    {
        FFotka->showBareFile(path, identity, bare, shownFrom);
    }
    ~BareFileShown() { FFotka->endBareFile(); }
    BareFileShown(const BareFileShown&) = delete;
    BareFileShown& operator=(const BareFileShown&) = delete;
};

} // namespace

void saveDescription(MainLink& main)
{
    DescriptionField& field = *FPismo->Memo1;
    if (!field.modified()) {
        platform::dialogs().message(QStringLiteral("Pole opisu nie było modyfikowane - nie mam co zapisywać!"));
        return;
    }
    const QString text = field.text();
    // A text the file cannot hold exactly is refused before anything changes, the field's selection included.
    const QByteArray stored = store::storedDescription(text);
    if (!text.isEmpty()) {
        // Selected and copied as the edit copies, but with the text exactly as typed (no-break spaces kept).
        field.selectAll();
        QGuiApplication::clipboard()->setText(text);
    }
    const int blockLength = platform::toInt(main.state().lblKasuj->text());

    selectCurrentPicture();
    const platform::FilePath path = FPliki->CurrentPath;
    if (stored.size() > kMaxDescriptionBytes)
        throw platform::AppError(QStringLiteral("Opis jest za długi (%1 bajtów); pole opisu mieści najwyżej %2.")
                                     .arg(stored.size())
                                     .arg(kMaxDescriptionBytes));
    store::PictureTransaction change = readAsShown(path, blockLength);
    refuseHiddenBytes(change);
    // The cut is made in memory: the file keeps its old bytes until the new ones are renamed over them, so that
    // whenever the program stops, and whenever the save does not end in its message, the old description is there.
    const QByteArray bare = change.pictureBytes();
    change.checkReplaceable();

    const BareFileShown showingBare(path, change.identity(), bare, change.identity());
    if (!showAgain(path))
        return;
    field.insertPlainText(text);
    field.viewport()->repaint();
    // The file's block is the one shown again as long as nothing is written, so the save can simply be run again.
    const auto notWritten = [&] { main.state().lblKasuj->setText(QString::number(blockLength)); };
    // The picture held must be the bare one from the state of the file that was read.
    if (!FFotka->showsFile(path, change.identity())) {
        notWritten();
        changedSinceShown(path);
    }
    bool written = false;
    try {
        // The text noted before the re-display, which the field holds again.
        written = FFotka->WritePictureFile(change, stored);
    } catch (const platform::FileChangedError&) {
        notWritten();
        changedSinceShown(path);
    } catch (...) {
        notWritten();
        throw;
    }
    if (!written) {
        notWritten();
        return;
    }
    main.state().lblKasuj->setText(QString::number(4 + stored.size()));
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
    const platform::FilePath path = FPliki->CurrentPath;
    store::PictureTransaction change = readAsShown(path, blockLength);
    // One truncate: the file holds its old or its new bytes whenever the program stops. When the picture cannot be
    // shown again, or another one was shown meanwhile, the block goes back, and the command leaves the file as it was.
    platform::FileIdentity cut;
    try {
        cut = change.stripDescriptionBlock();
    } catch (const platform::FileChangedError&) {
        changedSinceShown(path);
    }
    // The cut file is what was read, less its block: the picture shown, kept for the re-display.
    const qint64 end = change.bytes().size() - change.blockLength();
    const BareFileShown showingBare(path, cut, change.bytes().first(end), change.identity());
    (void)showAgain(path, [&] {
        if (change.blockLength() > 0)
            store::PictureTransaction::putBackBlock(path, cut, change.bytes().sliced(end));
    });
}

} // namespace viewer
