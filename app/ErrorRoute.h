#pragma once

#include <QString>
#include <exception>
#include <string>
#include <utility>

#include "app/Exceptions.h"

class QWidget;

namespace app {

// The application's standard error box for an exception that no handler caught: captioned with the
// application title, an error icon, one "OK" button, the message text (read as code page 1252) with a
// "." appended when its last character's code is above the code of ".".
void ShowStandardError(const std::exception& error);

// The text that box shows for a message text.
QString StandardErrorText(const std::string& message);

// Runs a handler as the message loop would: an escaping exception reaches the standard error box,
// and the silent abort is swallowed. Every entry point called by the event loop goes through here,
// so no exception ever crosses it.
template <class Handler>
void Guarded(Handler&& handler) {
  try {
    std::forward<Handler>(handler)();
  } catch (const SilentAbort&) {
  } catch (const std::exception& error) {
    ShowStandardError(error);
  }
}

}  // namespace app
