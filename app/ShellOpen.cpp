#include "app/ShellOpen.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace app {
namespace {

bool IsRunnable(const QFileInfo& candidate) {
  return candidate.isFile() && candidate.isExecutable();
}

}  // namespace

QString ResolveShellFile(const QString& file) {
  if (file.isEmpty()) return {};
  if (file.contains(QLatin1Char('/'))) {
    const QFileInfo given(file);
    return IsRunnable(given) ? given.absoluteFilePath() : QString();
  }
  const QFileInfo inCurrentFolder(QDir::current(), file);
  if (IsRunnable(inCurrentFolder)) return inCurrentFolder.absoluteFilePath();
  const QString path = qEnvironmentVariable("PATH");
  for (const QString& folder : path.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
    // A relative PATH entry would make the result depend on the current folder a second time.
    if (!QDir::isAbsolutePath(folder)) continue;
    const QFileInfo candidate(QDir(folder), file);
    if (IsRunnable(candidate)) return candidate.absoluteFilePath();
  }
  return {};
}

bool ShellOpen(const QString& file) {
  const QString program = ResolveShellFile(file);
  return !program.isEmpty() && QProcess::startDetached(program, {});
}

}  // namespace app
