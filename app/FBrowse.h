#pragma once

#include <QObject>
#include <QString>

class QWidget;

/**
 * The folder chooser: shows `Title`, preselects `Directory` when it is not empty, accepts only directories,
 * and gives back the chosen directory's full path in `Directory`.
 */
class TFolderBrowse : public QObject {
public:
    explicit TFolderBrowse(QObject* parent);

    QString Directory;
    QString Title;

    /**
     * Runs the chooser, modal to `owner`. True when a directory path was obtained; `Directory` then holds it.
     * Cancelled, or a folder whose path the chooser cannot give exactly (a name that is not UTF-8; an error box
     * says so): false, `Directory` unchanged.
     */
    bool Execute(QWidget* owner);
};
