#include "exiv2_setup.h"

#include <exiv2/exiv2.hpp>

#include <mutex>

namespace store {

void initialiseExiv2()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::XmpParser::initialize();
        // Exiv2 prints its warnings on stderr by default; every failure we care about reaches us as an exception.
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    });
}

} // namespace store
