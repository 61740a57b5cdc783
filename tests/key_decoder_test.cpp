#include "gensample/key_decoder.hpp"
#include "gensample/console_keys.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace gensample {

// Lets a failing comparison print the keys.
void PrintTo(const DecodedKey& key, std::ostream* out) {
  *out << (key.extended ? "ext " : "key ") << static_cast<unsigned>(key.code);
}

namespace {

using Keys = std::vector<DecodedKey>;

constexpr DecodedKey Ext(std::uint8_t code) { return {code, true}; }
constexpr DecodedKey Key(std::uint8_t code) { return {code, false}; }
constexpr DecodedKey AltR = Ext(StopKeyCode);

Keys Drain(KeyDecoder& decoder) {
  Keys keys;
  while (auto key = decoder.Next()) {
    keys.push_back(*key);
  }
  return keys;
}

// Feeds the chunks 1 ms apart (well inside the ESC timeout), then lets any held
// sequence time out.
Keys Decode(const std::vector<std::string>& chunks) {
  KeyDecoder decoder;
  std::int64_t now = 1000;
  for (const std::string& chunk : chunks) {
    decoder.Feed(chunk, now++);
  }
  decoder.Expire(now + KeyDecoder::EscapeTimeoutMs);
  EXPECT_FALSE(decoder.Holding());
  return Drain(decoder);
}

Keys Decode(const std::string& bytes) { return Decode(std::vector<std::string>{bytes}); }

struct Case {
  const char* name;
  std::string bytes;
  Keys expected;
};

const std::vector<Case>& Cases() {
  using namespace extcode;
  static const std::vector<Case> cases = {
      {"alt r", "\x1br", {AltR}},
      {"alt shift r", "\x1bR", {AltR}},
      {"meta bit r", "\xf2", {AltR}},
      {"meta bit R", "\xd2", {AltR}},
      {"meta bit r then r", "\xd2r", {AltR, Key('r')}},
      {"utf8 two byte char from 0xd2", "\xd2\x90", {Key(0xD2), Key(0x90)}},
      {"utf8 four byte char from 0xf2", "\xf2\x80\x80\x80", {Key(0xF2), Key(0x80), Key(0x80), Key(0x80)}},
      {"plain r", "r", {Key('r')}},
      {"shift r", "R", {Key('R')}},
      {"ctrl r", "\x12", {Key(0x12)}},
      {"cr is enter", "\r", {Key(13)}},
      {"lf is enter", "\n", {Key(13)}},
      {"utf8 char", "\xc3\xa9", {Key(0xC3), Key(0xA9)}},
      {"utf8 alt r (U+00F2)", "\xc3\xb2", {AltR}},
      {"utf8 alt shift r (U+00D2)", "\xc3\x92", {AltR}},
      {"utf8 alt r then r", "\xc3\xb2r", {AltR, Key('r')}},
      {"utf8 alt r twice", "\xc3\x92\xc3\xb2", {AltR, AltR}},
      {"utf8 other char then alt r", "\xc3\xbc\xc3\xb2", {Key(0xC3), Key(0xBC), AltR}},
      {"lone c3", "\xc3", {Key(0xC3)}},
      {"c3 then c3 b2", "\xc3\xc3\xb2", {Key(0xC3), AltR}},
      {"c3 then esc r", "\xc3\x1br", {Key(0xC3), AltR}},
      {"c3 then plain r", "\xc3r", {Key(0xC3), Key('r')}},
      {"b2 alone", "\xb2", {Key(0xB2)}},
      {"up", "\x1b[A", {Ext(Up)}},
      {"down", "\x1b[B", {Ext(Down)}},
      {"right", "\x1b[C", {Ext(Right)}},
      {"left", "\x1b[D", {Ext(Left)}},
      {"ss3 up", "\x1bOA", {Ext(Up)}},
      {"ss3 left", "\x1bOD", {Ext(Left)}},
      {"home", "\x1b[H", {Ext(Home)}},
      {"end", "\x1b[F", {Ext(End)}},
      {"ss3 home", "\x1bOH", {Ext(Home)}},
      {"keypad 5", "\x1b[E", {Ext(Center)}},
      {"shift tab", "\x1b[Z", {Ext(ShiftTab)}},
      {"alt up", "\x1b[1;3A", {Ext(Up)}},
      {"ctrl right", "\x1b[1;5C", {Ext(Right)}},
      {"f1 ss3", "\x1bOP", {Ext(F1)}},
      {"f2 ss3", "\x1bOQ", {Ext(F1 + 1)}},
      {"f3 ss3", "\x1bOR", {Ext(F1 + 2)}},
      {"f4 ss3", "\x1bOS", {Ext(F1 + 3)}},
      {"shift f1", "\x1b[1;2P", {Ext(F1)}},
      {"f1 tilde", "\x1b[11~", {Ext(F1)}},
      {"f5", "\x1b[15~", {Ext(F1 + 4)}},
      {"f6", "\x1b[17~", {Ext(F1 + 5)}},
      {"f10", "\x1b[21~", {Ext(F1 + 9)}},
      {"f11", "\x1b[23~", {Ext(F11)}},
      {"f12", "\x1b[24~", {Ext(F12)}},
      {"shift f5", "\x1b[15;2~", {Ext(F1 + 4)}},
      {"insert", "\x1b[2~", {Ext(Insert)}},
      {"delete", "\x1b[3~", {Ext(Delete)}},
      {"alt delete", "\x1b[3;3~", {Ext(Delete)}},
      {"page up", "\x1b[5~", {Ext(PageUp)}},
      {"page down", "\x1b[6~", {Ext(PageDown)}},
      {"vt home", "\x1b[1~", {Ext(Home)}},
      {"vt end", "\x1b[4~", {Ext(End)}},
      {"linux f1", "\x1b[[A", {Ext(F1)}},
      {"linux f5", "\x1b[[E", {Ext(F1 + 4)}},
      {"unknown tilde", "\x1b[99~", {Ext(Unknown)}},
      {"device report", "\x1b[?1;2c", {Ext(Unknown)}},
      {"intermediate", "\x1b[1 q", {Ext(Unknown)}},
      {"keypad enter", "\x1bOM", {Key(13)}},
      {"keypad 0", "\x1bOp", {Key('0')}},
      {"keypad star", "\x1bOj", {Key('*')}},
      {"alt x", "\x1bx", {Ext(45)}},
      {"alt q", "\x1bq", {Ext(16)}},
      {"alt M", "\x1bM", {Ext(50)}},
      {"alt 1",
       "\x1b"
       "1",
       {Ext(120)}},
      {"alt 0",
       "\x1b"
       "0",
       {Ext(129)}},
      {"alt enter", "\x1b\r", {Ext(28)}},
      {"alt backspace", "\x1b\x7f", {Ext(14)}},
      {"alt bang", "\x1b!", {Ext(AltOther)}},
      {"lone escape", "\x1b", {Key(27)}},
      {"escape escape", "\x1b\x1b", {Key(27), Key(27)}},
      {"escape then alt r", "\x1b\x1br", {Key(27), AltR}},
      {"escape then up", "\x1b\x1b[A", {Key(27), Ext(Up)}},
      {"alt bracket", "\x1b[", {Ext(26)}},
      {"alt O", "\x1bO", {Ext(24)}},
      {"cut off csi", "\x1b[1;3", {Ext(Unknown)}},
      {"csi cut by alt r", "\x1b[1\x1br", {Ext(Unknown), AltR}},
      {"alt bracket then alt r", "\x1b[\x1br", {Ext(26), AltR}},
      {"csi cut by ctrl c", "\x1b[1\x03", {Ext(Unknown), Key(3)}},
      {"linux cut off", "\x1b[[", {Ext(Unknown)}},
      {"meta r then esc", "\xf2\x1b", {AltR, Key(27)}},
      {"mixed", "a\x1b[Ab\x1brc\r", {Key('a'), Ext(Up), Key('b'), AltR, Key('c'), Key(13)}},
  };
  return cases;
}

TEST(KeyDecoder, DecodesEachSequenceFedWhole) {
  for (const Case& c : Cases()) {
    EXPECT_EQ(Decode(c.bytes), c.expected) << c.name;
  }
}

TEST(KeyDecoder, DecodesEachSequenceSplitAtEveryPoint) {
  for (const Case& c : Cases()) {
    const std::string& s = c.bytes;
    for (std::size_t i = 0; i <= s.size(); ++i) {
      EXPECT_EQ(Decode({s.substr(0, i), s.substr(i)}), c.expected) << c.name << " split at " << i;
      for (std::size_t j = i; j <= s.size(); ++j) {
        EXPECT_EQ(Decode({s.substr(0, i), s.substr(i, j - i), s.substr(j)}), c.expected)
            << c.name << " split at " << i << " and " << j;
      }
    }
  }
}

TEST(KeyDecoder, DecodesEachSequenceByteByByte) {
  for (const Case& c : Cases()) {
    std::vector<std::string> bytes;
    for (const char b : c.bytes) {
      bytes.emplace_back(1, b);
    }
    EXPECT_EQ(Decode(bytes), c.expected) << c.name;
  }
}

TEST(KeyDecoder, LoneEscapeWaitsForItsTimeout) {
  KeyDecoder decoder;
  decoder.Feed("\x1b", 100);
  EXPECT_TRUE(decoder.Holding());
  decoder.Expire(100 + KeyDecoder::EscapeTimeoutMs - 1);
  EXPECT_FALSE(decoder.HasKey());
  EXPECT_TRUE(decoder.Holding());
  decoder.Expire(100 + KeyDecoder::EscapeTimeoutMs);
  EXPECT_FALSE(decoder.Holding());
  EXPECT_EQ(Drain(decoder), Keys{Key(27)});
}

TEST(KeyDecoder, ByteAfterTimeoutIsNotPartOfTheSequence) {
  KeyDecoder justInTime;
  justInTime.Feed("\x1b", 0);
  justInTime.Feed("r", KeyDecoder::EscapeTimeoutMs - 1);
  EXPECT_EQ(Drain(justInTime), Keys{AltR});

  KeyDecoder tooLate;
  tooLate.Feed("\x1b", 0);
  tooLate.Feed("r", KeyDecoder::EscapeTimeoutMs);
  EXPECT_EQ(Drain(tooLate), (Keys{Key(27), Key('r')}));

  KeyDecoder cutCsi;
  cutCsi.Feed("\x1b[1", 0);
  cutCsi.Expire(KeyDecoder::EscapeTimeoutMs);
  cutCsi.Feed("A", KeyDecoder::EscapeTimeoutMs + 1);
  EXPECT_EQ(Drain(cutCsi), (Keys{Ext(extcode::Unknown), Key('A')}));

  KeyDecoder lateMetaR;
  lateMetaR.Feed("\xd2", 0);
  lateMetaR.Feed("\x90", KeyDecoder::EscapeTimeoutMs);
  EXPECT_EQ(Drain(lateMetaR), (Keys{AltR, Key(0x90)}));

  KeyDecoder lateUtf8AltR;
  lateUtf8AltR.Feed("\xc3", 0);
  lateUtf8AltR.Feed("\xb2", KeyDecoder::EscapeTimeoutMs);
  EXPECT_EQ(Drain(lateUtf8AltR), (Keys{Key(0xC3), Key(0xB2)}));

  KeyDecoder timelyUtf8AltR;
  timelyUtf8AltR.Feed("\xc3", 0);
  timelyUtf8AltR.Feed("\x92", KeyDecoder::EscapeTimeoutMs - 1);
  EXPECT_EQ(Drain(timelyUtf8AltR), Keys{AltR});
}

TEST(KeyDecoder, TimeoutCountsFromTheLatestByte) {
  KeyDecoder decoder;
  const std::int64_t step = KeyDecoder::EscapeTimeoutMs - 10;
  decoder.Feed("\x1b", 0);
  decoder.Feed("[", step);
  decoder.Feed("1", 2 * step);
  decoder.Expire(3 * step);
  decoder.Feed(";3A", 3 * step);
  EXPECT_EQ(Drain(decoder), Keys{Ext(extcode::Up)});
}

TEST(KeyDecoder, SequencesAreBoundedInLength) {
  const std::size_t max = KeyDecoder::MaxSequenceBytes;
  const std::string longest = "\x1b[" + std::string(max - 3, '1') + "A";
  ASSERT_EQ(longest.size(), max);
  EXPECT_EQ(Decode(longest), Keys{Ext(extcode::Up)});

  // One byte more is one key; its remaining bytes, final included, are swallowed.
  const std::string tooLong = "\x1b[" + std::string(max - 2, '1') + "A";
  EXPECT_EQ(Decode(tooLong + "x"), (Keys{Ext(extcode::Unknown), Key('x')}));

  // However long it goes on, it stays one key and the next key still decodes.
  std::string hostile = "\x1b[";
  for (int i = 0; i < 100000; ++i) {
    hostile += "1;";
  }
  EXPECT_EQ(Decode(hostile + "A\x1br"), (Keys{Ext(extcode::Unknown), AltR}));
  EXPECT_EQ(Decode(hostile + "\x1br"), (Keys{Ext(extcode::Unknown), AltR}));
  EXPECT_EQ(Decode({hostile, "~", "x"}), (Keys{Ext(extcode::Unknown), Key('x')}));

  // A timeout ends the swallowing.
  KeyDecoder decoder;
  decoder.Feed(tooLong.substr(0, tooLong.size() - 1), 0);
  decoder.Expire(KeyDecoder::EscapeTimeoutMs);
  EXPECT_FALSE(decoder.Holding());
  decoder.Feed("A", KeyDecoder::EscapeTimeoutMs + 1);
  EXPECT_EQ(Drain(decoder), (Keys{Ext(extcode::Unknown), Key('A')}));
}

TEST(KeyDecoder, OnlyAltRGivesTheStopCode) {
  for (int b = 0; b < 256; ++b) {
    const auto byte = static_cast<char>(b);
    if (b != 'r' && b != 'R' && b != 0x1B && b != '[' && b != 'O') {
      const Keys keys = Decode(std::string("\x1b") + byte);
      ASSERT_EQ(keys.size(), 1u) << "ESC " << b;
      EXPECT_TRUE(keys[0].extended) << "ESC " << b;
      EXPECT_NE(keys[0], AltR) << "ESC " << b;
    }
    if (b != 0x1B && b != 0xF2 && b != 0xD2) {
      EXPECT_EQ(Decode(std::string(1, byte)), Keys{Key(b == '\n' ? 13 : static_cast<std::uint8_t>(b))}) << "byte " << b;
    }
    if (b >= 0x40 && b <= 0x7E) {
      for (const char* intro : {"\x1b[", "\x1bO", "\x1b[1;3", "\x1b[[", "\x1bO1"}) {
        const Keys keys = Decode(intro + std::string(1, byte));
        ASSERT_EQ(keys.size(), 1u) << intro + 1 << " final " << b;
        EXPECT_NE(keys[0], AltR) << intro + 1 << " final " << b;
      }
    }
  }
  // After C3 only B2 and 92 make Alt+R (F2 and D2 are Alt+R of their own).
  for (int b = 0; b < 256; ++b) {
    if (b == 0xB2 || b == 0x92 || b == 0xF2 || b == 0xD2) {
      continue;
    }
    for (const DecodedKey& key : Decode(std::string("\xc3") + static_cast<char>(b))) {
      EXPECT_NE(key, AltR) << "C3 " << b;
    }
  }
  for (int n = 0; n < 300; ++n) {
    const Keys keys = Decode("\x1b[" + std::to_string(n) + "~");
    ASSERT_EQ(keys.size(), 1u) << n;
    EXPECT_NE(keys[0], AltR) << n;
  }
}

TEST(KeyDecoder, RandomInputWithoutAltRNeverStops) {
  // Every byte but those that can spell Alt+R, weighted towards sequence bytes
  // and the UTF-8 lead byte C3.
  std::string alphabet = "\x1b\x1b\x1b[[O;;1234~ABCDPQS\xc3\xc3";
  for (int b = 0; b < 256; ++b) {
    if (b != 'r' && b != 'R' && b != 0xF2 && b != 0xD2 && b != 0xB2 && b != 0x92) {
      alphabet += static_cast<char>(b);
    }
  }
  std::mt19937 rng(12345);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<int> chunkLength(1, 8);
  std::uniform_int_distribution<int> gap(0, 60);
  KeyDecoder decoder;
  std::int64_t now = 0;
  std::size_t fed = 0;
  std::size_t decoded = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string chunk;
    for (int i = chunkLength(rng); i > 0; --i) {
      chunk += alphabet[pick(rng)];
    }
    now += gap(rng);
    decoder.Feed(chunk, now);
    decoder.Expire(now + gap(rng) / 2);
    fed += chunk.size();
    for (const DecodedKey& key : Drain(decoder)) {
      ASSERT_NE(key, AltR) << "round " << round;
      ++decoded;
    }
  }
  EXPECT_LE(decoded, fed);
  EXPECT_GT(decoded, fed / 4);
}

