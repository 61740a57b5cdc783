// Console keys on a Windows console, read as input events so nothing waits and no
// console mode has to change.
#include "gensample/console_keys.hpp"
#include "gensample/key_decoder.hpp"
#include "gensample/no_console_keys.hpp"

#include <cstdint>
#include <stdexcept>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace gensample {

namespace {

class WindowsConsoleKeys final : public ConsoleKeys {
 public:
  explicit WindowsConsoleKeys(HANDLE input) : input_(input) {}
  ~WindowsConsoleKeys() override {
    // Drop unread keys, so a later "press Enter" really waits.
    FlushConsoleInputBuffer(input_);
  }
  WindowsConsoleKeys(const WindowsConsoleKeys&) = delete;
  WindowsConsoleKeys& operator=(const WindowsConsoleKeys&) = delete;

  bool KeyAvailable() override {
    if (held_) {
      return true;
    }
    // Take events off the queue until one is a key; the rest (key releases,
    // lone modifiers, mouse, focus, resize) mean nothing here.
    // A zero-timeout wait never blocks; Wine's terminal console only queues
    // key presses while the program waits on the input handle.
    (void)WaitForSingleObject(input_, 0);
    DWORD waiting = 0;
    while (GetNumberOfConsoleInputEvents(input_, &waiting) && waiting > 0) {
      INPUT_RECORD record{};
      DWORD got = 0;
      if (!ReadConsoleInputA(input_, &record, 1, &got) || got == 0) {
        return false;
      }
      if (record.EventType != KEY_EVENT) {
        continue;
      }
      const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
      if (!key.bKeyDown || IsModifierOnlyKey(key.wVirtualKeyCode)) {
        continue;
      }
      const DecodedKey decoded = DecodeConsoleKeyEvent({key.wVirtualKeyCode, key.wVirtualScanCode,
                                                        static_cast<std::uint8_t>(key.uChar.AsciiChar),
                                                        static_cast<std::uint32_t>(key.dwControlKeyState)});
      held_ = true;
      code_ = decoded.code;
      zeroDue_ = decoded.extended;
      return true;
    }
    return false;
  }

  std::uint8_t ReadKeyCode() override {
    while (!KeyAvailable()) {
      Sleep(1);
    }
    if (zeroDue_) {
      zeroDue_ = false;  // the key stays held for the next call
      return 0;
    }
    held_ = false;
    return code_;
  }

 private:
  HANDLE input_;
  ConsoleClaim claim_;
  bool held_ = false;     // a key found by KeyAvailable, not yet fully read
  bool zeroDue_ = false;  // its code must still be preceded by 0
  std::uint8_t code_ = 0;
};

}  // namespace

std::unique_ptr<ConsoleKeys> OpenConsoleKeys() {
  if (ConsoleClaim::Held()) {
    throw std::logic_error("OpenConsoleKeys: the console keys are already open");
  }
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (input == nullptr || input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode)) {
    return std::make_unique<NoConsoleKeys>();
  }
  return std::make_unique<WindowsConsoleKeys>(input);
}

}  // namespace gensample
