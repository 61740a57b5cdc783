#include "genexact/options.hpp"

#include <optional>

#include "genexact/element_width.hpp"

#include "runframe/int_conversion.hpp"
#include "runframe/run_frame.hpp"

namespace genexact {
namespace {

// The value after option `name`; the option's message when it is missing.
const std::string& Value(const std::vector<std::string>& p, std::size_t& i, const std::string& name) {
  if (i + 1 >= p.size()) runframe::FatalStop("Option " + name + " needs a value");
  return p[++i];
}

// Text that is no number and a number out of range get the same message,
// which names the option.
std::int32_t Number(const std::string& text, const std::string& name, std::int32_t low, std::int32_t high) {
  const std::optional<std::int32_t> parsed = runframe::ParseInteger(text);
  if (!parsed || *parsed < low || *parsed > high) {
    runframe::FatalStop("Option " + name + " takes a number from " + std::to_string(low) + " to " +
                        std::to_string(high));
  }
  return *parsed;
}

SizeChoice Size(const std::string& text) {
  SizeChoice s;
  if (text == "auto") {
    s.automatic = true;
  } else {
    s.value = Number(text, "--sizes", 1, MaxFactorElements);
  }
  return s;
}

}  // namespace

Options ParseOptions(const std::vector<std::string>& p) {
  Options o;
  for (std::size_t i = 0; i < p.size(); ++i) {
    const std::string& name = p[i];
    if (name == "--threads") {
      o.threads = Number(Value(p, i, name), name, 1, 1024);
    } else if (name == "--checkpoint") {
      o.checkpoint = Value(p, i, name);
      // An empty name used to run without a checkpoint, silently.
      if (o.checkpoint.empty()) runframe::FatalStop("Option --checkpoint needs a file name");
    } else if (name == "--save-every") {
      o.saveEverySeconds = Number(Value(p, i, name), name, 1, 86400);
    } else if (name == "--progress-every") {
      o.progressEverySeconds = Number(Value(p, i, name), name, 1, 86400);
    } else if (name == "--shard") {
      const std::string& text = Value(p, i, name);
      const std::size_t slash = text.find('/');
      if (slash == std::string::npos) runframe::FatalStop("Option --shard takes i/K, e.g. 2/5");
      o.shardCount = Number(text.substr(slash + 1), name, 1, 1000000);
      o.shardIndex = Number(text.substr(0, slash), name, 1, o.shardCount);
    } else if (name == "--merge") {
      // The files are the rest of the command line.
      o.merge.assign(p.begin() + static_cast<std::ptrdiff_t>(i) + 1, p.end());
      if (o.merge.empty()) runframe::FatalStop("Option --merge needs at least one partial-result file");
      break;
    } else if (name == "--sizes") {
      o.sizeA = Size(Value(p, i, name));
      o.sizeB = Size(Value(p, i, name));
    } else if (name == "--stop-after") {
      o.stopAfterUnits = Number(Value(p, i, name), name, 1, 2147483647);
    } else if (name == "--tables") {
      o.tableA = Value(p, i, name);
      o.tableB = Value(p, i, name);
      if (o.tableA.empty() || o.tableB.empty()) runframe::FatalStop("Option --tables needs two file names");
    } else if (name == "--plan-file") {
      o.planFile = Value(p, i, name);
      if (o.planFile.empty()) runframe::FatalStop("Option --plan-file needs a file name");
    } else if (name == "--equ-tables") {
      o.equTables = true;
    } else if (name == "--units") {
      o.unitList = Value(p, i, name);
      if (o.unitList.empty()) runframe::FatalStop("Option --units needs a file name");
    } else if (name == "--sample") {
      o.sampleUnits = Number(Value(p, i, name), name, 1, 2147483647);
    } else {
      runframe::FatalStop("Unknown option " + name);
    }
  }
  if (o.sampleUnits > 0 && (!o.merge.empty() || !o.checkpoint.empty() || o.shardCount > 1)) {
    runframe::FatalStop("Option --sample goes with none of --merge, --checkpoint, --shard");
  }
  // The list is written instead of a count, or with a merged one.
  if (!o.unitList.empty() && (o.sampleUnits > 0 || !o.checkpoint.empty() || o.shardCount > 1 || o.stopAfterUnits > 0)) {
    runframe::FatalStop("Option --units goes with none of --sample, --checkpoint, --shard, --stop-after");
  }
  // A stop after U units keeps them only in a file: without one it would end
  // with the status that promises a resumable run and keep nothing.
  if (o.stopAfterUnits > 0 && o.checkpoint.empty() && o.shardCount == 1 && o.merge.empty()) {
    runframe::FatalStop("Option --stop-after needs --checkpoint or --shard to keep the finished units");
  }
  return o;
}

std::string DefaultShardFile(const runframe::RunContext& run, std::int32_t shardIndex, std::int32_t shardCount) {
  const std::string factors = run.namedTables ? run.namedTables->firstLabel + "-" + run.namedTables->secondLabel
                                              : std::to_string(run.n) + "-" + std::to_string(run.m);
  return "genexact-" + factors + "-shard-" + std::to_string(shardIndex) + "-of-" + std::to_string(shardCount) + ".part";
}

std::string CommandHead(const runframe::RunContext& run) {
  if (run.namedTables) return "genexact --tables " + run.namedTables->first + " " + run.namedTables->second;
  return "genexact " + run.parameters[0] + " " + run.parameters[1];
}

Options CheckExactOptions(runframe::RunContext& run) {
  const std::vector<std::string>& p = run.parameters;
  // genexact --tables FILE_A FILE_B [options]: the files take the place of n
  // and m, and their sizes are read off the files unless --sizes says.
  if (!p.empty() && p[0].rfind("--", 0) == 0) {
    Options o = ParseOptions(p);
    if (o.tableA.empty()) (void)runframe::ParseSizeParameter(run, 1);  // the message about a missing n
    if (o.equTables) runframe::FatalStop("Option --equ-tables builds Equ(n) and Equ(m); it does not go with --tables");
    if (!o.sizeA.automatic && o.sizeA.value == 0) o.sizeA.automatic = true;
    if (!o.sizeB.automatic && o.sizeB.value == 0) o.sizeB.automatic = true;
    run.namedTables = runframe::RunContext::NamedTables{o.tableA, o.tableB, runframe::TableLabel(o.tableA),
                                                        runframe::TableLabel(o.tableB)};
    return o;
  }
  // n and m first, so that their messages come before any about the options.
  (void)runframe::ParseSizeParameter(run, 1);
  (void)runframe::ParseSizeParameter(run, 2);
  Options o = ParseOptions(std::vector<std::string>(p.begin() + 2, p.end()));
  if (!o.tableA.empty()) runframe::FatalStop("Option --tables takes the place of n and m");
  if (o.equTables) {
    if (o.sizeA.automatic || o.sizeA.value > 0) {
      runframe::FatalStop("Option --sizes is for table files; --equ-tables builds Equ(n) and Equ(m)");
    }
    run.builtTables = "Equ(" + run.parameters[0] + ") and Equ(" + run.parameters[1] + ")";
  }
  return o;
}

}  // namespace genexact
