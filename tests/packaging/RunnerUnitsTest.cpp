// The systemd service and timer the package ships for the runner, and the runner's manual page: checked by
// systemd's own verifier in a tree laid out as the package installs it, and against the maintainer scripts
// that make the group and the backup folder the service relies on.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/FileBytes.h"
#include "tests/support/FirebirdServer.h"
#include "tests/support/TempFolder.h"

namespace {
namespace fs = std::filesystem;
using testsupport::ReadAll;
using testsupport::RunCommand;

const fs::path kSources = PACKAGING_SOURCE_DIR;
const fs::path kGenerated = PACKAGING_GENERATED_DIR;
const fs::path kService = RUNNER_SERVICE;
const fs::path kTimer = RUNNER_TIMER;

// A unit file as systemd reads it: section -> key -> every value given, in order. Comment lines and blank
// lines carry nothing.
using UnitFile = std::map<std::string, std::map<std::string, std::vector<std::string>>>;

UnitFile ReadUnit(const fs::path& path) {
  UnitFile unit;
  std::istringstream lines(ReadAll(path));
  std::string section;
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line.front() == '[' && line.back() == ']') {
      section = line.substr(1, line.size() - 2);
      unit[section];
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    unit[section][line.substr(0, equals)].push_back(line.substr(equals + 1));
  }
  return unit;
}

// The one value of a key, or "<missing>" / "<N values>".
std::string Value(const UnitFile& unit, const std::string& section, const std::string& key) {
  const auto s = unit.find(section);
  if (s == unit.end()) return "<missing>";
  const auto k = s->second.find(key);
  if (k == s->second.end()) return "<missing>";
  if (k->second.size() != 1) return "<" + std::to_string(k->second.size()) + " values>";
  return k->second.front();
}

// A shell variable the maintainer script sets at its top (name=value).
std::string ScriptVariable(const std::string& script, const std::string& name) {
  std::smatch match;
  const std::string text = ReadAll(kSources / "debian" / script);
  if (!std::regex_search(text, match, std::regex("\n" + name + "=([^\n]*)\n"))) return "<missing>";
  return match[1];
}

