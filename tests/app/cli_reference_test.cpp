// The man page and completions written from a command-line declaration: what
// they list follows CLI11's own rules (hidden commands, flags, aliases), and
// descriptions are escaped so that roff prints them as written.
#include <gmock/gmock.h>

#include <CLI/CLI.hpp>
#include <fstream>

#include "app/cli/cli_reference.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

/// A small command line with the cases the real one has.
struct Declared {
  Declared() {
    auto* tidy = app.add_subcommand("tidy", ".starts with a dot, has a back\\slash and -- dashes");
    tidy->alias("clean");
    tidy->add_option("--out", out, "Where the tidied file goes");
    tidy->add_flag("--dry-run", dryRun, "Only say what would change");
    tidy->add_option("file", file, "The file to tidy")->required();
    app.add_subcommand("secret", "Not for people")->group("");
  }
  CLI::App app{"A tool", "quillmere"};
  std::string out, file;
  bool dryRun = false;
};

TEST(CliReference, ManPageRendersDescriptionsAsWritten) {
  Declared declared;
  test::TempDir dir;
  const auto page = dir / "quillmere.1";
  std::ofstream(page) << cli::manPage(declared.app, "9.9.9");
  auto rendered = test::runCommand("/usr/bin/man", {"--warnings", "-l", page.string()},
                                   {{"MANWIDTH", "200"}, {"MAN_KEEP_FORMATTING", ""}});
  ASSERT_EQ(rendered.exitCode, 0) << rendered.err;
  EXPECT_EQ(rendered.err, "");
  EXPECT_THAT(rendered.out, HasSubstr(".starts with a dot, has a back\\slash and -- dashes"));
  EXPECT_THAT(rendered.out, HasSubstr("quillmere tidy [OPTIONS] file"));
  EXPECT_THAT(rendered.out, HasSubstr("--out TEXT"));
  // A flag takes no value; a hidden command is not listed.
  EXPECT_THAT(rendered.out, HasSubstr("--dry-run\n"));
  EXPECT_THAT(rendered.out, Not(HasSubstr("secret")));
  EXPECT_THAT(rendered.out, HasSubstr("quillmere 9.9.9"));
}

TEST(CliReference, CompletionsOfferVisibleCommandsAliasesAndValuedOptions) {
  Declared declared;
  const std::string bash = cli::bashCompletion(declared.app);
  EXPECT_THAT(bash, HasSubstr("_quillmere_commands['quillmere']='tidy clean'"));
  EXPECT_THAT(bash, HasSubstr("_quillmere_valued['quillmere tidy']='--out'"));
  EXPECT_THAT(bash, HasSubstr("_quillmere_options['quillmere tidy']='-h --help --out --dry-run'"));
  EXPECT_THAT(bash, Not(HasSubstr("secret")));

  const std::string zsh = cli::zshCompletion(declared.app);
  EXPECT_THAT(zsh, HasSubstr("'tidy:.starts with a dot, has a back\\slash and -- dashes'"));
  EXPECT_THAT(zsh, HasSubstr("valued=('--out')"));
  EXPECT_THAT(zsh, Not(HasSubstr("secret")));
}

}  // namespace
}  // namespace qm
