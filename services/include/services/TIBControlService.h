#pragma once

#include <cstdint>
#include <string>

#include "services/TIBCustomService.h"

namespace services {

// Starts an action on the services manager: the derived class fills the start request in
// BuildStartRequest, ServiceStart sends it over the attachment.
//
// A text item longer than 65535 bytes raises client error 122, a whole request longer than 65535
// bytes client error 123; neither is ever cut short.
class TIBControlService : public TIBCustomService {
 public:
  // Fills the start request; nothing to do for a component without an action of its own.
  virtual void BuildStartRequest() {}
  // Client error 90 without an attachment; then BuildStartRequest and the send. The request is emptied
  // after every send, and a failed send forgets the handle (no detach) and raises the server error.
  virtual void ServiceStart();

 protected:
  // Appends tag, 16-bit length (low byte first) and the bytes; an empty text appends nothing.
  void AddStartParamText(const std::string& text, unsigned char tag);
  // Appends tag and the value as 4 bytes, least significant first.
  void AddStartParamInt(std::int32_t value, unsigned char tag);

  std::string startRequest_;

 private:
  void SendStartRequest();
};

}  // namespace services