TEST(ConsoleKeyEvent, AltWithTheRKeyIsTheStopKey) {
  constexpr std::uint32_t rightAlt = 0x1, leftAlt = 0x2, leftCtrl = 0x8, shift = 0x10;
  EXPECT_EQ(DecodeConsoleKeyEvent({'R', 19, 'r', leftAlt}), AltR);
  EXPECT_EQ(DecodeConsoleKeyEvent({'R', 19, 'R', leftAlt | shift}), AltR);
  EXPECT_EQ(DecodeConsoleKeyEvent({'R', 19, 0, rightAlt}), AltR);
  EXPECT_EQ(DecodeConsoleKeyEvent({'R', 19, 0, rightAlt | leftCtrl}), AltR);
  EXPECT_EQ(DecodeConsoleKeyEvent({'X', 45, 'x', leftAlt}), Ext(45));

  EXPECT_EQ(DecodeConsoleKeyEvent({'R', 19, 'r', 0}), Key('r'));
  EXPECT_EQ(DecodeConsoleKeyEvent({'R', 19, 'R', shift}), Key('R'));
  EXPECT_EQ(DecodeConsoleKeyEvent({'R', 19, 0x12, leftCtrl}), Key(0x12));
  // Without Alt the R key never stops, even when it carries no character.
  EXPECT_EQ(DecodeConsoleKeyEvent({'R', 19, 0, leftCtrl | shift}), Ext(extcode::Unknown));
  EXPECT_EQ(DecodeConsoleKeyEvent({0xE5, 19, 0, 0}), Ext(extcode::Unknown));
  // A character made with AltGr (right Alt + left Ctrl) stays a character.
  EXPECT_EQ(DecodeConsoleKeyEvent({'Q', 16, '@', rightAlt | leftCtrl}), Key('@'));
}

