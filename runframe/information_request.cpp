#include "runframe/information_request.hpp"

#include <cstdio>

#include "runframe/abrupt_end.hpp"

namespace runframe {

std::string_view ProjectVersion() { return GENCOUNT_VERSION; }

std::string InformationRequest(int argc, char** argv, std::string_view program, std::string_view usage) {
  bool version = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") return std::string(usage);
    version = version || arg == "--version";
  }
  return version ? std::string(program) + " " + std::string(ProjectVersion()) + "\n" : std::string();
}

int AnswerInformationRequest(std::string_view text) {
  const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  return written && std::fflush(stdout) == 0 ? ExitOk : ExitIoError;
}

}  // namespace runframe
