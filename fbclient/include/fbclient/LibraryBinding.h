#pragma once

// How the program binds the Firebird client library, the same way for each side that calls it: the
// service side (fbclient/ClientLibrary.h) and the database side. A side names the files it tries and
// how to bind its table of entry points from an opened library; the binding opens the first file that
// loads, through the system loader handed in, binds, and publishes the table whole, so that a caller
// never sees a table half bound. A failed bind publishes nothing and closes what it opened, and the
// next need tries again.

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Libraries.h"
#include "platform/SharedLibrary.h"

namespace fbclient {

// A required entry point the library lacks, with the system loader's own words for the failure.
class MissingEntryPoint : public std::runtime_error {
 public:
  MissingEntryPoint(const std::string& name, std::string loaderText);
  const std::string& Name() const { return name_; }
  const std::string& LoaderText() const { return loaderText_; }

 private:
  std::string name_;
  std::string loaderText_;
};

// Looks the names up in their order; the first one missing raises MissingEntryPoint.
void RequireEntryPoints(const platform::SharedLibrary& library, const std::vector<const char*>& names);

template <class Table>
class LibraryBinding {
 public:
  // Binds a side's table from an opened library. It raises MissingEntryPoint (RequireEntryPoints) for
  // what the side requires and the library lacks.
  using Binder = std::function<Table(const platform::SharedLibrary& library)>;

  LibraryBinding(std::vector<std::string> fileNames, Binder binder)
      : fileNames_(std::move(fileNames)), binder_(std::move(binder)) {}
  LibraryBinding(const LibraryBinding&) = delete;
  LibraryBinding& operator=(const LibraryBinding&) = delete;

  // The table bound now; nullptr while none is.
  const Table* Bound() const { return current_.load(std::memory_order_acquire); }

  // The table, bound first when none is; nullptr when no file of the list loads.
  const Table* Bind(platform::Libraries& libraries) {
    if (const Table* table = Bound()) return table;
    std::lock_guard lock(mutex_);
    if (const Table* table = Bound()) return table;
    platform::SharedLibrary library;
    for (const std::string& fileName : fileNames_) {
      library = platform::SharedLibrary(libraries, fileName);
      if (library.Opened()) break;
    }
    if (!library.Opened()) return nullptr;
    const Table table = binder_(library);
    library_ = std::move(library);
    tables_.push_back(table);
    current_.store(&tables_.back(), std::memory_order_release);
    return &tables_.back();
  }

  // The files the next bind tries, in order (names are searched for like any shared library, paths
  // are opened as they stand). A bound table stays bound.
  void SetFileNames(std::vector<std::string> fileNames) {
    std::lock_guard lock(mutex_);
    fileNames_ = std::move(fileNames);
  }
  std::vector<std::string> FileNames() const {
    std::lock_guard lock(mutex_);
    return fileNames_;
  }

  // Nothing is bound until the next bind. The library stays mapped for the rest of the process and
  // the table is never freed: a caller may still hold one of its entry points.
  void Forget() {
    std::lock_guard lock(mutex_);
    current_.store(nullptr, std::memory_order_release);
    library_.KeepForProcessLife();
  }

  // Nothing is bound and the library is closed: only for a side whose callers look the table up for
  // every call, so that none is left holding an entry point of it.
  void Unload() {
    std::lock_guard lock(mutex_);
    current_.store(nullptr, std::memory_order_release);
    library_.Close();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> fileNames_;
  Binder binder_;
  platform::SharedLibrary library_;
  std::deque<Table> tables_;
  std::atomic<const Table*> current_{nullptr};
};

}  // namespace fbclient
