// Reads replayed output lines through the Backup instance as the job does and reports the time and
// the heap allocations per line. Run by hand: bench_read_output_line [lines].

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "fbclient/ClientLibrary.h"
#include "services/BackupInstance.h"
#include "services/TIBBackupService.h"
#include "tests/double/DoubleLoader.h"

namespace {

std::atomic<long long> allocations{0};

}  // namespace

void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}

void operator delete(void* block) noexcept {
  std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}

namespace {

void Measure(services::TIBBackupService& backup, fbdouble::Control& control, int count,
             const std::string& line) {
  control.ReplayServiceLines(count, line);
  backup.ServiceStart();
  long long lines = 0;
  std::size_t bytes = 0;
  const long long allocationsBefore = allocations.load();
  const auto start = std::chrono::steady_clock::now();
  while (!backup.EndOfOutput()) {
    const std::string text = backup.ReadOutputLine();
    bytes += text.size();
    ++lines;
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  const long long allocated = allocations.load() - allocationsBefore;
  const double nanoseconds = std::chrono::duration<double, std::nano>(elapsed).count();
  std::printf(
      "%lld lines of %zu bytes: %.0f ns/line, %.3f allocations/line, %.1f ms total (%zu bytes read)\n", lines,
      line.size(), nanoseconds / static_cast<double>(lines),
      static_cast<double>(allocated) / static_cast<double>(lines), nanoseconds / 1e6, bytes);
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 200000;
  fbdouble::Control& control = fbdouble::LoadVariant("full");
  control.SetForwarding(false);
  control.SetRecording(false);
  fbclient::SetClientLibraryFileName(fbdouble::VariantPath("full"));
  services::TIBBackupService backup;
  services::ApplyBackupInstanceSettings(backup);
  backup.SetDatabaseName("/dados/app.fdb");
  backup.SetServerName("dbhost");
  backup.BackupFile().Add("/backup/app.fbk");
  backup.SetProtocol(services::TProtocol::TCP);
  backup.SetActive(true);
  // A short line fits the returned string's own storage; a typical gbak line needs one allocation.
  Measure(backup, control, count, "gbak: 1 row");
  Measure(backup, control, count, "gbak:    writing data for table DADOS_0 (rows 123456)");
  backup.SetActive(false);
  return 0;
}
