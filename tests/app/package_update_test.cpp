// The check for a newer package, against the real apt-cache and dpkg: a
// private APT setup (its own sources list, lists folder and dpkg status) with
// a local `file:` repository, so that neither root nor an installed package
// is needed.
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/package_update.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using State = UpdateCheck::State;

void writeText(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

/// A machine as APT sees it: quillmere installed at `installedVersion` (in a
/// dpkg status file of its own) and a flat repository offering the versions
/// added with `offer`.
class AptMachine {
 public:
  explicit AptMachine(const std::string& installedVersion) {
    writeText(dir_ / "status",
              "Package: quillmere\n"
              "Status: install ok installed\n"
              "Priority: optional\n"
              "Section: misc\n"
              "Maintainer: Quillmere <packages@quillmere.invalid>\n"
              "Architecture: all\n"
              "Version: " +
                  installedVersion +
                  "\n"
                  "Description: installed for the test\n\n");
    writeText(dir_ / "sources.list",
              "deb [trusted=yes] file:" + (dir_ / "repo").string() + " ./\n");
    for (const char* folder :
         {"repo/pool", "lists/partial", "cache/archives/partial", "parts", "preferences.d"})
      fs::create_directories(dir_ / folder);
    writeText(dir_ / "program", "");
  }

  /// Builds a package of quillmere at `version` into the repository.
  void offer(const std::string& version) {
    const fs::path root = dir_ / ("build-" + version);
    writeText(root / "DEBIAN/control",
              "Package: quillmere\n"
              "Version: " +
                  version +
                  "\n"
                  "Architecture: all\n"
                  "Maintainer: Quillmere <packages@quillmere.invalid>\n"
                  "Description: offered by the test\n");
    writeText(root / "usr/share/doc/quillmere/README", version + "\n");
    const fs::path deb = dir_ / "repo/pool" / ("quillmere_" + version + "_all.deb");
    auto built = test::runCommand(
        "/usr/bin/dpkg-deb", {"--root-owner-group", "--build", root.string(), deb.string()}, {});
    ASSERT_EQ(built.exitCode, 0) << built.err;
  }

  /// Indexes the repository and lets APT read it, as `apt update` does.
  void update() {
    auto packages = test::runCommand(
        "/bin/sh",
        {"-c", "cd \"$0\" && apt-ftparchive packages pool > Packages", (dir_ / "repo").string()},
        {});
    ASSERT_EQ(packages.exitCode, 0) << packages.err;
    std::vector<std::string> args;
    for (const auto& option : aptOptions()) {
      args.push_back("-o");
      args.push_back(option);
    }
    args.push_back("update");
    auto updated = test::runCommand("/usr/bin/apt-get", args, {});
    ASSERT_EQ(updated.exitCode, 0) << updated.out << updated.err;
  }

  std::vector<std::string> aptOptions() const {
    return {"Dir::Etc::sourcelist=" + (dir_ / "sources.list").string(),
            "Dir::Etc::sourceparts=" + (dir_ / "parts").string(),
            "Dir::Etc::preferences=" + (dir_ / "preferences").string(),
            "Dir::Etc::preferencesparts=" + (dir_ / "preferences.d").string(),
            "Dir::State::Lists=" + (dir_ / "lists").string(),
            "Dir::State::status=" + (dir_ / "status").string(),
            "Dir::Cache=" + (dir_ / "cache").string(),
            "Debug::NoLocking=1",
            "APT::Sandbox::User=root"};
  }

  UpdateCheck check() const {
    UpdateCheckSetup setup;
    setup.program = dir_ / "program";
    setup.packagedProgram = dir_ / "program";
    setup.aptOptions = aptOptions();
    return checkForUpdate(setup);
  }

 private:
  test::TempDir dir_;
};

TEST(PackageUpdate, FindsANewerPackageInTheRepository) {
  AptMachine machine("0.1.0-1");
  machine.offer("0.1.0-1");
  machine.offer("0.2.0-1");
  machine.update();
  const auto check = machine.check();
  EXPECT_EQ(check.state, State::available) << check.problem;
  EXPECT_EQ(check.installed, "0.1.0-1");
  EXPECT_EQ(check.candidate, "0.2.0-1");
  EXPECT_THAT(describeUpdateCheck(check), HasSubstr("sudo apt install quillmere"));
}

TEST(PackageUpdate, OrdersVersionsAsDebianDoes) {
  // A release candidate (~rc1) comes before its release; a new revision after.
  AptMachine rc("0.2.0~rc1-1");
  rc.offer("0.2.0-1");
  rc.update();
  EXPECT_EQ(rc.check().state, State::available);

  AptMachine revision("0.2.0-1");
  revision.offer("0.2.0-2");
  revision.update();
  EXPECT_EQ(revision.check().candidate, "0.2.0-2");
  EXPECT_EQ(revision.check().state, State::available);
}

TEST(PackageUpdate, AnOlderOrEqualPackageIsNoUpdate) {
  AptMachine equal("0.2.0-1");
  equal.offer("0.2.0-1");
  equal.update();
  const auto same = equal.check();
  EXPECT_EQ(same.state, State::upToDate) << same.problem;
  EXPECT_THAT(describeUpdateCheck(same), HasSubstr("0.2.0-1 is the newest version"));

  AptMachine newer("0.3.0-1");
  newer.offer("0.2.0-1");
  newer.offer("0.3.0~rc1-1");
  newer.update();
  EXPECT_EQ(newer.check().state, State::upToDate);
  EXPECT_EQ(newer.check().installed, "0.3.0-1");
}

TEST(PackageUpdate, WithoutARepositoryTheInstalledVersionIsTheNewest) {
  AptMachine machine("0.1.0-1");
  machine.update();
  EXPECT_EQ(machine.check().state, State::upToDate);
}

TEST(PackageUpdate, AProgramOutsideThePackageSaysHowItUpdates) {
  test::TempDir tree;
  writeText(tree / "CMakeCache.txt", "");
  writeText(tree / "quillmere", "");
  UpdateCheckSetup setup;
  setup.program = tree / "quillmere";
  const auto fromBuild = checkForUpdate(setup);
  EXPECT_EQ(fromBuild.state, State::notFromPackage);
  EXPECT_TRUE(fromBuild.buildTree);
  EXPECT_THAT(describeUpdateCheck(fromBuild), HasSubstr("git pull"));
  EXPECT_THAT(describeUpdateCheck(fromBuild), HasSubstr("bash scripts/run.sh"));

  fs::remove(tree / "CMakeCache.txt");
  const auto byHand = checkForUpdate(setup);
  EXPECT_EQ(byHand.state, State::notFromPackage);
  EXPECT_FALSE(byHand.buildTree);
}

TEST(PackageUpdate, ReadsAptCachePolicy) {
  const std::string output =
      "quillmere:\n"
      "  Installed: (none)\n"
      "  Candidate: 1:0.2.0-1\n"
      "  Version table:\n"
      "     1:0.2.0-1 500\n"
      "        500 file:/srv/repo ./ Packages\n";
  auto policy = parseAptPolicy(output, "quillmere");
  ASSERT_TRUE(policy);
  EXPECT_EQ(policy->installed, "");
  EXPECT_EQ(policy->candidate, "1:0.2.0-1");
  // Another package's block is not ours; an unknown package has none.
  auto other = parseAptPolicy(output, "quillmere-extra");
  ASSERT_TRUE(other);
  EXPECT_EQ(other->candidate, "");
  EXPECT_FALSE(parseAptPolicy("quillmere:\n  Installed: 0.1.0-1\n", "quillmere"));
}

TEST(PackageUpdate, AnAptThatCannotBeAskedIsAFailure) {
  test::TempDir dir;
  writeText(dir / "program", "");
  writeText(dir / "sources.list", "not a sources line\n");
  fs::create_directories(dir / "parts");
  UpdateCheckSetup setup;
  setup.program = dir / "program";
  setup.packagedProgram = dir / "program";
  setup.aptOptions = {"Dir::Etc::sourcelist=" + (dir / "sources.list").string(),
                      "Dir::Etc::sourceparts=" + (dir / "parts").string()};
  const auto check = checkForUpdate(setup);
  EXPECT_EQ(check.state, State::failed);
  EXPECT_THAT(check.problem, HasSubstr("apt-cache policy failed"));
  EXPECT_THAT(describeUpdateCheck(check), HasSubstr("Cannot ask APT for updates"));
}

}  // namespace
}  // namespace qm
