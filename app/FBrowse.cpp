#include "FBrowse.h"

#include "platform/dialogs.h"

TFolderBrowse::TFolderBrowse(QObject* parent)
    : QObject(parent)
{
}

bool TFolderBrowse::Execute(QWidget* owner)
{
    const std::optional<QString> chosen = platform::dialogs().chooseFolder(owner, Title, Directory);
    if (!chosen)
        return false;
    // A confirmed choice that has no file-system path gives no directory.
    Directory = *chosen;
    return !chosen->isEmpty();
}
