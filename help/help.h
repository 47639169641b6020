#pragma once

#include <QPointer>
#include <QWidget>

/** The help window "Plik pomocy", created hidden at start-up. */
class TFhelp : public QWidget {
public:
    TFhelp();
    ~TFhelp() override;
};

extern QPointer<TFhelp> Fhelp;