TEST(ConsoleKeyEvent, EnterArrowsAndFunctionKeys) {
  constexpr std::uint32_t leftAlt = 0x2, enhanced = 0x100;
  EXPECT_EQ(DecodeConsoleKeyEvent({13, 28, 13, 0}), Key(13));
  EXPECT_EQ(DecodeConsoleKeyEvent({13, 28, 13, enhanced}), Key(13));  // keypad Enter
  EXPECT_EQ(DecodeConsoleKeyEvent({13, 28, 13, leftAlt}), Key(13));
  EXPECT_EQ(DecodeConsoleKeyEvent({0x26, 72, 0, enhanced}), Ext(extcode::Up));
  EXPECT_EQ(DecodeConsoleKeyEvent({0x28, 80, 0, 0}), Ext(extcode::Down));  // keypad arrow
  EXPECT_EQ(DecodeConsoleKeyEvent({0x70, 59, 0, 0}), Ext(extcode::F1));
  EXPECT_EQ(DecodeConsoleKeyEvent({0x24, 71, 0, enhanced}), Ext(extcode::Home));
  // An enhanced key with a character is still extended (keypad / is one).
  EXPECT_EQ(DecodeConsoleKeyEvent({0x6F, 53, '/', enhanced}), Ext(53));
}

TEST(ConsoleKeyEvent, ModifierKeysMakeNoKey) {
  for (const std::uint16_t vk : {16, 17, 18, 20, 144, 145}) {
    EXPECT_TRUE(IsModifierOnlyKey(vk)) << vk;
  }
  for (const std::uint16_t vk : {13, 27, 0x26, 0x52, 91, 0x70}) {  // Enter, Esc, Up, R, Win, F1
    EXPECT_FALSE(IsModifierOnlyKey(vk)) << vk;
  }
}

