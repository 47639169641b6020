#pragma once

#include "platform/bytes.h"

#include <QByteArray>
#include <QString>

/** The phrase search over the raw bytes of files, free of widgets. */
namespace search {

/**
 * A phrase looked for in raw bytes, picture data and description alike. Without regard to case only the
 * bytes "a" to "z" are folded onto "A" to "Z", in the phrase and in the data; every other byte matches only
 * itself. An empty phrase is never found.
 */
class PhraseMatcher {
public:
    PhraseMatcher(QByteArray phrase, bool matchCase);

    [[nodiscard]] bool foundIn(platform::ByteView bytes) const;
    /** The bytes a reader taking a file in pieces keeps from one piece for the next. */
    [[nodiscard]] qsizetype carry() const { return m_phrase.isEmpty() ? 0 : m_phrase.size() - 1; }

private:
    QByteArray m_phrase;
    bool m_matchCase;
};

/**
 * Whether the regular file `name` in the directory open as `directoryFd` holds the phrase, reading it in
 * pieces of constant size and stopping at the first occurrence. Anything but a regular file (a directory,
 * a pipe, a device) holds nothing. Raises IoError when the file cannot be opened or read.
 */
[[nodiscard]] bool fileContains(int directoryFd, const QString& name, const PhraseMatcher& matcher);

} // namespace search
