// Profile files: any bytes load, read and edit without crashing, and an edit always reads back as written.
#include "platform/profile_file.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    platform::ProfileFile profile = platform::ProfileFile::fromBytes(bytes);
    (void)profile.read("Kolor", "Planszy", "8421504");
    (void)profile.read("s", "k", "d", 16);

    profile.setValue("Kolor", "Planszy", "255");
    profile.setValue("nowa", "klucz", "warto\xB6\xE6");
    if (profile.read("Kolor", "Planszy", "x") != "255" || profile.read("NOWA", "KLUCZ", "x") != "warto\xB6\xE6")
        std::abort();

    // What is saved loads back to the same content.
    const platform::ProfileFile reloaded = platform::ProfileFile::fromBytes(profile.bytes());
    if (reloaded.bytes() != profile.bytes() || reloaded.read("kolor", "planszy", "x") != "255")
        std::abort();

    profile.removeKey("Kolor", "Planszy");
    profile.removeSection("nowa");
    (void)profile.bytes();
    return 0;
}