// Queue of key codes as ReadKeyCode would give them; counts what the poll took.
class FakeKeys final : public ConsoleKeys {
 public:
  explicit FakeKeys(std::vector<std::vector<std::uint8_t>> keys) {
    for (const auto& key : keys) {
      codes_.insert(codes_.end(), key.begin(), key.end());
    }
  }

  bool KeyAvailable() override { return available_ && !codes_.empty(); }
  std::uint8_t ReadKeyCode() override {
    ++reads;
    if (codes_.empty()) {
      ADD_FAILURE() << "ReadKeyCode with no key waiting";
      return 0xEE;
    }
    const std::uint8_t code = codes_.front();
    codes_.pop_front();
    return code;
  }

  std::size_t Left() const { return codes_.size(); }
  void SetAvailable(bool available) { available_ = available; }

  int reads = 0;

 private:
  std::deque<std::uint8_t> codes_;
  bool available_ = true;
};

const std::vector<std::uint8_t> altR = {0, StopKeyCode};

TEST(TakeStopKey, OnlyAltRStops) {
  FakeKeys none({});
  EXPECT_FALSE(TakeStopKey(none));
  EXPECT_EQ(none.reads, 0);

  FakeKeys stop({altR});
  EXPECT_TRUE(TakeStopKey(stop));
  EXPECT_EQ(stop.Left(), 0u);

  // Ctrl+S is the character 19, not the extended code.
  for (const std::vector<std::uint8_t>& other : std::vector<std::vector<std::uint8_t>>{
           {'r'}, {'R'}, {0x12}, {StopKeyCode}, {13}, {0, 72}, {0, 0}, {0, 45}, {0, 0xFF}}) {
    FakeKeys keys({other});
    EXPECT_FALSE(TakeStopKey(keys)) << static_cast<int>(other.back());
    EXPECT_EQ(keys.Left(), 0u) << "the whole key is taken";
  }
}

