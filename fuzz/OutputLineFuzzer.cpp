// Every reply of the services manager's output query passes through ReadOutputLine. Served through
// the client double, any sequence of replies into a receive buffer of any size must either be refused
// with client error 95 or give exactly the line that the current buffer holds, never a byte from past
// the buffer's end; an empty reply marked "not ready" is asked again. The buffer is not cleared between
// queries, so a short reply leaves the end of the one before it in place; the model below keeps those bytes
// too.
//
// Input: 2 bytes BufferSize (little-endian, 0 meaning the default 32000), then replies, each 2 bytes
// of length (little-endian) and that many bytes.

#include <ibase.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fbclient/ClientErrors.h"
#include "fbclient/Exceptions.h"
#include "fuzz/ClientDouble.h"
#include "fuzz/FuzzCheck.h"
#include "services/BackupInstance.h"
#include "services/TIBBackupService.h"

namespace {

using fuzz::Require;

constexpr int kDefaultBufferSize = 32000;
constexpr int kMostReplies = 64;

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Empty() const { return pos_ >= size_; }
  unsigned Word() {
    unsigned value = Byte();
    return value | (Byte() << 8);
  }
  std::vector<unsigned char> Bytes(std::size_t count) {
    count = std::min(count, size_ - std::min(pos_, size_));
    std::vector<unsigned char> bytes(data_ + pos_, data_ + pos_ + count);
    pos_ += count;
    return bytes;
  }

 private:
  unsigned Byte() { return pos_ < size_ ? data_[pos_++] : 0u; }
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// The line the receive buffer holds, as the one-line reply form defines it: the item, the length, the
// text, a marker that the server answered before a whole line had come (optional), the end byte. False
// when malformed; `endByte` is where the end byte stands.
bool ExpectedLine(const std::vector<unsigned char>& buffer, std::string& line, bool& notReady,
                  std::size_t& endByte) {
  if (buffer.size() < 4 || buffer[0] != isc_info_svc_line) return false;
  const std::size_t length = buffer[1] | (buffer[2] << 8);
  if (length >= 0x8000 || 3 + length >= buffer.size()) return false;
  endByte = 3 + length;
  notReady = buffer[endByte] == isc_info_data_not_ready || buffer[endByte] == isc_info_svc_timeout;
  if (notReady) ++endByte;
  if (endByte >= buffer.size() || buffer[endByte] != isc_info_end) return false;
  line.clear();
  for (std::size_t i = 3; i < 3 + length && buffer[i] != 0; ++i)
    line += static_cast<char>(buffer[i]);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fbdouble::Control& client = fuzz::ClientDouble();
  Input input(data, size);
  const unsigned requested = input.Word();
  const int bufferSize = requested == 0 ? kDefaultBufferSize : static_cast<int>(requested);

  services::TIBBackupService backup;
  services::ApplyBackupInstanceSettings(backup);
  backup.SetDatabaseName("/dados/app.fdb");
  backup.BackupFile().Add("/backup/app.gbk");
  backup.SetBufferSize(bufferSize);
  backup.SetActive(true);
  backup.ServiceStart();

  // What the receive buffer holds: zero-filled when first allocated, then each reply over it.
  std::vector<unsigned char> model(static_cast<std::size_t>(bufferSize), 0);
  for (int reply = 0; reply < kMostReplies && !input.Empty() && !backup.EndOfOutput(); ++reply) {
    const std::vector<unsigned char> bytes = input.Bytes(input.Word());
    client.QueueReply("isc_service_query", bytes);
    std::copy_n(bytes.begin(), std::min(bytes.size(), model.size()), model.begin());

    std::string expected;
    bool notReady = false;
    std::size_t endByte = 0;
    bool wellFormed = ExpectedLine(model, expected, notReady, endByte);
    if (wellFormed && notReady && model[1] == 0 && model[2] == 0) {
      // Nothing yet: the reader consumes the end byte and asks again, and the double, with nothing queued,
      // answers the end of the output.
      model[endByte] = 0;
      const unsigned char endReply[] = {isc_info_svc_line, 0, 0, isc_info_end};
      std::copy_n(endReply, sizeof endReply, model.begin());
      wellFormed = ExpectedLine(model, expected, notReady, endByte);
    }
    const bool expectEnd = wellFormed && !notReady && model[1] == 0 && model[2] == 0;
    std::string line;
    try {
      line = backup.ReadOutputLine();
    } catch (const fbclient::EIBClientError& error) {
      Require(error.SQLCode() == fbclient::kUnexpectedOutput, "a malformed reply raises client error 95");
      Require(!wellFormed, "only a malformed reply is refused");
      Require(backup.Active(), "a malformed reply leaves the attachment");
      continue;
    }
    Require(wellFormed, "a malformed reply is never read as a line");
    Require(line == expected, "the line is the text of the current reply, up to its first NUL");
    Require(backup.EndOfOutput() == expectEnd, "only the empty line ends the output");
    // The end byte was overwritten with the terminator; the model follows.
    model[endByte] = 0;
  }
  if (backup.EndOfOutput()) Require(backup.ReadOutputLine().empty(), "after the end only empty lines");
  return 0;
}
