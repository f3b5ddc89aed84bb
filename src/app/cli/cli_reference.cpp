#include "app/cli/cli_reference.h"

#include <CLI/CLI.hpp>
#include <functional>
#include <vector>

namespace qm::cli {

namespace {

/// A command as people see it in --help: its words from the program on, and
/// the declaration behind it.
struct Command {
  std::string path;  ///< "quillmere mcp config"
  const CLI::App* app;
};

std::vector<const CLI::App*> visibleSubcommands(const CLI::App& app) {
  // CLI11 hides a subcommand whose group is empty; an unnamed one is an option group.
  return app.get_subcommands(
      [](const CLI::App* sub) { return !sub->get_group().empty() && !sub->get_name().empty(); });
}

std::vector<const CLI::Option*> visibleOptions(const CLI::App& app) {
  return app.get_options([](const CLI::Option* opt) { return !opt->get_group().empty(); });
}

/// Every command, depth first in the order they were declared.
std::vector<Command> allCommands(const CLI::App& app) {
  std::vector<Command> commands;
  std::function<void(const CLI::App&, const std::string&)> walk = [&](const CLI::App& at,
                                                                      const std::string& path) {
    commands.push_back({path, &at});
    for (const CLI::App* sub : visibleSubcommands(at)) walk(*sub, path + " " + sub->get_name());
  };
  walk(app, "quillmere");
  return commands;
}

/// -n and --contacts of an option, as typed.
std::vector<std::string> optionWords(const CLI::Option& opt) {
  std::vector<std::string> words;
  for (const auto& name : opt.get_snames()) words.push_back("-" + name);
  for (const auto& name : opt.get_lnames()) words.push_back("--" + name);
  return words;
}

/// A flag (help and version included) is declared to expect no value.
bool takesValue(const CLI::Option& opt) {
  return opt.get_expected_max() != 0;
}

/// What stands for the option's value in the help: its own text, or the type.
std::string valueName(const CLI::Option& opt) {
  if (!opt.get_option_text().empty()) return opt.get_option_text();
  std::string type = opt.get_type_name();
  return type.empty() ? "VALUE" : type;
}

std::string joined(const std::vector<std::string>& words, std::string_view separator) {
  std::string text;
  for (const auto& word : words) {
    if (!text.empty()) text += separator;
    text += word;
  }
  return text;
}

// ---- roff

/// Text as roff prints it: backslashes and hyphens escaped, and a line never
/// starting with a control character.
std::string roff(std::string_view text) {
  std::string out;
  bool lineStart = true;
  for (char c : text) {
    if (lineStart && (c == '.' || c == '\'')) out += "\\&";
    if (c == '\\')
      out += "\\e";
    else if (c == '-')
      out += "\\-";
    else
      out += c;
    lineStart = c == '\n';
  }
  return out;
}

std::string manOptionHead(const CLI::Option& opt) {
  if (opt.get_positional()) return "\\fI" + roff(opt.get_name()) + "\\fR";
  std::vector<std::string> words;
  for (const auto& word : optionWords(opt)) words.push_back("\\fB" + roff(word) + "\\fR");
  std::string head = joined(words, ", ");
  if (takesValue(opt)) head += " \\fI" + roff(valueName(opt)) + "\\fR";
  return head;
}

std::string manSynopsisArguments(const CLI::App& app) {
  std::string text;
  bool anyOption = false;
  for (const CLI::Option* opt : visibleOptions(app)) {
    if (!opt->get_positional()) {
      anyOption = true;
      continue;
    }
    const std::string name = "\\fI" + roff(opt->get_name()) + "\\fR";
    text += opt->get_required() ? " " + name : " [" + name + "]";
  }
  if (!visibleSubcommands(app).empty())
    text =
        (app.get_require_subcommand_min() == 0 ? " [\\fICOMMAND\\fR]" : " \\fICOMMAND\\fR") + text;
  return (anyOption ? " [\\fIOPTIONS\\fR]" : "") + text;
}

constexpr std::string_view kManDescription = R"(.SH DESCRIPTION
Quillmere is the desktop companion of the Quillmere phone app, used at trade shows to capture
the people one meets. It keeps a local store of the events and contacts synced from the paired
phone.
.PP
.B quillmere
without a command, or
.BR "quillmere run" ,
starts the companion: it listens for the paired phone, serves the MCP server for AI assistants
when it is enabled, and keeps running until interrupted (Ctrl\-C or SIGTERM).
The other commands talk to the running companion over its control socket, or work on the
files directly when it is not running.
The window,
.BR quillmere\-desktop (1),
is a client of the same companion.
.PP
Every command has its own
.BR \-\-help .
)";

constexpr std::string_view kManTail = R"(.SH FILES
.TP
.I ~/.local/share/quillmere/
The store (\fIQuillmereMac.store\fR and its \fI\-wal\fR and \fI\-shm\fR files), the keychain
file, capture images and the log. Honours \fBXDG_DATA_HOME\fR.
.TP
.I ~/.config/quillmere/defaults.json
The settings. Honours \fBXDG_CONFIG_HOME\fR.
.TP
.I $XDG_RUNTIME_DIR/quillmere/control.sock
The running companion's control socket.
.TP
.I /usr/lib/systemd/user/quillmere.service
The systemd user unit of the package:
.B systemctl \-\-user enable \-\-now quillmere
runs the companion at login, as
.B quillmere service install
does.
.TP
.I /usr/share/quillmere/mcp\-bridge/quillmere\-mcp\-bridge.mjs
The bridge that AI desktop clients start (it needs Node.js).
.PP
Installing, upgrading or removing the package never touches the files in the home folder.
.SH ENVIRONMENT
.TP
.B QUILLMERE_HOME
Keeps every file of the program under this one folder instead.
.SH EXIT STATUS
0 on success, 1 when a command fails, 2 when the command line cannot be read.
.SH SEE ALSO
.BR quillmere\-desktop (1),
.BR systemctl (1)
)";

