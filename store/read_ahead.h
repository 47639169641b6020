#pragma once

#include "described_file.h"

#include "platform/file_io.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace store {

/**
 * One described picture read and decoded ahead of being shown: the thread kept for background work
 * (runInBackground) reads the file and, for a picture of two megapixels or more, starts its decoding in the
 * background (Picture::decodeInBackground). Whatever fails there
 * is dropped without a word; the caller then reads the file itself and reports what it finds. At most one picture is
 * held.
 */
class ReadAhead {
public:
    ReadAhead();
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;
    /** Hands the prepared picture (and the work still preparing it) over; the moved-from one holds none. */
    ReadAhead(ReadAhead&& other) noexcept;
    ReadAhead& operator=(ReadAhead&& other) noexcept;

    /**
     * Starts reading `path`, dropping what was prepared before. The picture is decoded from `firstRow` down
     * first, reduced as `reductionFor` says for its size (see Picture::setReduction; called on the reading thread);
     * `onProgress` runs on the decoding thread as rows arrive (see Picture::decodeInBackground).
     */
    void start(const platform::FilePath& path, int firstRow, std::function<void()> onProgress,
        std::function<int(QSize)> reductionFor = {});
    /** Drops the prepared picture, stopping its work. */
    void drop();
    /** The file being prepared; empty when none is. */
    [[nodiscard]] const platform::FilePath& path() const { return m_path; }
    /** Whether the file has been read (or its read has failed): take() will not wait. */
    [[nodiscard]] bool isRead() const;
    /** Whether, besides, the picture's decoding ahead has ended (or none was started). */
    [[nodiscard]] bool isDecoded() const;

    /**
     * The picture prepared for `path`, when the file is still the one that was read (same inode, size,
     * modification and change times); waits while it is still being read. A changed file or a read that failed
     * gives nothing and drops what was prepared; another path gives nothing and keeps it.
     */
    [[nodiscard]] std::optional<DescribedPicture> take(const platform::FilePath& path);

private:
    struct Work;
    std::unique_ptr<Work> m_work;
    platform::FilePath m_path;
};

} // namespace store
