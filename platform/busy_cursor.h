#pragma once

namespace platform {

/** Shows the hourglass pointer for its lifetime, on every path out of a long command. */
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace platform
