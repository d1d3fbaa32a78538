// CopyFileBytes on a 1 GiB file against cp, both copying the same file into the same folder.
//
// The page cache: nothing system-wide is dropped. Each side is measured twice over:
//   cold - before every run the source's own pages are evicted with posix_fadvise(DONTNEED) (only this
//          file's clean pages; the fraction still cached is checked with mincore and printed), so the
//          source is read from the disk;
//   warm - the source is read once before every run, so it comes from the page cache.
// The copy is timed until the copier returns, with its pages still dirty in the cache, as a user
// sees it; between runs the copy is deleted and the file system synced, so no run pays for the
// write-back of another. Runs alternate between the two copiers.
//
// bench_copy [MiB] (1024 by default); BENCH_RUNS rounds per mode (default 5).

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "bench/BenchSupport.h"
#include "platform/Machine.h"

namespace {
namespace fs = std::filesystem;

// Bytes that neither compress nor form holes, so no layer below can take a shortcut.
void WriteSource(const fs::path& path, std::uint64_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot create " + path.string());
  std::vector<std::uint64_t> block(1 << 19);
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  for (std::uint64_t done = 0; done < size;) {
    for (auto& word : block) {
      state ^= state << 13;
      state ^= state >> 7;
      state ^= state << 17;
      word = state;
    }
    const size_t bytes = static_cast<size_t>(std::min<std::uint64_t>(size - done, block.size() * 8));
    if (::write(fd, block.data(), bytes) != static_cast<ssize_t>(bytes))
      throw std::runtime_error("write failed");
    done += bytes;
  }
  ::fsync(fd);
  ::close(fd);
}

double CachedFraction(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  const size_t size = fs::file_size(path);
  void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
  ::close(fd);
  if (map == MAP_FAILED) return -1;
  const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  std::vector<unsigned char> resident((size + page - 1) / page);
  double fraction = -1;
  if (::mincore(map, size, resident.data()) == 0) {
    size_t cached = 0;
    for (unsigned char flags : resident)
      cached += flags & 1;
    fraction = static_cast<double>(cached) / static_cast<double>(resident.size());
  }
  ::munmap(map, size);
  return fraction;
}

void Evict(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ::fdatasync(fd);
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  ::close(fd);
}

void ReadThrough(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  std::vector<char> buffer(1 << 20);
  while (::read(fd, buffer.data(), buffer.size()) > 0) {
  }
  ::close(fd);
}

void Measure(const fs::path& source, const fs::path& folder, bool cold, std::uint64_t size) {
  const fs::path destination = folder / "copy.gbk";
  const auto prepare = [&] {
    fs::remove(destination);
    bench::SyncFileSystem(folder);
    if (cold) {
      Evict(source);
    } else {
      ReadThrough(source);
    }
  };
  const int runs = bench::RunCount(5);
  std::vector<double> ours, cp;
  double cachedBefore = 0;
  for (int round = 0; round < runs; ++round) {
    for (int side = 0; side < 2; ++side) {
      prepare();
      cachedBefore = std::max(cachedBefore, cold ? CachedFraction(source) : 0.0);
      const auto start = bench::Clock::now();
      if ((side == 0) == (round % 2 == 0)) {
        platform::MachineFiles()->CopyFile(source.string(), destination.string());
        ours.push_back(bench::SecondsSince(start));
      } else {
        if (bench::RunToFile({"cp", source.string(), destination.string()}) != 0)
          throw std::runtime_error("cp failed");
        cp.push_back(bench::SecondsSince(start));
      }
      if (fs::file_size(destination) != size) throw std::runtime_error("the copy has the wrong size");
    }
    std::printf("  %s round %d: CopyFileBytes %.3f s, cp %.3f s\n", cold ? "cold" : "warm", round + 1,
                ours.back(), cp.back());
    std::fflush(stdout);
  }
  fs::remove(destination);
  if (cold) std::printf("  cold: at most %.1f%% of the source was cached before a run\n", cachedBefore * 100);
  const double megabytes = static_cast<double>(size) / 1e6;
  const double oursRate = megabytes / bench::Median(ours);
  const double cpRate = megabytes / bench::Median(cp);
  const double ratio = oursRate / cpRate;
  bench::Report(std::string("CopyFileBytes, ") + bench::Grouped(static_cast<long long>(size >> 20)) +
                    " MiB, source " + (cold ? "not cached" : "cached") + " (MB/s)",
                bench::Fixed(oursRate, 0), "cp " + bench::Fixed(cpRate, 0), bench::Fixed(ratio, 2), ">= 0.90",
                ratio >= 0.9);
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint64_t size = static_cast<std::uint64_t>(argc > 1 ? std::atoll(argv[1]) : 1024) << 20;
  try {
    const fs::path source = bench::DataFolder() / "copy-source.bin";
    if (!fs::exists(source) || fs::file_size(source) != size) WriteSource(source, size);
    bench::ScratchFolder folder("copy");
    Measure(source, folder.Path(), true, size);
    Measure(source, folder.Path(), false, size);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_copy: %s\n", error.what());
    return 1;
  }
  return 0;
}
