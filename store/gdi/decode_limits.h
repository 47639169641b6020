#pragma once

#include <QtGlobal>

namespace store {

/** Pictures whose decoded image would be larger than this are refused when they are loaded. */
inline constexpr qint64 kMaxDecodedBytes = qint64(1) << 30;

} // namespace store
