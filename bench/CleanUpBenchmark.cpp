// The job's clean-up of a backup folder holding 20,000 files old enough to be deleted (list the
// folder, read every entry's last-write time, delete the expired ones) against `find -delete` of the
// same files. Ours is timed as the whole job, click to "Backup concluído.", with the client library
// double answering the backup at once, so it includes the job's own fixed cost (printed separately:
// the same job on an empty folder). The reference is `find FOLDER -type f -delete`. Every run gets a
// freshly made folder, synced to the disk first; runs alternate.
//
// bench_cleanup [files] (20,000 by default); BENCH_RUNS rounds (default 5).

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "app/window/TfrmBackup.h"
#include "bench/BenchSupport.h"
#include "bench/JobWindow.h"

namespace {
namespace fs = std::filesystem;

// Files last written 30 days ago, well past the 7 retention days the job is given.
void MakeOldFiles(const fs::path& folder, int count) {
  fs::create_directories(folder);
  const time_t old = ::time(nullptr) - 30 * 86400;
  const struct timespec times[2] = {{old, 0}, {old, 0}};
  const std::string bytes = "an old backup file that the retention days have expired\n";
  for (int i = 0; i < count; ++i) {
    const fs::path file = folder / ("APP_2024" + std::to_string(100000 + i) + ".gbk");
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
      throw std::runtime_error("cannot write " + file.string());
    ::futimens(fd, times);
    ::close(fd);
  }
  bench::SyncFileSystem(folder);
}

size_t EntriesIn(const fs::path& folder) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

}  // namespace

int main(int argc, char** argv) {
  const int files = argc > 1 ? std::atoi(argv[1]) : 20000;
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);  // the clean-up does not touch the window
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Backup"));
  QApplication::setQuitOnLastWindowClosed(false);
  try {
    fbdouble::Control& control = bench::ServeFromDouble();

    bench::ScratchFolder scratch("cleanup");
    bench::JobWindow window(scratch.Path() / "program", "dbserver:/dados/app.fdb", false);
    window.Form().Settings().retentionDays = 7;
    const fs::path folder = window.BackupFolder();
    const fs::path referenceFolder = scratch.Path() / "reference";

    const int runs = bench::RunCount(5);
    std::vector<double> ours, find, empty;
    for (int round = 0; round < runs; ++round) {
      for (int side = 0; side < 3; ++side) {
        const int which = (side + round) % 3;
        window.ClearBackupFolder();
        fs::remove_all(referenceFolder);
        if (which == 0) {
          MakeOldFiles(folder, files);
          control.ReplayServiceLines(0, "");
          ours.push_back(window.RunJob());
          if (EntriesIn(folder) != 1) throw std::runtime_error("the clean-up left files behind");
        } else if (which == 1) {
          MakeOldFiles(referenceFolder, files);
          const auto start = bench::Clock::now();
          if (bench::RunToFile({"find", referenceFolder.string(), "-type", "f", "-delete"}) != 0)
            throw std::runtime_error("find failed");
          find.push_back(bench::SecondsSince(start));
          if (EntriesIn(referenceFolder) != 0) throw std::runtime_error("find left files behind");
        } else {
          fs::create_directories(folder);
          bench::SyncFileSystem(folder);
          control.ReplayServiceLines(0, "");
          empty.push_back(window.RunJob());
        }
      }
      std::printf("  round %d: job %.3f s, find -delete %.3f s, job on an empty folder %.3f s\n", round + 1,
                  ours.back(), find.back(), empty.back());
      std::fflush(stdout);
    }
    const double job = bench::Median(ours);
    const double reference = bench::Median(find);
    const double ratio = job / reference;
    std::printf("  the job's fixed cost on an empty folder: %.1f ms\n", bench::Median(empty) * 1000);
    bench::Report("Clean-up of " + bench::Grouped(files) + " expired files (whole job)",
                  bench::Fixed(job, 3) + " s", "find -delete " + bench::Fixed(reference, 3) + " s",
                  bench::Fixed(ratio, 2), "<= 1.50", ratio <= 1.5);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_cleanup: %s\n", error.what());
    return 1;
  }
  return 0;
}
