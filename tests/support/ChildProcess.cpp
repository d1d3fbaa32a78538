#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

extern char** environ;

namespace testsupport {
namespace {

std::string VariableName(const std::string& entry) {
  return entry.substr(0, entry.find('='));
}

bool IsServerVariable(const std::string& name) {
  return name == "FIREBIRD" || name == "FIREBIRD_LOCK" || name == "FIREBIRD_TMP" || name.starts_with("ISC_");
}

}  // namespace

std::vector<char*> CStrings(std::vector<std::string>& strings) {
  std::vector<char*> result;
  for (auto& text : strings)
    result.push_back(text.data());
  result.push_back(nullptr);
  return result;
}

std::vector<std::string> ChildEnvironment(const std::vector<std::string>& extra,
                                          const std::vector<std::string>& dropped) {
  std::vector<std::string> result;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text(*entry);
    const std::string name = VariableName(text);
    const bool given = std::any_of(extra.begin(), extra.end(),
                                   [&](const std::string& entry) { return VariableName(entry) == name; });
    const bool unwanted = std::find(dropped.begin(), dropped.end(), name) != dropped.end();
    if (!IsServerVariable(name) && !given && !unwanted) result.push_back(text);
  }
  result.insert(result.end(), extra.begin(), extra.end());
  return result;
}

pid_t StartLogged(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                  const std::filesystem::path& log, Detach detach,
                  const std::filesystem::path& workingFolder) {
  std::vector<std::string> args = argv;
  std::vector<std::string> env = environment;
  const std::vector<char*> cArgs = CStrings(args);
  const std::vector<char*> cEnv = CStrings(env);
  const std::string logPath = log.empty() ? std::string("/dev/null") : log.string();
  const std::string folder = workingFolder.string();
  const pid_t pid = fork();
  if (pid == 0) {
    if (detach == Detach::Session) {
      setsid();
    } else {
      setpgid(0, 0);
    }
    const int out = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (out >= 0) {
      dup2(out, 1);
      dup2(out, 2);
    }
    const int in = open("/dev/null", O_RDONLY);
    if (in >= 0) dup2(in, 0);
    if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(126);
    execvpe(cArgs[0], cArgs.data(), cEnv.data());
    _exit(127);
  }
  if (pid < 0) throw std::runtime_error("cannot start " + argv.front());
  return pid;
}

}  // namespace testsupport
