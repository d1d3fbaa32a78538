#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "services/TIBControlService.h"

namespace services {

// Where an action whose file is "stdin" takes its input from: fills up to `size` bytes at `buffer` and
// says how many it filled, 0 once there is no more.
using InputRead = std::function<std::size_t(char* buffer, std::size_t size)>;

// Reads the output of the started action, one line per query, until the server reports its end. An
// action may also send its file to the program ("stdout") or read it from the program ("stdin"); the
// server then carries the file's bytes over the same queries.
class TIBControlAndQueryService : public TIBControlService {
 public:
  // Size of the receive buffer, 1 to 65535 (client error 124 otherwise); a new size reallocates an
  // existing buffer zero-filled.
  int BufferSize() const { return BufferSizeValue(); }
  void SetBufferSize(int bufferSize) { ChangeBufferSize(bufferSize); }

  // True once the server has reported the end of the action's output.
  bool EndOfOutput() const { return endOfOutput_; }

  // One line of output as the server sent it, or the empty text at the end (which sets EndOfOutput)
  // and after it (without asking the server). Client error 93 before any action was set; client error
  // 95 for a reply not in the one-line form, leaving the attachment and the state as they were.
  std::string ReadOutputLine();

  // The next piece of the file of an action that writes it to "stdout", as the server sent it: a view of
  // the receive buffer, valid until the next query. Empty at the end (which sets EndOfOutput) and after
  // it, without asking the server. Client errors 93 and 95 as ReadOutputLine.
  std::string_view ReadOutputData();

  // For an action that sends no lines, such as a backup without verbose output: asks for a line as
  // ReadOutputLine does, but has the server answer once `seconds` have passed without one. The server
  // counts whole seconds of its clock, so the first wait may be shorter. Returns what came, the part of a
  // line the wait ran out in included; the empty text when nothing came. The end of the output sets
  // EndOfOutput as ReadOutputLine does, and after it no server call is made. Client errors 93 and 95 as
  // ReadOutputLine.
  std::string WaitForOutput(std::uint32_t seconds);

  // One line of output of an action that reads its file from "stdin", as ReadOutputLine gives it, while
  // the server is fed: each query carries as many bytes of `input` as the server's last answer asked for
  // (an empty piece once `input` has no more, which ends the server's file), and queries follow one
  // another until a line comes or the output ends.
  std::string ReadOutputLine(const InputRead& input);

 protected:
  int Action() const { return action_; }
  // Setting the action starts reading afresh.
  void SetAction(int action) {
    action_ = action;
    endOfOutput_ = false;
    inputWanted_ = 0;
  }

 private:
  // The send items of the next query: the input the server asked for, as one line item.
  std::string_view NextInput(const InputRead& input);

  int action_ = 0;
  bool endOfOutput_ = false;
  // Bytes of input the server's last answer asked for.
  std::uint32_t inputWanted_ = 0;
  // Allocated at the first piece of input and kept, as the receive buffer is.
  std::vector<char> sendBuffer_;
};

}  // namespace services
