#pragma once

#include "platform/errors.h"
#include "store/picture.h"

#include <QByteArray>

#include <cstdlib>

/**
 * What every writer does with a picture it keeps: the bytes in front of the marker (with a header field a layer
 * corrects), the marker and a description. Aborts when the layer changes the bytes' length, or when what it keeps
 * loads again as another picture; a layer may refuse with AppError.
 */
template <typename Load> void checkKeptForDescription(const store::Picture& picture, const QByteArray& bytes, Load load)
{
    QByteArray head;
    try {
        head = picture.headForDescription(bytes);
    } catch (const platform::AppError&) {
        return;
    }
    if (head.size() != bytes.size())
        std::abort();
    try {
        if (load(head + "@||@opis")->size() != picture.size())
            std::abort();
    } catch (const platform::AppError&) {
        // A picture the description makes unreadable is refused by the writer's own read-back.
    }
}
