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
    /** The state of the file these bytes are. */
    platform::FileIdentity identity;
};

[[noreturn]] void changedSinceShown(const QString& path)
{
    throw platform::AppError(QStringLiteral("Plik %1 zmienił się od chwili pokazania - pokaż go ponownie.")
                                 .arg(platform::displayFileName(QFileInfo(path).fileName())));
}

CurrentFile readUnchanged(const QString& path, qint64 shownBlockLength)
{
    std::optional<platform::FileIdentity> identity;
    const QByteArray bytes = platform::readWholeFile(path, identity);
    if (!identity || store::blockLengthOf(bytes) != shownBlockLength)
        changedSinceShown(path);
    return {bytes, *identity};
}

/**
 * Shows the picture again; gives back whether the command may go on with the same picture. Otherwise `undo` runs
 * first; when the re-display failed it has reported that itself, and when it ended on another picture (a show tick
 * inside one of its boxes), this says that the description stayed as it was.
 */
bool showAgain(const QString& path, const std::function<void()>& undo = {})
{
    const bool shown = FPliki->ShowCurrentPicture();
    if (shown && FPliki->CurrentPath == path)
        return true;
    if (undo)
        undo();
    if (shown) {
        platform::dialogs().error(
            QStringLiteral("Opis pliku %1 pozostał bez zmian: w międzyczasie pokazano inny obraz.")
                .arg(platform::displayFileName(QFileInfo(path).fileName())));
    }
    return false;
}

/**
 * While it lives, the picture window loads the file at `path`, as long as it has `identity`, from `bare`, the bytes
 * of `shown` without their block (see showBareFile()).
 */
class BareFileShown {
public:
    BareFileShown(
        const QString& path, const platform::FileIdentity& identity, const QByteArray& bare, const CurrentFile& shown)
    {
        FFotka->showBareFile(path, identity, bare, shown.identity);
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
    const QString path = FPliki->CurrentPath;
    if (stored.size() > kMaxDescriptionBytes)
        throw platform::AppError(QStringLiteral("Opis jest za długi (%1 bajtów); pole opisu mieści najwyżej %2.")
                                     .arg(stored.size())
                                     .arg(kMaxDescriptionBytes));
    const CurrentFile current = readUnchanged(path, blockLength);
    // The cut is made in memory: the file keeps its old bytes until the new ones are renamed over them, so that
    // whenever the program stops, and whenever the save does not end in its message, the old description is there.
    const QByteArray bare = store::withoutBlock(path, current.bytes, blockLength);
    platform::checkReplaceable(path);

    const BareFileShown showingBare(path, current.identity, bare, current);
    if (!showAgain(path))
        return;
    field.insertPlainText(text);
    field.viewport()->repaint();
    // The file's block is the one shown again as long as nothing is written, so the save can simply be run again.
    const auto notWritten = [&] { main.state().lblKasuj->setText(QString::number(blockLength)); };
    // The picture held must be the bare one from this state of the file, which must still be there to replace.
    if (!FFotka->showsFile(path, current.identity) || platform::identityOf(path) != current.identity) {
        notWritten();
        changedSinceShown(path);
    }
    bool written = false;
    try {
        // The text noted before the re-display, which the field holds again.
        written = FFotka->WritePictureFile(path, stored);
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
    const QString path = FPliki->CurrentPath;
    const CurrentFile current = readUnchanged(path, blockLength);
    platform::checkWritable(path);
    // One truncate: the file holds its old or its new bytes whenever the program stops. When the picture cannot be
    // shown again, or another one was shown meanwhile, the block goes back, and the command leaves the file as it was.
    store::stripDescriptionBlock(path, blockLength, current.bytes);
    // The cut file is what was read, less its block: when that is the picture shown, it is kept for the re-display.
    std::optional<BareFileShown> showingBare;
    if (const std::optional<platform::FileIdentity> cut = platform::identityOf(path);
        cut && FFotka->showsFile(path, current.identity))
        showingBare.emplace(path, *cut, current.bytes.first(current.bytes.size() - blockLength), current);
    (void)showAgain(path, [&] { store::restoreFile(path, current.bytes); });
}

} // namespace viewer
