#include "tests/e2e/desktop/WindowManagerStandIn.h"

#include <dlfcn.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace testsupport {
namespace {

// The few Xlib calls needed, bound at run time: the test programs are not linked against Xlib.
using Display = struct _XDisplay;
using XWindow = unsigned long;
using XAtom = unsigned long;
using OpenDisplay = Display* (*)(const char*);
using CloseDisplay = int (*)(Display*);
using InternAtom = XAtom (*)(Display*, const char*, int);
using ChangeProperty = int (*)(Display*, XWindow, XAtom, XAtom, int, int, const unsigned char*, int);
using Sync = int (*)(Display*, int);

constexpr int kPropModeReplace = 0;
constexpr long kNormalState = 1;
constexpr long kIconicState = 3;

template <class Function>
Function Bind(void* library, const char* name) {
  void* entry = dlsym(library, name);
  if (entry == nullptr) throw std::runtime_error(std::string("libX11 lacks ") + name);
  return reinterpret_cast<Function>(entry);
}

// Xlib finds a display's cookie only through XAUTHORITY; it is set for the one call and put back.
class ScopedAuthority {
 public:
  explicit ScopedAuthority(const XDisplay& display) {
    if (display.AuthorityFile().empty()) return;
    const char* previous = std::getenv("XAUTHORITY");
    if (previous != nullptr) previous_ = previous;
    hadPrevious_ = previous != nullptr;
    changed_ = true;
    ::setenv("XAUTHORITY", display.AuthorityFile().c_str(), 1);
  }
  ~ScopedAuthority() {
    if (!changed_) return;
    if (hadPrevious_) {
      ::setenv("XAUTHORITY", previous_.c_str(), 1);
    } else {
      ::unsetenv("XAUTHORITY");
    }
  }
  ScopedAuthority(const ScopedAuthority&) = delete;
  ScopedAuthority& operator=(const ScopedAuthority&) = delete;

 private:
  std::string previous_;
  bool hadPrevious_ = false;
  bool changed_ = false;
};

void SetWmState(const XDisplay& xdisplay, const std::string& windowId, long state) {
  const ScopedAuthority authority(xdisplay);
  const std::string& displayName = xdisplay.Name();
  const std::unique_ptr<void, int (*)(void*)> library(dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL), dlclose);
  if (!library) throw std::runtime_error("cannot load libX11.so.6");
  const auto openDisplay = Bind<OpenDisplay>(library.get(), "XOpenDisplay");
  const auto closeDisplay = Bind<CloseDisplay>(library.get(), "XCloseDisplay");
  const auto internAtom = Bind<InternAtom>(library.get(), "XInternAtom");
  const auto changeProperty = Bind<ChangeProperty>(library.get(), "XChangeProperty");
  const auto sync = Bind<Sync>(library.get(), "XSync");

  Display* display = openDisplay(displayName.c_str());
  if (display == nullptr) throw std::runtime_error("cannot open display " + displayName);
  const XAtom wmState = internAtom(display, "WM_STATE", 0);
  // Format 32 data is passed as longs, whatever their size.
  const long data[2] = {state, 0};
  changeProperty(display, std::stoul(windowId, nullptr, 0), wmState, wmState, 32, kPropModeReplace,
                 reinterpret_cast<const unsigned char*>(data), 2);
  sync(display, 0);
  closeDisplay(display);
}

}  // namespace

void IconifyLikeAWindowManager(const XDisplay& display, const std::string& windowId) {
  SetWmState(display, windowId, kIconicState);
}

void NormalizeLikeAWindowManager(const XDisplay& display, const std::string& windowId) {
  SetWmState(display, windowId, kNormalState);
}

}  // namespace testsupport
