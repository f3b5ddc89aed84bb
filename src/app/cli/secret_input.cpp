#include "app/cli/secret_input.h"

#include <termios.h>
#include <unistd.h>

#include <fstream>
#include <iostream>

#include "app/cli/cli_context.h"

namespace qm::cli {

namespace {

/// The first line of `text`, without its line break and surrounding blanks.
std::string firstLine(std::string_view text) {
  text = text.substr(0, text.find('\n'));
  while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t'))
    text.remove_suffix(1);
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  return std::string(text);
}

/// Reads one line from the terminal without showing what is typed.
std::string readHidden(CliContext& context, std::string_view what) {
  std::string prompt(what);
  if (!prompt.empty())
    prompt[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(prompt[0])));
  context.out << prompt << ": " << std::flush;
  termios saved{};
  const bool quiet = tcgetattr(STDIN_FILENO, &saved) == 0;
  if (quiet) {
    termios silent = saved;
    silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSANOW, &silent);
  }
  std::string line;
  std::getline(context.in, line);
  if (quiet) tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  context.out << "\n";
  return line;
}

}  // namespace

Result<std::string> readSecret(CliContext& context, const std::string& file,
                               std::string_view what) {
  std::string line;
  if (!file.empty()) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return Error("Cannot read the " + std::string(what) + " file " + file);
    std::getline(in, line);
  } else if (&context.in == &std::cin && isatty(STDIN_FILENO)) {
    line = readHidden(context, what);
  } else {
    std::getline(context.in, line);
  }
  std::string secret = firstLine(line);
  for (const char c : secret) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f)
      return Error(ErrorCode::invalidArgument,
                   "The " + std::string(what) + " contains control characters");
  }
  return secret;
}

}  // namespace qm::cli
