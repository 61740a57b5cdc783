// The key source when standard input is not a console or terminal, shared by
// both platform back ends.
#pragma once

#include "gensample/console_keys.hpp"

namespace gensample {

// Whether a ConsoleKeys object owns the console now; one at a time.  Set and
// cleared only by the objects themselves.
inline bool g_open = false;

// Reports no keys and leaves the input alone, so that piped input stays for the
// program's final wait for Enter.
class NoConsoleKeys final : public ConsoleKeys {
public:
    NoConsoleKeys() { g_open = true; }
    ~NoConsoleKeys() override { g_open = false; }
    NoConsoleKeys(const NoConsoleKeys&) = delete;
    NoConsoleKeys& operator=(const NoConsoleKeys&) = delete;

    bool KeyAvailable() override { return false; }
    // Never called by TakeStopKey here; there is no key to give.
    std::uint8_t ReadKeyCode() override { return 0; }
};

} // namespace gensample
