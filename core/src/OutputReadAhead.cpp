#include "core/OutputReadAhead.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace core {
namespace {

using Clock = std::chrono::steady_clock;

// How long the calling thread goes without its idle hook while the call lasts: a window that pumps its
// messages this often answers a click without a noticeable delay.
constexpr std::chrono::milliseconds kIdleInterval{20};

// Thrown into the wrapped call from its line callback once nobody takes the lines any more; never leaves
// the reader.
struct LinesNoLongerWanted {};

// How many lines the reader may be ahead: far more than a window falls behind while it paints (a job's
// whole output is some 15,000 lines), yet a bound on what a server faster than its reader leaves queued.
constexpr std::size_t kMostLinesAhead = 1 << 16;

// How many queued lines wake the calling thread before its interval is up. Woken at every line, it would
// cost a switch of threads per line, more than the line itself; the lines wait at most one interval.
constexpr std::size_t kLinesPerWake = 512;

// The lines the reader has read and the calling thread has not taken yet, and how the reading ended.
class LineQueue {
 public:
  // The reader's side; waits while the queue is full.
  void Put(std::string_view line) {
    {
      std::unique_lock lock(mutex_);
      roomMade_.wait(lock, [this] { return abandoned_ || lines_.size() < kMostLinesAhead; });
      if (abandoned_) throw LinesNoLongerWanted{};
      lines_.emplace_back(line);
      if (lines_.size() != kLinesPerWake) return;
    }
    changed_.notify_one();
  }
  void End(std::exception_ptr error) {
    {
      const std::lock_guard lock(mutex_);
      ended_ = true;
      error_ = std::move(error);
    }
    changed_.notify_one();
  }

  // The calling thread's side: waits until a batch of lines is queued, the reading has ended or the
  // deadline has passed, and moves what is queued into `taken`. False once the reading has ended and every
  // line is taken.
  bool Take(std::vector<std::string>& taken, Clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    changed_.wait_until(lock, deadline, [this] { return ended_ || lines_.size() >= kLinesPerWake; });
    taken.swap(lines_);
    const bool more = !(ended_ && taken.empty());
    lock.unlock();
    roomMade_.notify_one();
    return more;
  }
  // The wrapped call's exception, once Take has returned false.
  std::exception_ptr Error() {
    const std::lock_guard lock(mutex_);
    return error_;
  }
  void Abandon() {
    {
      const std::lock_guard lock(mutex_);
      abandoned_ = true;
    }
    roomMade_.notify_one();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::condition_variable roomMade_;
  std::vector<std::string> lines_;
  bool ended_ = false;
  bool abandoned_ = false;
  std::exception_ptr error_;
};

// The thread that makes the wrapped call and queues its lines. However the calling thread leaves, the
// queue is abandoned first, so that the call ends at its next line, and the thread is joined.
class Reader {
 public:
  Reader(LineQueue& queue, std::function<void(const BackupServer::LineRead&)> call)
      : queue_(queue), thread_([&queue, call = std::move(call)] {
          std::exception_ptr error;
          try {
            call([&queue](std::string_view line) { queue.Put(line); });
          } catch (...) {
            error = std::current_exception();
          }
          queue.End(std::move(error));
        }) {}
  ~Reader() {
    queue_.Abandon();
    thread_.join();
  }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

 private:
  LineQueue& queue_;
  std::thread thread_;
};

}  // namespace

OutputReadAhead::OutputReadAhead(BackupServer& server, Idle idle) : server_(server), idle_(std::move(idle)) {}

void OutputReadAhead::Backup(const LoginChoice& login, const std::string& serverName,
                             const std::string& databasePath, const std::string& backupFile,
                             const LineRead& lineRead) {
  ReadAhead(
      [&](const LineRead& queueLine) {
        server_.Backup(login, serverName, databasePath, backupFile, queueLine);
      },
      lineRead);
}

void OutputReadAhead::BackupWithoutLines(const LoginChoice& login, const std::string& serverName,
                                         const std::string& databasePath, const std::string& backupFile,
                                         const StillWriting& stillWriting) {
  // Each look the wrapped call takes at the server comes over as a line without text: the calling thread
  // goes on idling between the looks instead of waiting out every one of them.
  ReadAhead(
      [&](const LineRead& queueLook) {
        server_.BackupWithoutLines(login, serverName, databasePath, backupFile, [&] { queueLook({}); });
      },
      [&](std::string_view) { stillWriting(); });
}

void OutputReadAhead::Restore(const LoginChoice& login, const std::string& serverName,
                              const std::string& backupFile, const std::string& database,
                              const LineRead& lineRead) {
  ReadAhead(
      [&](const LineRead& queueLine) { server_.Restore(login, serverName, backupFile, database, queueLine); },
      lineRead);
}

void OutputReadAhead::BackupToProgram(const LoginChoice& login, const std::string& serverName,
                                      const std::string& databasePath, const DataRead& dataRead) {
  server_.BackupToProgram(login, serverName, databasePath, dataRead);
}

void OutputReadAhead::RestoreFromProgram(const LoginChoice& login, const std::string& serverName,
                                         const DataWanted& dataWanted, const std::string& database,
                                         const LineRead& lineRead) {
  server_.RestoreFromProgram(login, serverName, dataWanted, database, lineRead);
}

void OutputReadAhead::ReadAhead(const ServerCall& call, const LineRead& lineRead) {
  // Declared before the reader, which uses it until it is joined.
  LineQueue queue;
  const Reader reader(queue, call);
  Clock::time_point nextIdle = Clock::now() + kIdleInterval;
  const auto idleWhenDue = [&] {
    if (Clock::now() < nextIdle) return;
    if (idle_) idle_();
    nextIdle = Clock::now() + kIdleInterval;
  };
  std::vector<std::string> taken;
  while (queue.Take(taken, nextIdle)) {
    for (const std::string& line : taken) {
      lineRead(line);
      idleWhenDue();
    }
    taken.clear();
    idleWhenDue();
  }
  // Every line the server sent before its error has been handed over: the error comes where it always did.
  if (const std::exception_ptr error = queue.Error()) std::rethrow_exception(error);
}

}  // namespace core
