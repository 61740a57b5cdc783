// Turns what a terminal sends (or what a Windows console reports) into getch-style
// keys. Pure: no I/O and no clock of its own, so every rule is testable anywhere.
#pragma once

#include "gensample/console_keys.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string_view>

namespace gensample {

// One key. An ordinary key carries its character byte; an extended key carries the
// code that ReadKeyCode gives after the 0.
struct DecodedKey {
  std::uint8_t code = 0;
  bool extended = false;

  friend bool operator==(const DecodedKey&, const DecodedKey&) = default;
};

// Extended codes, after the PC scan-code convention where it has one.
namespace extcode {
inline constexpr std::uint8_t AltR = StopKeyCode;
inline constexpr std::uint8_t ShiftTab = 15;
inline constexpr std::uint8_t F1 = 59;  // F1..F10 are 59..68
inline constexpr std::uint8_t F11 = 133;
inline constexpr std::uint8_t F12 = 134;
inline constexpr std::uint8_t Home = 71;
inline constexpr std::uint8_t Up = 72;
inline constexpr std::uint8_t PageUp = 73;
inline constexpr std::uint8_t Left = 75;
inline constexpr std::uint8_t Center = 76;  // keypad 5
inline constexpr std::uint8_t Right = 77;
inline constexpr std::uint8_t End = 79;
inline constexpr std::uint8_t Down = 80;
inline constexpr std::uint8_t PageDown = 81;
inline constexpr std::uint8_t Insert = 82;
inline constexpr std::uint8_t Delete = 83;
// Alt with a key the PC convention has no code for.
inline constexpr std::uint8_t AltOther = 0xFE;
// A control sequence we do not know, or one cut off or too long.
inline constexpr std::uint8_t Unknown = 0xFF;
}  // namespace extcode

// Byte-stream decoder for POSIX terminals. Bytes may arrive split anywhere; a
// partial sequence is held until later bytes complete it or until no byte has come
// for EscapeTimeoutMs, when it is read as what was typed so far (a lone ESC is then
// the Escape key). Timestamps are milliseconds on any monotonic clock.
//
// Rules:
//   ESC r, ESC R, and the 8-bit bytes 0xF2 / 0xD2        -> extended 19 (Alt+R)
//     (0xF2 / 0xD2 directly followed by a UTF-8 continuation byte is a UTF-8
//      character instead, so typing e.g. Cyrillic never stops a run)
//   C3 B2 / C3 92 (U+00F2 / U+00D2 in UTF-8)                  -> extended 19 (Alt+R)
//     (xterm's Alt+R in a UTF-8 locale without metaSendsEscape; C3 with any other
//      byte after it is the ordinary key C3, then that byte decoded afresh)
//   ESC [ params intermediates final (CSI), ESC O x (SS3) -> one extended key:
//     arrows 72/80/75/77, Home 71, End 79, PgUp 73, PgDn 81, Ins 82, Del 83,
//     F1-F10 59-68, F11 133, F12 134, Shift+Tab 15, anything else 0xFF;
//     modifiers (e.g. Alt+Up = ESC [ 1 ; 3 A) keep the plain key's code.
//     Keypad keys in application mode (ESC O M, ESC O j..y) are ordinary keys.
//     Linux console ESC [ [ A..E -> F1-F5.
//     A sequence longer than MaxSequenceBytes is one key (0xFF); the rest of it
//     is swallowed without being stored.
//   ESC + other byte -> Alt with that key: PC code of letters (Alt+Q 16 ...),
//     digits (Alt+1 120 ... Alt+0 129), - 130, = 131, Enter 28, Backspace 14,
//     Tab 165, [ 26, ] 27, ; 39, ' 40, ` 41, \ 43, , 51, . 52, / 53; else 0xFE.
//   ESC ESC -> the first ESC is the Escape key alone (27); the second starts anew.
//   ESC cut off by another control byte mid-sequence -> the cut-off part is one key,
//     the interrupting byte is decoded afresh.
//   CR and LF -> 13; every other byte -> ordinary key with that byte value.
class KeyDecoder {
 public:
  static constexpr std::int64_t EscapeTimeoutMs = 40;
  static constexpr std::size_t MaxSequenceBytes = 32;  // ESC through final byte

  // Decodes bytes that arrived at nowMs. A held partial sequence whose time ran
  // out before these bytes came is settled first.
  void Feed(std::span<const std::uint8_t> bytes, std::int64_t nowMs);
  void Feed(std::string_view bytes, std::int64_t nowMs);

  // Settles a held partial sequence if no byte has come for EscapeTimeoutMs.
  void Expire(std::int64_t nowMs);

  bool HasKey() const { return !keys_.empty(); }
  std::optional<DecodedKey> Next();

  // True while a partial sequence waits for more bytes or its timeout.
  bool Holding() const { return state_ != State::Ground; }

 private:
  enum class State { Ground, Escape, Sequence, LinuxFunction, Overlong, MetaR, Utf8Lead };

  void Step(std::uint8_t byte);
  void Settle();  // reads a held partial sequence as what was typed so far
  void Emit(std::uint8_t code, bool extended) { keys_.push_back({code, extended}); }
  void EmitSequence(std::uint8_t finalByte);

  State state_ = State::Ground;
  std::uint8_t held_ = 0;  // introducer ('[' or 'O'), or the 8-bit Alt+R byte
  std::array<std::uint8_t, MaxSequenceBytes> params_{};
  std::size_t paramCount_ = 0;
  std::size_t sequenceBytes_ = 0;
  std::int64_t lastByteMs_ = 0;
  std::deque<DecodedKey> keys_;
};

// What a Windows console reports for a key-down event.
struct ConsoleKeyEvent {
  std::uint16_t virtualKey = 0;
  std::uint16_t scanCode = 0;
  std::uint8_t asciiChar = 0;
  std::uint32_t controlState = 0;
};

// Shift, Ctrl, Alt, Caps Lock, Num Lock and Scroll Lock make no key on their own.
bool IsModifierOnlyKey(std::uint16_t virtualKey);

// Windows key-down event -> key. Extended when there is no character, or left Alt
// is held, or the key is an enhanced one (arrows, ...); Enter stays 13 even from the
// keypad. With Alt held a letter's extended code is its scan code, so Alt with the
// key in R's place yields 19; no other key ever does.
DecodedKey DecodeConsoleKeyEvent(const ConsoleKeyEvent& event);

}  // namespace gensample
