// optables: writes the join/meet tables of Equ(k) as k-optablea.txt and k-optableb.txt.
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "optables/equ_tables.hpp"
#include "runframe/abrupt_end.hpp"
#include "runframe/atomic_file.hpp"
#include "runframe/information_request.hpp"
#include "runframe/int_conversion.hpp"

namespace {

constexpr std::string_view Usage =
    "usage: optables [--seed S] [--shuffle-lines] [--meet-first]\n"
    "                [--line-end crlf|lf|cr] [--only a|b] [--dir DIR] k\n"
    "       optables --help | --version";

constexpr std::string_view Help =
    "Writes the join and meet tables of Equ(k), k = 1..8, to k-optablea.txt and\n"
    "k-optableb.txt (Equ(8): 17139600 lines, about 340 MB per file); files that\n"
    "would not fit on the disk are refused before anything is written.\n"
    "Each line reads x&y=join,meet for one ordered pair of element numbers.\n"
    "  --seed S           number the elements in an order shuffled from S\n"
    "                     (0..2^64-1)\n"
    "  --shuffle-lines    shuffle the line order too (seed 1 unless --seed is given)\n"
    "  --meet-first       write x&y=meet,join instead\n"
    "  --line-end E       crlf (default), lf or cr\n"
    "  --only F           write only file a or only file b\n"
    "  --dir DIR          write into DIR instead of the current folder\n"
    "  -h, --help         show this text and end\n"
    "  --version          show the version and end\n"
    "More in the manual page optables(1).\n";

constexpr int UsageStatus = 2;
constexpr int WriteErrorStatus = 1;

struct Options {
  int k = 0;
  std::optional<std::uint64_t> seed;
  bool shuffleLines = false;
  optables::RenderOptions render;
  bool writeA = true;
  bool writeB = true;
  std::string dir;
};

struct UsageError {
  std::string message;
};

// Digits only, as runframe::ParseUnsigned takes them: a seed that silently means something else
// is worse than an error.  Texts of more than 20 characters were always refused (also ones with
// leading zeros); that stays, so a command line means what it meant.
std::optional<std::uint64_t> ParseUnsigned(std::string_view text) {
  if (text.size() > 20) return std::nullopt;
  return runframe::ParseUnsigned(text);
}

Options ParseArgs(int argc, char** argv) {
  Options opt;
  std::optional<std::string> kText;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    auto value = [&]() -> std::string_view {
      if (i + 1 >= argc) throw UsageError{std::string(arg) + " needs a value"};
      return argv[++i];
    };
    if (arg == "--seed") {
      const std::string_view text = value();
      opt.seed = ParseUnsigned(text);
      if (!opt.seed) {
        throw UsageError{"bad seed '" + std::string(text) + "' (want a decimal number from 0 to 18446744073709551615)"};
      }
    } else if (arg == "--shuffle-lines") {
      opt.shuffleLines = true;
    } else if (arg == "--meet-first") {
      opt.render.meetFirst = true;
    } else if (arg == "--line-end") {
      const std::string_view text = value();
      if (text == "crlf") {
        opt.render.lineEnd = optables::LineEnd::CrLf;
      } else if (text == "lf") {
        opt.render.lineEnd = optables::LineEnd::Lf;
      } else if (text == "cr") {
        opt.render.lineEnd = optables::LineEnd::Cr;
      } else {
        throw UsageError{"bad line end '" + std::string(text) + "' (want crlf, lf or cr)"};
      }
    } else if (arg == "--only") {
      const std::string_view text = value();
      if (text != "a" && text != "b") {
        throw UsageError{"bad --only '" + std::string(text) + "' (want a or b)"};
      }
      opt.writeA = text == "a";
      opt.writeB = text == "b";
    } else if (arg == "--dir") {
      opt.dir = value();
      if (opt.dir.empty()) throw UsageError{"--dir needs a non-empty folder name"};
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageError{"unknown option '" + std::string(arg) + "'"};
    } else if (kText) {
      throw UsageError{"only one k may be given, got '" + *kText + "' and '" + std::string(arg) + "'"};
    } else {
      kText = std::string(arg);
    }
  }

  if (!kText) throw UsageError{"missing k"};
  const std::optional<std::uint64_t> k = ParseUnsigned(*kText);
  if (!k || *k < 1 || *k > static_cast<std::uint64_t>(lattice::MaxEquPoints)) {
    throw UsageError{"k must be an integer from 1 to " + std::to_string(lattice::MaxEquPoints) + ", not '" + *kText +
                     "'"};
  }
  opt.k = static_cast<int>(*k);
  if (opt.shuffleLines) opt.render.lineSeed = opt.seed.value_or(1);
  return opt;
}

}  // namespace

int main(int argc, char** argv) {
  // --help, -h and --version anywhere, as in the other programs.
  if (const std::string text =
          runframe::InformationRequest(argc, argv, "optables", std::string(Usage) + "\n" + std::string(Help));
      !text.empty()) {
    return runframe::AnswerInformationRequest(text) == runframe::ExitOk ? 0 : WriteErrorStatus;
  }
  Options opt;
  try {
    opt = ParseArgs(argc, argv);
  } catch (const UsageError& e) {
    std::cerr << "optables: " << e.message << '\n' << Usage << '\n';
    return UsageStatus;
  }

  try {
    lattice::OperationTables tables = lattice::BuildEquTables(opt.k);
    if (opt.seed) {
      tables = optables::Renumber(tables, optables::ShuffledNumbering(tables.size, *opt.seed));
    }
    const optables::WriteRequest request{opt.k, opt.dir, opt.writeA, opt.writeB, opt.render};
    if (const std::string failure = optables::WriteTableFiles(tables, request, runframe::AvailableBytes);
        !failure.empty()) {
      std::cerr << "optables: " << failure << '\n';
      return WriteErrorStatus;
    }
  } catch (const std::exception& e) {
    std::cerr << "optables: " << e.what() << '\n';
    return WriteErrorStatus;
  }
  return 0;
}
