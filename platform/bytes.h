#pragma once

#include <QByteArray>

#include <cstdint>
#include <span>
#include <string_view>

namespace platform {

/** A read-only view of raw file bytes. */
using ByteView = std::span<const std::uint8_t>;

[[nodiscard]] inline ByteView asBytes(const QByteArray& data)
{
    return {reinterpret_cast<const std::uint8_t*>(data.constData()), static_cast<std::size_t>(data.size())};
}

[[nodiscard]] inline ByteView asBytes(std::string_view data)
{
    return {reinterpret_cast<const std::uint8_t*>(data.data()), data.size()};
}

[[nodiscard]] inline QByteArray toByteArray(ByteView bytes)
{
    return {reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())};
}

/** Little-endian readers; the caller has checked that the bytes are there. */
[[nodiscard]] inline std::uint16_t readLe16(ByteView b, std::size_t at)
{
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

[[nodiscard]] inline std::uint32_t readLe32(ByteView b, std::size_t at)
{
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8)
        | (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

[[nodiscard]] inline std::int32_t readLe32s(ByteView b, std::size_t at)
{
    return static_cast<std::int32_t>(readLe32(b, at));
}

[[nodiscard]] inline std::int16_t readLe16s(ByteView b, std::size_t at)
{
    return static_cast<std::int16_t>(readLe16(b, at));
}

} // namespace platform
