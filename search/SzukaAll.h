#pragma once

#include <QPointer>
#include <QWidget>

/** The phrase search window "Szukanie": a sizeable tool window, created hidden at start-up. */
class TFSzukaAll : public QWidget {
public:
    TFSzukaAll();
    ~TFSzukaAll() override;
};

extern QPointer<TFSzukaAll> FSzukaAll;
