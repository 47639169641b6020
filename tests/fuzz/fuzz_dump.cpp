// Reads any bytes as a dump: no crash, and every record read writes back (in both formats) to a line that reads
// as the same record.
#include "interop/dump.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<interop::DumpLine> lines;
    try {
        lines = interop::readDump(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    } catch (const platform::AppError&) {
        return 0; // no dump at all
    }
    for (const interop::DumpLine& line : lines) {
        if (!line.record)
            continue;
        for (const auto format : {interop::DumpFormat::Tsv, interop::DumpFormat::JsonLines}) {
            const auto again
                = interop::readDump(interop::dumpHeader(format) + interop::formatRecord(*line.record, format));
            if (again.size() != 1 || again[0].record != line.record)
                std::abort();
        }
    }
    return 0;
}
