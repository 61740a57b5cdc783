// The key source when standard input is not a console or terminal, shared by
// both platform back ends.
#pragma once

#include "gensample/console_keys.hpp"

namespace gensample {

// The console's one key object marks itself with a member of this class, so
// that OpenConsoleKeys can refuse a second while it lives.
class ConsoleClaim {
 public:
  ConsoleClaim() { held_ = true; }
  ~ConsoleClaim() { held_ = false; }
  ConsoleClaim(const ConsoleClaim&) = delete;
  ConsoleClaim& operator=(const ConsoleClaim&) = delete;

  static bool Held() { return held_; }

 private:
  static inline bool held_ = false;
};

// Reports no keys and leaves the input alone, so that piped input stays for the
// program's final wait for Enter.
class NoConsoleKeys final : public ConsoleKeys {
 public:
  NoConsoleKeys() = default;
  NoConsoleKeys(const NoConsoleKeys&) = delete;
  NoConsoleKeys& operator=(const NoConsoleKeys&) = delete;

  bool KeyAvailable() override { return false; }
  // Never called by TakeStopKey here; there is no key to give.
  std::uint8_t ReadKeyCode() override { return 0; }

 private:
  ConsoleClaim claim_;
};

}  // namespace gensample
