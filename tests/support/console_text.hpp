#pragma once
// The programs' fixed console texts, and reading numbers and time stamps out
// of captured console text, for the end-to-end tests that match time fields by
// pattern.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>

#include "tests/support/run_program.hpp"

namespace testsupport {

// A decimal number without leading zeros at text[pos]; pos moves past it.
inline std::optional<int> Number(const std::string& text, std::size_t& pos) {
  std::size_t end = pos;
  while (end < text.size() && end - pos < 10 && text[end] >= '0' && text[end] <= '9') ++end;
  if (end == pos || end - pos > 9 || (text[pos] == '0' && end - pos > 1)) return std::nullopt;
  const int value = std::stoi(text.substr(pos, end - pos));
  pos = end;
  return value;
}

inline bool Literal(const std::string& text, std::size_t& pos, const std::string& literal) {
  if (text.compare(pos, literal.size(), literal) != 0) return false;
  pos += literal.size();
  return true;
}

struct Stamp {
  std::string text;  // "d/m/yyyy, at h:m:s:ms"
  int field[7];      // day, month, year, hour, minute, second, millisecond
};

// The stamp line with the given label (plain numbers, a four-digit year).
inline std::optional<Stamp> FindStamp(const std::string& console, const std::string& label) {
  const std::string head = " " + label + " (DD/MM/YY:) ";
  const std::size_t at = console.find(head);
  if (at == std::string::npos) return std::nullopt;
  const std::size_t from = at + head.size();
  std::size_t pos = from;
  const char* const separators[7] = {"/", "/", ", at ", ":", ":", ":", "\r\n"};
  Stamp s{};
  for (int k = 0; k < 7; ++k) {
    const std::optional<int> value = Number(console, pos);
    if (!value || !Literal(console, pos, separators[k])) return std::nullopt;
    s.field[k] = *value;
  }
  if (s.field[2] < 1000 || s.field[2] > 9999) return std::nullopt;
  s.text = console.substr(from, pos - 2 - from);
  return s;
}

// The number written right before marker at the start of a line; -1 if none.
inline int NumberBefore(const std::string& console, const std::string& marker) {
  const std::size_t at = console.find(marker);
  if (at == std::string::npos) return -1;
  const std::size_t lineStart = console.rfind('\n', at);
  std::size_t pos = lineStart == std::string::npos ? 0 : lineStart + 1;
  const std::optional<int> value = Number(console, pos);
  return value && pos == at ? *value : -1;
}

// The name of the result file of a run of n and m whose start stamp is s;
// the tag tells the programs' files apart.
inline const std::string GencountTag = "---";
inline const std::string GensampleTag = "--random--";
inline std::string ResultFileName(int n, int m, const std::string& tag, const Stamp& s) {
  const int* f = s.field;
  return "r-" + std::to_string(n) + "&" + std::to_string(m) + tag + std::to_string(f[0]) + "-" + std::to_string(f[3]) +
         "-" + std::to_string(f[4]) + "-" + std::to_string(f[5]) + "-" + std::to_string(f[6]) + "--" +
         std::to_string(f[1]) + "-" + std::to_string(f[2]) + ".txt";
}

struct RunStart {
  std::string lines;       // the start stamp and the two file lines
  std::string resultName;  // the result file's name, built from the start stamp
};

// The start lines every run shows and writes first, built from the start
// stamp found in its console text; a and b are the input files' names (empty:
// n-optablea.txt, m-optableb.txt).
inline RunStart ExpectedStart(const std::string& console, int n, int m, const std::string& tag,
                              const std::string& a = "", const std::string& b = "") {
  const std::optional<Stamp> s = FindStamp(console, "     Started");
  if (!s) {
    ADD_FAILURE() << "no start stamp in\n" << console;
    return {"?", "?"};
  }
  RunStart start;
  start.resultName = ResultFileName(n, m, tag, *s);
  start.lines = JoinLines({"      Started (DD/MM/YY:) " + s->text,
                           "Input files opened: " + (a.empty() ? std::to_string(n) + "-optablea.txt" : a) + ",  " +
                               (b.empty() ? std::to_string(m) + "-optableb.txt" : b),
                           "Output file opened: " + start.resultName});
  return start;
}

// The end stamp and elapsed-time lines a run shorter than a minute within one
// day must show, built from the stamps found in its console text.
inline std::string ExpectedEndLines(const std::string& console) {
  const std::optional<Stamp> s = FindStamp(console, "     Started");
  const std::optional<Stamp> e = FindStamp(console, "     Terminated");
  if (!s || !e) {
    ADD_FAILURE() << "no end stamp in\n" << console;
    return "?";
  }
  auto ms = [](const Stamp& t) { return ((t.field[3] * 60 + t.field[4]) * 60 + t.field[5]) * 1000 + t.field[6]; };
  const int elapsed = ms(*e) - ms(*s);
  if (elapsed < 0 || elapsed >= 60000 || e->field[0] != s->field[0]) ADD_FAILURE() << "clock jumped";
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%d.%03d", elapsed / 1000, elapsed % 1000);
  return JoinLines({"      Terminated (DD/MM/YY:) " + e->text,
                    "Assuming that it is shorter than four weeks, the time elapsed is: ",
                    std::string("  0 day(s) + 0 hour(s) + 0 minute(s) + ") + seconds + " second(s)."});
}

// A fatal stop: on the console the bell, the header, the message and the
// prompt; in the result file (after Enter) the header and the message.
inline const std::string FatalHeader = "Error in data; possibly/appeared at: ";
inline const std::string FatalPrompt = "  Press <enter> to quit\r\n";
inline std::string FatalConsole(const std::string& message) {
  return "\a\r\n" + FatalHeader + "\r\n" + message + "\r\n" + FatalPrompt;
}
inline std::string FatalResultLines(const std::string& message) { return FatalHeader + "\r\n" + message + "\r\n"; }

// gensample's banner as the console shows it.
inline const std::string GensampleBanner = JoinLines({
    "",
    "This is gensample, v. November 3, 2020, a program to estimate the number",
    "of 4-element generating sets of Equ(n)*Equ(m) by random tests.",
    "(It would not be hard to modify \"4\".)",
    "",
    "The input files n-optablea.txt and  m-optableb.txt (where n<=6 is the ",
    "first while m<=6 is the second parameter of the program) should be in the",
    "same folder where this program is. Third parameter=number of tests,",
    "fourth parameter=how often to print a dot on the screen.",
    "To force that the program stops soon (but not immediately), hit <Alt-R>.",
    "",
});

}  // namespace testsupport
