#include "gensample/key_decoder.hpp"

namespace gensample {

namespace {

constexpr std::uint8_t Esc = 0x1B;
constexpr std::uint8_t Enter = 13;
constexpr std::uint8_t Utf8AltRLead = 0xC3;  // first byte of U+00C0..U+00FF in UTF-8

bool IsParameterOrIntermediate(std::uint8_t b) { return b >= 0x20 && b <= 0x3F; }
bool IsFinal(std::uint8_t b) { return b >= 0x40 && b <= 0x7E; }
bool IsUtf8Continuation(std::uint8_t b) { return b >= 0x80 && b <= 0xBF; }

// PC code of Alt with the key that sends byte c.
std::uint8_t AltCode(std::uint8_t c) {
  // Letter rows of the PC keyboard and the scan code of each row's first key.
  struct Row {
    std::string_view letters;
    std::uint8_t first;
  };
  static constexpr Row rows[] = {{"qwertyuiop", 16}, {"asdfghjkl", 30}, {"zxcvbnm", 44}};
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
    const char lower = static_cast<char>(c | 0x20);
    for (const Row& row : rows) {
      const auto at = row.letters.find(lower);
      if (at != std::string_view::npos) {
        return static_cast<std::uint8_t>(row.first + at);
      }
    }
  }
  if (c >= '1' && c <= '9') {
    return static_cast<std::uint8_t>(120 + (c - '1'));
  }
  switch (c) {
    case '0':
      return 129;
    case '-':
      return 130;
    case '=':
      return 131;
    case '\r':
    case '\n':
      return 28;
    case 0x7F:
    case 0x08:
      return 14;
    case '\t':
      return 165;
    case '[':
      return 26;
    case ']':
      return 27;
    case ';':
      return 39;
    case '\'':
      return 40;
    case '`':
      return 41;
    case '\\':
      return 43;
    case ',':
      return 51;
    case '.':
      return 52;
    case '/':
      return 53;
    default:
      return extcode::AltOther;
  }
}

// Code of ESC [ n ~ (VT220-style editing and function keys).
std::uint8_t TildeCode(unsigned n) {
  switch (n) {
    case 1:
    case 7:
      return extcode::Home;
    case 2:
      return extcode::Insert;
    case 3:
      return extcode::Delete;
    case 4:
    case 8:
      return extcode::End;
    case 5:
      return extcode::PageUp;
    case 6:
      return extcode::PageDown;
    case 23:
      return extcode::F11;
    case 24:
      return extcode::F12;
    default:
      break;
  }
  if (n >= 11 && n <= 15) {
    return static_cast<std::uint8_t>(extcode::F1 + (n - 11));
  }
  if (n >= 17 && n <= 21) {
    return static_cast<std::uint8_t>(extcode::F1 + 5 + (n - 17));
  }
  return extcode::Unknown;
}

// Final bytes shared by CSI and SS3 forms (cursor keys, Home/End, F1-F4).
std::uint8_t CursorCode(std::uint8_t finalByte) {
  switch (finalByte) {
    case 'A':
      return extcode::Up;
    case 'B':
      return extcode::Down;
    case 'C':
      return extcode::Right;
    case 'D':
      return extcode::Left;
    case 'E':
    case 'G':
      return extcode::Center;
    case 'H':
      return extcode::Home;
    case 'F':
      return extcode::End;
    case 'P':
    case 'Q':
    case 'R':
    case 'S':
      return static_cast<std::uint8_t>(extcode::F1 + (finalByte - 'P'));
    default:
      return extcode::Unknown;
  }
}

}  // namespace

void KeyDecoder::Feed(std::span<const std::uint8_t> bytes, std::int64_t nowMs) {
  Expire(nowMs);
  for (const std::uint8_t b : bytes) {
    Step(b);
  }
  if (!bytes.empty()) {
    lastByteMs_ = nowMs;
  }
}

void KeyDecoder::Feed(std::string_view bytes, std::int64_t nowMs) {
  Feed(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), nowMs);
}

void KeyDecoder::Expire(std::int64_t nowMs) {
  if (state_ != State::Ground && nowMs - lastByteMs_ >= EscapeTimeoutMs) {
    Settle();
  }
}

std::optional<DecodedKey> KeyDecoder::Next() {
  if (keys_.empty()) {
    return std::nullopt;
  }
  const DecodedKey key = keys_.front();
  keys_.pop_front();
  return key;
}

void KeyDecoder::Settle() {
  switch (state_) {
    case State::Ground:
    case State::Overlong:
      break;  // the overlong key was given when it overflowed
    case State::Escape:
      Emit(Esc, false);
      break;
    case State::Sequence:
      // ESC [ or ESC O with nothing after it was Alt+[ or Alt+O.
      Emit(paramCount_ == 0 ? AltCode(held_) : extcode::Unknown, true);
      break;
    case State::LinuxFunction:
      Emit(extcode::Unknown, true);
      break;
    case State::MetaR:
      Emit(extcode::AltR, true);
      break;
    case State::Utf8Lead:
      Emit(Utf8AltRLead, false);
      break;
  }
  state_ = State::Ground;
}

