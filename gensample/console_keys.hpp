// Keyboard access for the sampling loop: lets the user stop a long run with Alt+R
// without ever blocking the loop.
#pragma once

#include <cstdint>
#include <memory>

namespace gensample {

// Extended code of Alt+R (the PC scan code of the R key).
inline constexpr std::uint8_t StopKeyCode = 19;

// getch-style key source. ReadKeyCode yields one byte per call: a key carrying a
// character yields the character; an extended key (Alt held, arrows, function keys,
// ...) yields 0 and, on the next call, its extended code. Enter yields 13.
class ConsoleKeys {
 public:
  virtual ~ConsoleKeys();

  // True when ReadKeyCode would return at once. Never waits.
  virtual bool KeyAvailable() = 0;

  // Next key code; waits for a key if none is available.
  virtual std::uint8_t ReadKeyCode() = 0;
};

inline ConsoleKeys::~ConsoleKeys() = default;

// Keys of the process's console. When standard input is not a console the object
// never reports a key and never reads standard input, so piped input stays for the
// program (its ReadKeyCode returns 0 at once rather than wait for ever). While a console object lives the console is in
// single-key, no-echo mode; its destructor puts the console back as it was and discards keys not yet read. Only one
// object may live at a time: a second call while one lives throws std::logic_error.
std::unique_ptr<ConsoleKeys> OpenConsoleKeys();

// One poll of the sampling loop. Takes at most one key (both codes of an extended
// key) and returns true exactly when that key was Alt+R. Other keys are consumed
// and ignored; without a waiting key it returns false at once.
inline bool TakeStopKey(ConsoleKeys& keys) {
  if (!keys.KeyAvailable()) {
    return false;
  }
  if (keys.ReadKeyCode() != 0) {
    return false;
  }
  return keys.ReadKeyCode() == StopKeyCode;
}

}  // namespace gensample
