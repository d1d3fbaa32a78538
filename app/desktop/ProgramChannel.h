#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>

namespace app {

// How a start from the menu reaches an automatic program of the same program folder that runs without an
// icon (a desktop with no notification area): that program answers under a name of its folder on the
// session bus, and the new start asks it to show its window instead of running a second program beside
// it. The session bus is the user's own, so two users of one installed program never reach each other.
class ProgramChannel : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "com.kelmora.Backup")

 public:
  // The bus name of a program folder (its path as the file system names it, UTF-8).
  static QString ServiceName(const QString& programFolder);

  ProgramChannel() = default;
  ~ProgramChannel() override;

  // Answers from now on for the folder; false when there is no bus or another program holds the name.
  bool Open(QDBusConnection bus, const QString& programFolder);

  // What Show does.
  std::function<void()> OnShow;

 public Q_SLOTS:
  Q_SCRIPTABLE void Show();

 private:
  QDBusConnection bus_{QString()};
  QString service_;
};

// Asks the program that answers for the folder to show its window; true when one did. It waits for the
// answer, which comes at once from a program whose event loop runs (during a job it runs after every line
// of the server's).
bool ShowRunningProgram(QDBusConnection bus, const QString& programFolder);

}  // namespace app
