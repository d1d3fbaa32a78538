#include "core/TransferProgress.h"

#include <algorithm>

namespace core {
namespace {

constexpr std::int64_t kMegabyte = 1024 * 1024;
constexpr auto kLineInterval = std::chrono::seconds(10);

// Megabytes with one decimal after a comma, as a Portuguese reader writes them: "12,3".
std::string Megabytes(std::int64_t bytes) {
  const std::int64_t tenths = (bytes * 10 + kMegabyte / 2) / kMegabyte;
  return std::to_string(tenths / 10) + "," + std::to_string(tenths % 10);
}

}  // namespace

TransferProgress::TransferProgress(std::int64_t databaseBytes, platform::TimePoint start)
    : databaseBytes_(std::max<std::int64_t>(databaseBytes, 0)), lineTime_(start) {}

bool TransferProgress::Received(std::size_t bytes, platform::TimePoint now) {
  received_ += static_cast<std::int64_t>(bytes);
  const bool stepDone = databaseBytes_ > 0 && (received_ - receivedAtLine_) * 20 >= databaseBytes_;
  if (!stepDone && now - lineTime_ < kLineInterval) return false;
  receivedAtLine_ = received_;
  lineTime_ = now;
  return true;
}

int TransferProgress::Percent() const {
  if (databaseBytes_ == 0) return 0;
  return static_cast<int>(std::min<std::int64_t>(99, received_ * 100 / databaseBytes_));
}

std::string TransferProgress::Line() const {
  return "Recebidos " + Megabytes(received_) + " MB";
}

std::string TransferProgress::TotalLine() const {
  return "Total recebido: " + Megabytes(received_) + " MB";
}

}  // namespace core