void KeyDecoder::Step(std::uint8_t b) {
  switch (state_) {
    case State::Ground:
      if (b == Esc) {
        state_ = State::Escape;
        sequenceBytes_ = 1;
      } else if (b == Utf8AltRLead) {
        // xterm without metaSendsEscape in a UTF-8 locale sends Alt+R as the
        // character U+00F2 or U+00D2: C3 B2 or C3 92.
        state_ = State::Utf8Lead;
      } else if (b == 0xF2 || b == 0xD2) {
        // 'r' | 0x80 or 'R' | 0x80 from a terminal that sets bit 8 for Alt,
        // unless a UTF-8 continuation byte shows it is the start of a character.
        state_ = State::MetaR;
        held_ = b;
      } else {
        Emit(b == '\r' || b == '\n' ? Enter : b, false);
      }
      return;

    case State::Escape:
      if (b == '[' || b == 'O') {
        state_ = State::Sequence;
        held_ = b;
        paramCount_ = 0;
        sequenceBytes_ = 2;
      } else if (b == Esc) {
        Emit(Esc, false);  // the first ESC was the Escape key; the second starts anew
        sequenceBytes_ = 1;
      } else {
        state_ = State::Ground;
        Emit(AltCode(b), true);
      }
      return;

    case State::Sequence:
      if (held_ == '[' && paramCount_ == 0 && b == '[') {
        state_ = State::LinuxFunction;
      } else if (IsParameterOrIntermediate(b)) {
        if (sequenceBytes_ + 2 > MaxSequenceBytes) {  // no room left for a final byte
          Emit(extcode::Unknown, true);
          state_ = State::Overlong;
        } else {
          params_[paramCount_++] = b;
          ++sequenceBytes_;
        }
      } else if (IsFinal(b)) {
        state_ = State::Ground;
        EmitSequence(b);
      } else {
        Settle();
        Step(b);
      }
      return;

    case State::LinuxFunction:
      if (IsFinal(b)) {
        state_ = State::Ground;
        const bool f1ToF5 = b >= 'A' && b <= 'E';
        Emit(f1ToF5 ? static_cast<std::uint8_t>(extcode::F1 + (b - 'A')) : extcode::Unknown, true);
      } else {
        Settle();
        Step(b);
      }
      return;

    case State::Overlong:
      if (IsParameterOrIntermediate(b)) {
        return;
      }
      state_ = State::Ground;
      if (!IsFinal(b)) {
        Step(b);
      }
      return;

    case State::Utf8Lead:
      state_ = State::Ground;
      if (b == 0xB2 || b == 0x92) {
        Emit(extcode::AltR, true);
      } else {
        // Another character that begins with C3 (é, ü, ...) stays two ordinary
        // bytes; anything else is decoded afresh.
        Emit(Utf8AltRLead, false);
        Step(b);
      }
      return;

    case State::MetaR:
      state_ = State::Ground;
      if (IsUtf8Continuation(b)) {
        Emit(held_, false);
        Emit(b, false);
      } else {
        Emit(extcode::AltR, true);
        Step(b);
      }
      return;
  }
}

void KeyDecoder::EmitSequence(std::uint8_t finalByte) {
  // Only digits and separators are key parameters; private markers and
  // intermediates belong to reports and other non-key sequences.
  unsigned first = 0;
  bool inFirst = true;
  for (std::size_t i = 0; i < paramCount_; ++i) {
    const std::uint8_t p = params_[i];
    if (p >= '0' && p <= '9') {
      if (inFirst && first < 10000) {
        first = first * 10 + static_cast<unsigned>(p - '0');
      }
    } else if (p == ';' || p == ':') {
      inFirst = false;
    } else {
      Emit(extcode::Unknown, true);
      return;
    }
  }

  if (held_ == 'O') {
    // Keypad in application mode: Enter and the character keys stay characters.
    if (finalByte == 'M') {
      Emit(Enter, false);
    } else if (finalByte >= 'j' && finalByte <= 'y') {
      Emit(static_cast<std::uint8_t>(finalByte - 0x40), false);
    } else {
      Emit(CursorCode(finalByte), true);
    }
    return;
  }
  if (finalByte == '~') {
    Emit(TildeCode(first), true);
  } else if (finalByte == 'Z') {
    Emit(extcode::ShiftTab, true);
  } else {
    Emit(CursorCode(finalByte), true);
  }
}

bool IsModifierOnlyKey(std::uint16_t virtualKey) {
  switch (virtualKey) {
    case 16:   // Shift
    case 17:   // Ctrl
    case 18:   // Alt
    case 20:   // Caps Lock
    case 144:  // Num Lock
    case 145:  // Scroll Lock
      return true;
    default:
      return false;
  }
}

DecodedKey DecodeConsoleKeyEvent(const ConsoleKeyEvent& event) {
  constexpr std::uint32_t rightAlt = 0x0001;
  constexpr std::uint32_t leftAlt = 0x0002;
  constexpr std::uint32_t enhancedKey = 0x0100;

  if (event.asciiChar == Enter && event.virtualKey == Enter) {
    return {Enter, false};  // keypad Enter is enhanced but must still be Enter
  }
  const bool extended = event.asciiChar == 0 || (event.controlState & (leftAlt | enhancedKey)) != 0;
  if (!extended) {
    return {event.asciiChar, false};
  }
  const bool alt = (event.controlState & (rightAlt | leftAlt)) != 0;
  const bool letter = event.virtualKey >= 'A' && event.virtualKey <= 'Z';
  const auto scan = static_cast<std::uint8_t>(event.scanCode);
  if (alt && letter) {
    return {scan, true};
  }
  // Only Alt with a letter key may stop the run.
  return {scan == StopKeyCode ? extcode::Unknown : scan, true};
}

}  // namespace gensample
