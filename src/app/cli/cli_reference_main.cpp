// quillmere-cli-reference: writes, at build time, what the package installs
// about the command line: the man page, the bash and zsh completions, and the
// systemd user unit, from the same declarations `quillmere` itself uses.
//
//   quillmere-cli-reference man|bash|zsh OUTPUT
//   quillmere-cli-reference unit OUTPUT PROGRAM
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

#include "app/cli/cli_context.h"
#include "app/cli/cli_reference.h"
#include "app/cli/command_line.h"
#include "app/cli/service_unit.h"
#include "common/atomic_file.h"
#include "common/version.h"

int main(int argc, char** argv) {
  const std::string kind = argc > 1 ? argv[1] : "";
  const bool unit = kind == "unit";
  if (argc != (unit ? 4 : 3) || !(unit || kind == "man" || kind == "bash" || kind == "zsh")) {
    std::fprintf(stderr,
                 "usage: quillmere-cli-reference man|bash|zsh OUTPUT\n"
                 "       quillmere-cli-reference unit OUTPUT PROGRAM\n");
    return 2;
  }
  std::string text;
  if (unit) {
    auto unitText = qm::cli::serviceUnitText(argv[3], "");
    if (!unitText) {
      std::fprintf(stderr, "%s\n", unitText.error().message.c_str());
      return 1;
    }
    text = std::move(*unitText);
  } else {
    // The commands are declared, never run: nothing reads these streams.
    std::istringstream in;
    std::ostringstream out;
    qm::cli::CliContext context{qm::AppPaths::fromEnvironment(), in, out, out, false};
    int exitCode = 0;
    CLI::App app{qm::cli::kProgramDescription, "quillmere"};
    qm::cli::declareCommandLine(app, context, exitCode);
    if (kind == "man")
      text = qm::cli::manPage(app, qm::quillmereVersion());
    else if (kind == "bash")
      text = qm::cli::bashCompletion(app);
    else
      text = qm::cli::zshCompletion(app);
  }
  if (auto written = qm::writeFileAtomically(argv[2], text); !written) {
    std::fprintf(stderr, "%s\n", written.error().message.c_str());
    return 1;
  }
  return 0;
}
