// A backup sent to the program (Transferir=1) against gbak writing the same stream to a file: the real
// runner, copied into a program folder of its own, backs up a database of a private Firebird server
// through the services manager with the file "stdout" and writes what arrives into its backup folder;
// `gbak -b -se ... stdout > file` asks the same server for the same stream and lets the shell's file take
// it. Both are timed from their start until they end: the runner's time includes its reading of
// sistema.ini and of the settings row, the database's size it asks for, and the fsync and rename of the
// finished file, which gbak does not do. The figure is bytes of the backup per second.
//
// A second figure times the transfer alone: from the moment the runner creates its ".gbk.part" file, just
// before it sends the request, until it renames the synced file to ".gbk" (inotify tells both); gbak is
// still timed whole, its attachment and process start included. The runner's settings row and its database
// size query come before that moment, so this is the backup's own speed, which the first figure hides on a
// small backup.
//
// Rounds alternate the order (runner first in one round, gbak first in the next); the backup folder is
// emptied and the file system synced before every run.
//
// bench_transfer [data|metadata]... (both by default); BENCH_RUNS rounds (default 7).

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/BenchDatabases.h"
#include "bench/BenchSupport.h"
#include "bench/LogWatcher.h"

namespace {
namespace fs = std::filesystem;
using testsupport::FirebirdServer;

// The runner's only file in the backup folder once it has ended: the log left aside.
fs::path BackupOf(const fs::path& backupFolder) {
  for (const auto& entry : fs::directory_iterator(backupFolder))
    if (entry.path().extension() == ".gbk") return entry.path();
  throw std::runtime_error("the runner left no backup in " + backupFolder.string());
}

double MegabytesPerSecond(std::uintmax_t bytes, double seconds) {
  return static_cast<double>(bytes) / 1e6 / seconds;
}

void Measure(const FirebirdServer& server, const std::string& kind, const fs::path& database) {
  bench::ScratchFolder scratch("transfer-" + kind);
  const fs::path program = scratch.Path() / "program";
  const fs::path backupFolder = program / "backup";
  fs::create_directories(program);
  fs::copy_file(RUNNER_BINARY, program / "kelmora-backup-run");
  // A server account this machine does not know: the server runs elsewhere, nothing is shared with it.
  std::ofstream(program / "sistema.ini", std::ios::binary)
      << "[Dados]\r\nDir=" << server.Location(database)
      << "\r\n[Backup]\r\nSistema=Linux\r\nTransferir=1\r\nContaServidor=kelmora-no-such-account\r\n";
  bench::SetSettingsRow(server, database, "23:59");
  const fs::path reference = scratch.Path() / "reference.gbk";
  const fs::path runnerOutput = scratch.Path() / "runner-output.txt";
  // The folder stays for the watchers; what a run left in it goes.
  fs::create_directories(backupFolder);
  bench::LogWatcher partCreated(backupFolder, bench::LogWatcher::AnyEndingWith{".gbk.part"});
  bench::LogWatcher backupNamed(backupFolder, bench::LogWatcher::AnyEndingWith{".gbk"});
  const auto prepare = [&] {
    for (const auto& entry : fs::directory_iterator(backupFolder))
      fs::remove_all(entry.path());
    fs::remove(reference);
    bench::SyncFileSystem(scratch.Path());
  };
  struct RunnerSpeed {
    double whole = 0;     // MB/s, start to end of the runner
    double transfer = 0;  // MB/s, the part file's creation to its rename
  };
  const auto runner = [&] {
    partCreated.Drain();
    backupNamed.Drain();
    const auto start = bench::Clock::now();
    const pid_t pid = bench::StartToFile({(program / "kelmora-backup-run").string()}, runnerOutput);
    const auto requested = partCreated.WaitForOpen(std::chrono::minutes(10));
    const auto renamed = backupNamed.WaitForRenamedTo(std::chrono::minutes(10));
    const int rc = bench::WaitForChild(pid);
    const double seconds = bench::SecondsSince(start);
    if (rc != 0) {
      std::ifstream said(runnerOutput);
      throw std::runtime_error("the runner ended with " + std::to_string(rc) + ":\n" +
                               std::string(std::istreambuf_iterator<char>(said), {}));
    }
    if (!requested || !renamed) throw std::runtime_error("the runner's part file was not seen renamed");
    const auto bytes = fs::file_size(BackupOf(backupFolder));
    return RunnerSpeed{
        MegabytesPerSecond(bytes, seconds),
        MegabytesPerSecond(bytes, std::chrono::duration<double>(*renamed - *requested).count())};
  };
  const auto gbak = [&] {
    const auto start = bench::Clock::now();
    const int rc =
        bench::RunToFile({"gbak", "-b", "-se", server.ServiceManager(), database.string(), "stdout", "-user",
                          FirebirdServer::kUser, "-password", FirebirdServer::kPassword},
                         reference);
    const double seconds = bench::SecondsSince(start);
    if (rc != 0) throw std::runtime_error("gbak ended with " + std::to_string(rc));
    return MegabytesPerSecond(fs::file_size(reference), seconds);
  };

  // One untimed run of each warms the server's page cache.
  prepare();
  runner();
  prepare();
  gbak();

  const int runs = bench::RunCount(7);
  std::vector<double> ours, oursTransfer, theirs, ratios, transferRatios;
  for (int round = 0; round < runs; ++round) {
    for (int side = 0; side < 2; ++side) {
      prepare();
      if ((side == 0) == (round % 2 == 0)) {
        const RunnerSpeed speed = runner();
        ours.push_back(speed.whole);
        oursTransfer.push_back(speed.transfer);
      } else {
        theirs.push_back(gbak());
      }
    }
    ratios.push_back(ours.back() / theirs.back());
    transferRatios.push_back(oursTransfer.back() / theirs.back());
    std::printf(
        "  %s round %d: runner %.1f MB/s (transfer %.1f), gbak %.1f MB/s, ratio %.3f (transfer %.3f) "
        "(load %s)\n",
        kind.c_str(), round + 1, ours.back(), oursTransfer.back(), theirs.back(), ratios.back(),
        transferRatios.back(), bench::LoadAverage().c_str());
    std::fflush(stdout);
  }
  const double referenceSpeed = bench::Median(theirs);
  std::printf("  %s: median of the round ratios %.3f, of the transfer alone %.3f\n", kind.c_str(),
              bench::Median(ratios), bench::Median(transferRatios));
  const std::string databaseText = kind + "-heavy database (" +
                                   bench::Fixed(static_cast<double>(fs::file_size(database)) / 1e6, 0) +
                                   " MB)";
  const auto report = [&](const std::string& what, const std::vector<double>& speeds) {
    const double median = bench::Median(speeds);
    bench::Report("Backup sent to the program (Transferir=1), " + what + ", " + databaseText,
                  bench::Fixed(median, 1) + " MB/s",
                  "gbak stdout " + bench::Fixed(referenceSpeed, 1) + " MB/s",
                  bench::Fixed(median / referenceSpeed, 3), ">= 1.00", median >= referenceSpeed);
  };
  report("runner start to end", ours);
  report("request to the renamed file", oursTransfer);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> kinds;
  for (int i = 1; i < argc; ++i)
    kinds.emplace_back(argv[i]);
  if (kinds.empty()) kinds = {"data", "metadata"};
  try {
    FirebirdServer server;
    for (const std::string& kind : kinds) {
      if (kind == "data") {
        Measure(server, kind, bench::DataHeavyDatabase(server));
      } else if (kind == "metadata") {
        Measure(server, kind, bench::MetadataHeavyDatabase(server));
      } else {
        std::fprintf(stderr, "unknown database kind %s (data or metadata)\n", kind.c_str());
        return 2;
      }
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_transfer: %s\n", error.what());
    return 1;
  }
  return 0;
}