// ---- shell words

std::string subcommandWords(const CLI::App& app) {
  std::vector<std::string> words;
  for (const CLI::App* sub : visibleSubcommands(app)) {
    words.push_back(sub->get_name());
    for (const auto& alias : sub->get_aliases()) words.push_back(alias);
  }
  return joined(words, " ");
}

std::string optionWordList(const CLI::App& app, bool valuedOnly) {
  std::vector<std::string> words;
  for (const CLI::Option* opt : visibleOptions(app)) {
    if (opt->get_positional() || (valuedOnly && !takesValue(*opt))) continue;
    for (const auto& word : optionWords(*opt)) words.push_back(word);
  }
  return joined(words, " ");
}

/// Single-quoted for bash and zsh: a quote closes, is escaped and reopens.
std::string shellQuoted(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

/// "name:description" for zsh's _describe, with the colons of the name escaped.
std::string describeEntry(std::string_view name, std::string_view description) {
  std::string entry;
  for (char c : name) {
    if (c == ':') entry += '\\';
    entry += c;
  }
  std::string line(description.substr(0, description.find('\n')));
  return shellQuoted(entry + ":" + line);
}

}  // namespace

std::string manPage(const CLI::App& app, std::string_view version) {
  const auto commands = allCommands(app);
  std::string page;
  page += ".\\\" Written at build time from the command line the program parses with.\n";
  page += ".TH QUILLMERE 1 \"\" \"quillmere " + roff(version) + "\" \"User Commands\"\n";
  page +=
      ".SH NAME\nquillmere \\- " + roff("the desktop companion of the Quillmere phone app") + "\n";
  page += ".SH SYNOPSIS\n";
  for (const auto& command : commands) {
    // A command that only groups others has no line of its own.
    if (command.app != &app && !visibleSubcommands(*command.app).empty() &&
        command.app->get_require_subcommand_min() > 0)
      continue;
    page += ".br\n\\fB" + roff(command.path) + "\\fR" + manSynopsisArguments(*command.app) + "\n";
  }
  page += kManDescription;
  page += ".SH OPTIONS\n";
  for (const CLI::Option* opt : visibleOptions(app))
    page += ".TP\n" + manOptionHead(*opt) + "\n" + roff(opt->get_description()) + "\n";
  page += ".SH COMMANDS\n";
  for (const auto& command : commands) {
    if (command.app == &app) continue;
    page += ".SS \"" + roff(command.path) + "\"\n";
    page += roff(command.app->get_description()) + "\n";
    for (const CLI::Option* opt : visibleOptions(*command.app)) {
      if (opt == command.app->get_help_ptr()) continue;
      page += ".TP\n" + manOptionHead(*opt) + "\n" + roff(opt->get_description()) + "\n";
    }
    const auto subs = visibleSubcommands(*command.app);
    if (!subs.empty()) {
      std::vector<std::string> names;
      for (const CLI::App* sub : subs) names.push_back("\\fB" + roff(sub->get_name()) + "\\fR");
      page += ".PP\nCommands: " + joined(names, ", ") + ".\n";
    }
  }
  page += kManTail;
  return page;
}

