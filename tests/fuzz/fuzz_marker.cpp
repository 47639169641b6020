// Checks the marker search and the description field's normalisation against plain reference versions.
#include "store/described_file.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

namespace {

qint64 naiveFindMarker(const std::uint8_t* data, std::size_t size)
{
    for (std::size_t i = 0; i + 4 <= size; ++i) {
        if (data[i] == '@' && data[i + 1] == '|' && data[i + 2] == '|' && data[i + 3] == '@')
            return qint64(i);
    }
    return -1;
}

QByteArray naiveNormalise(const std::uint8_t* data, std::size_t size)
{
    QByteArray out;
    for (std::size_t i = 0; i < size && data[i] != 0; ++i) {
        if (data[i] == '\r' && i + 1 < size && data[i + 1] == '\n') {
            out += "\r\n";
            ++i;
        } else if (data[i] == '\r' || data[i] == '\n') {
            out += "\r\n";
        } else {
            out += char(data[i]);
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (store::findMarker({data, size}) != naiveFindMarker(data, size))
        std::abort();
    const QByteArray shown = store::normaliseDescription({data, size});
    if (shown != naiveNormalise(data, size))
        std::abort();
    // Normalising what is shown changes nothing more.
    if (store::normaliseDescription(platform::asBytes(shown)) != shown)
        std::abort();
    return 0;
}