TEST(RunnerUnits, PassSystemdsVerifierInATreeLaidOutAsThePackageInstallsIt) {
  // The system's own units (the targets the service and timer are ordered against), the runner where
  // ExecStart names it, and the manual page that Documentation= names.
  testsupport::TempFolder root;
  fs::create_directories(root.Path() / "lib/systemd");
  fs::copy("/lib/systemd/system", root.Path() / "lib/systemd/system",
           fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  fs::create_directories(root.Path() / "opt/kelmora-backup");
  fs::copy_file(RUNNER_BINARY, root.Path() / "opt/kelmora-backup/kelmora-backup-run");
  // An installed package's own units may stand there already: the built ones are what is checked.
  for (const fs::path& unit : {kService, kTimer})
    fs::copy_file(unit, root.Path() / "lib/systemd/system" / unit.filename(),
                  fs::copy_options::overwrite_existing);
  fs::create_directories(root.Path() / "man/man1");
  fs::copy_file(kGenerated / "kelmora-backup-run.1.gz", root.Path() / "man/man1/kelmora-backup-run.1.gz");

  std::string output;
  const int code = RunCommand({"systemd-analyze", "verify", "--root=" + root.Path().string(),
                               "kelmora-backup-run.service", "kelmora-backup-run.timer"},
                              &output, {"MANPATH=" + (root.Path() / "man").string()});
  EXPECT_EQ(code, 0) << output;
  EXPECT_EQ(output, "") << "warnings count too";

  // The same verifier notices a runner missing from where ExecStart looks for it.
  fs::remove(root.Path() / "opt/kelmora-backup/kelmora-backup-run");
  EXPECT_NE(RunCommand(
                {"systemd-analyze", "verify", "--root=" + root.Path().string(), "kelmora-backup-run.service"},
                &output, {"MANPATH=" + (root.Path() / "man").string()}),
            0);
}

TEST(RunnerUnits, TheServiceRunsThePackagedRunnerOnceAsTheSystemAccountThatWritesOnlyTheBackupFolder) {
  const UnitFile service = ReadUnit(kService);
  struct Key {
    const char* section;
    const char* name;
    const char* value;
  };
  for (const Key& key :
       {Key{"Service", "ExecStart", "/opt/kelmora-backup/kelmora-backup-run"},
        Key{"Service", "Type", "oneshot"}, Key{"Service", "DynamicUser", "<missing>"},
        Key{"Service", "User", "kelmora-backup"}, Key{"Service", "Group", "kelmora-backup"},
        Key{"Service", "LoadCredential", "credenciais:/etc/kelmora-backup/credenciais"},
        Key{"Service", "TimeoutStartSec", "12h"}, Key{"Service", "ProtectSystem", "strict"},
        Key{"Service", "ReadWritePaths", "/opt/kelmora-backup/backup"}, Key{"Service", "UMask", "0007"},
        Key{"Service", "CapabilityBoundingSet", ""}, Key{"Service", "ProtectProc", "invisible"},
        Key{"Service", "ProcSubset", "pid"}, Key{"Service", "IOSchedulingClass", "idle"},
        Key{"Unit", "Documentation", "man:kelmora-backup-run(1)"}}) {
    EXPECT_EQ(Value(service, key.section, key.name), key.value) << key.section << " " << key.name;
  }
  EXPECT_EQ(service.count("Install"), 0u) << "only the timer starts it: it cannot be enabled on its own";
  // The group, the account and the folder are the ones the package's set-up makes.
  EXPECT_EQ(ScriptVariable("postinst", "account"), "kelmora-backup");
  EXPECT_EQ(ScriptVariable("postinst", "group"), "kelmora-backup");
  for (const char* script : {"postinst", "postrm"})
    EXPECT_EQ(ScriptVariable(script, "folder"), "/opt/kelmora-backup/backup") << script;

  // systemd's own judgement of the sandbox, 5.6 "MEDIUM" before the system account and its hardening.
  std::string output;
  ASSERT_EQ(RunCommand({"systemd-analyze", "security", "--offline=true", kService.string()}, &output), 0)
      << output;
  std::smatch score;
  ASSERT_TRUE(
      std::regex_search(output, score, std::regex(R"(Overall exposure level for \S+: (\d+\.\d) (\w+))")))
      << output;
  EXPECT_LE(std::stod(score[1]), 1.5) << output;
  EXPECT_EQ(score[2], "OK") << output;
}

TEST(RunnerUnits, TheTimerCatchesUpATimeMissedWhileTheMachineWasOffAndIsLeftToTheAdministrator) {
  const UnitFile timer = ReadUnit(kTimer);
  EXPECT_EQ(Value(timer, "Timer", "Persistent"), "true");
  EXPECT_EQ(Value(timer, "Timer", "OnCalendar"), "*-*-* 23:00:00");
  EXPECT_EQ(Value(timer, "Timer", "Unit"), "<missing>") << "it starts the service of its own name";
  EXPECT_EQ(Value(timer, "Install", "WantedBy"), "timers.target");
  std::string output;
  EXPECT_EQ(RunCommand({"systemd-analyze", "calendar", Value(timer, "Timer", "OnCalendar")}, &output), 0)
      << output;
  EXPECT_NE(output.find("Normalized form: *-*-* 23:00:00"), std::string::npos) << output;

  // Nothing of the package enables or starts a unit: the time is the administrator's choice.
  for (const char* script : {"postinst", "prerm", "postrm"}) {
    std::istringstream lines(ReadAll(kSources / "debian" / script));
    for (std::string line; std::getline(lines, line);) {
      const std::size_t first = line.find_first_not_of(' ');
      if (first == std::string::npos || line[first] == '#') continue;
      EXPECT_FALSE(std::regex_search(line, std::regex(R"(\b(enable|start|restart)\b)")))
          << script << ": " << line;
    }
  }
  // The set-up records and the purge removes the links of both units.
  for (const char* script : {"postinst", "postrm"})
    EXPECT_EQ(ScriptVariable(script, "units"), "\"kelmora-backup-run.service kelmora-backup-run.timer\"")
        << script;
}

// The exit codes the runner gives, its --help lists and its manual page explains are the same.
TEST(RunnerManualPage, ExplainsEveryExitCodeTheRunnerLists) {
  const std::set<int> expected = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
  std::string help;
  ASSERT_EQ(RunCommand({RUNNER_BINARY, "--help"}, &help), 0) << help;
  std::set<int> listed;
  const std::regex helpLine(R"((^|\n) {1,3}(\d+)  )");
  for (auto it = std::sregex_iterator(help.begin(), help.end(), helpLine); it != std::sregex_iterator(); ++it)
    listed.insert(std::stoi((*it)[2]));
  EXPECT_EQ(listed, expected) << help;

  const std::string page = ReadAll(kGenerated / "kelmora-backup-run.1");
  const std::size_t exitStatus = page.find(".SH EXIT STATUS\n");
  ASSERT_NE(exitStatus, std::string::npos);
  const std::string section = page.substr(exitStatus, page.find("\n.SH ", exitStatus + 1) - exitStatus);
  std::set<int> explained;
  const std::regex pageEntry(R"(\.TP\n\.B (\d+)\n)");
  for (auto it = std::sregex_iterator(section.begin(), section.end(), pageEntry);
       it != std::sregex_iterator(); ++it)
    explained.insert(std::stoi((*it)[1]));
  EXPECT_EQ(explained, expected) << section;
}

}  // namespace