TEST(TakeStopKey, TakesOneKeyPerPoll) {
  const std::vector<std::vector<std::uint8_t>> others = {{'a'}, {0, 72}, {StopKeyCode}, {0, 59}, {13}, {0, 16}};
  for (std::size_t j = 0; j <= others.size(); ++j) {
    std::vector<std::vector<std::uint8_t>> keys(others.begin(), others.begin() + j);
    keys.push_back(altR);
    keys.push_back({'x'});
    FakeKeys fake(keys);
    for (std::size_t poll = 1; poll <= j; ++poll) {
      const std::size_t before = fake.Left();
      EXPECT_FALSE(TakeStopKey(fake)) << "poll " << poll << " of " << j;
      EXPECT_EQ(before - fake.Left(), others[poll - 1].size()) << "poll " << poll;
    }
    EXPECT_TRUE(TakeStopKey(fake)) << "poll " << j + 1;
    EXPECT_EQ(fake.Left(), 1u) << "the key after Alt+R stays";
  }
}

TEST(TakeStopKey, NeverReadsWithoutAWaitingKey) {
  FakeKeys keys({altR});
  keys.SetAvailable(false);
  EXPECT_FALSE(TakeStopKey(keys));
  EXPECT_EQ(keys.reads, 0);
  keys.SetAvailable(true);
  EXPECT_TRUE(TakeStopKey(keys));
}

}  // namespace
}  // namespace gensample
