#include "FBrowse.h"

#include "platform/dialogs.h"
#include "platform/file_names.h"

TFolderBrowse::TFolderBrowse(QObject* parent)
    : QObject(parent)
{
}

bool TFolderBrowse::Execute(QWidget* owner)
{
    const std::optional<QString> chosen = platform::dialogs().chooseFolder(owner, Title, Directory);
    if (!chosen)
        return false;
    // The chooser reads every name as UTF-8 and puts U+FFFD for the bytes that are not: a path with such a name
    // along it is not the folder the user chose, and the folder's true name cannot be had from the chooser.
    if (chosen->contains(QChar::ReplacementCharacter)
        && !platform::isDirectory(platform::FilePath::fromText(*chosen))) {
        platform::dialogs().error(
            QStringLiteral("Nie mogę otworzyć wybranego katalogu: jego nazwa albo nazwa katalogu nad nim nie jest "
                           "zapisana w UTF-8 (pochodzi np. ze starego dysku lub archiwum), a okno wyboru katalogu "
                           "nie przekazuje takich nazw. Zmień nazwę katalogu i wybierz go ponownie.\r\n")
            + *chosen);
        return false;
    }
    // A confirmed choice that has no file-system path gives no directory.
    Directory = *chosen;
    return !chosen->isEmpty();
}
