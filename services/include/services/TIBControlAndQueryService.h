#pragma once

#include <string>

#include "services/TIBControlService.h"

namespace services {

// Reads the output of the started action, one line per query, until the server reports its end.
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

 protected:
  int Action() const { return action_; }
  // Setting the action starts reading afresh.
  void SetAction(int action) {
    action_ = action;
    endOfOutput_ = false;
  }

 private:
  int action_ = 0;
  bool endOfOutput_ = false;
};

}  // namespace services
