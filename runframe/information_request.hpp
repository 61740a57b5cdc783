#pragma once
// --help, -h and --version, the same in all four programs: anywhere on the
// command line, they answer at once on standard output with status 0, before
// any file is opened or created and without a wait for Enter.
#include <string>
#include <string_view>

namespace runframe {

// The version every program reports, from the project's version.
std::string_view ProjectVersion();

// The text to show for argv: usage when --help or -h is there (it wins over
// --version), "<program> <version>\n" for --version alone; empty otherwise.
std::string InformationRequest(int argc, char** argv, std::string_view program, std::string_view usage);

// Writes text to standard output; ExitOk, or ExitIoError when it cannot.
int AnswerInformationRequest(std::string_view text);

}  // namespace runframe