std::string bashCompletion(const CLI::App& app) {
  std::string script =
      "# bash completion for quillmere, written at build time from the command line the\n"
      "# program parses with.\n"
      "declare -gA _quillmere_commands _quillmere_options _quillmere_valued\n";
  for (const auto& command : allCommands(app)) {
    // Keyed by the whole path: bash has no empty key.
    const std::string key = shellQuoted(command.path);
    script +=
        "_quillmere_commands[" + key + "]=" + shellQuoted(subcommandWords(*command.app)) + "\n";
    script += "_quillmere_options[" + key +
              "]=" + shellQuoted(optionWordList(*command.app, false)) + "\n";
    script +=
        "_quillmere_valued[" + key + "]=" + shellQuoted(optionWordList(*command.app, true)) + "\n";
  }
  script += R"(
_quillmere() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local key=quillmere word i
    # The command the words so far name; an option's value is never a command.
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if [[ " ${_quillmere_valued[$key]} " == *" $word "* ]]; then
            ((i++))
        elif [[ " ${_quillmere_commands[$key]} " == *" $word "* ]]; then
            key="$key $word"
        fi
    done
    if [[ " ${_quillmere_valued[$key]} " == *" $prev "* ]]; then
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    elif [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "${_quillmere_options[$key]}" -- "$cur")
    elif [[ -n ${_quillmere_commands[$key]} ]]; then
        mapfile -t COMPREPLY < <(compgen -W "${_quillmere_commands[$key]}" -- "$cur")
    else
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    fi
}
complete -o filenames -F _quillmere quillmere
)";
  return script;
}

std::string zshCompletion(const CLI::App& app) {
  std::string script =
      "#compdef quillmere\n"
      "# zsh completion for quillmere, written at build time from the command line the\n"
      "# program parses with.\n"
      "\n"
      "# The words of one command: its commands (with descriptions), their names,\n"
      "# its options (with descriptions) and those of them that take a value.\n"
      "_quillmere_level() {\n"
      "    case $1 in\n";
  for (const auto& command : allCommands(app)) {
    std::vector<std::string> described, names, options, valued;
    for (const CLI::App* sub : visibleSubcommands(*command.app)) {
      described.push_back(describeEntry(sub->get_name(), sub->get_description()));
      names.push_back(shellQuoted(sub->get_name()));
    }
    for (const CLI::Option* opt : visibleOptions(*command.app)) {
      if (opt->get_positional()) continue;
      for (const auto& word : optionWords(*opt)) {
        options.push_back(describeEntry(word, opt->get_description()));
        if (takesValue(*opt)) valued.push_back(shellQuoted(word));
      }
    }
    script += "    " + shellQuoted(command.path) + ")\n";
    script += "        subs=(" + joined(described, " ") + ")\n";
    script += "        names=(" + joined(names, " ") + ")\n";
    script += "        opts=(" + joined(options, " ") + ")\n";
    script += "        valued=(" + joined(valued, " ") + ") ;;\n";
  }
  script += R"(    esac
}

_quillmere() {
    local key=quillmere word i
    local -a subs names opts valued
    for ((i = 2; i < CURRENT; i++)); do
        word=${words[i]}
        _quillmere_level "$key"
        if (( ${valued[(Ie)$word]} )); then
            ((i++))
        elif (( ${names[(Ie)$word]} )); then
            key="$key $word"
        fi
    done
    _quillmere_level "$key"
    if (( ${valued[(Ie)${words[CURRENT-1]}]} )); then
        _files
    elif [[ $PREFIX == -* ]]; then
        _describe -t options option opts
    elif (( ${#subs} )); then
        _describe -t commands command subs
    else
        _files
    fi
}

_quillmere "$@"
)";
  return script;
}

}  // namespace qm::cli
