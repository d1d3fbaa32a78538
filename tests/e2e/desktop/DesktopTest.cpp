#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "tests/e2e/desktop/WindowManagerStandIn.h"
#include "tests/e2e/support/Desktop.h"
#include "tests/support/AppDatabase.h"

namespace testsupport {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A sistema.ini naming an application database of the private server whose settings row has no schedule
// time: the settings load succeeds and leaves the program idle, so that nothing but the commands under
// test runs while they are driven.
void WriteIniForIdleProgram(const ProgramFolder& folder) {
  static const std::string location = [] {
    FirebirdServer& server = FirebirdServer::Shared();
    AppDatabaseOptions options;
    options.row = SettingsRow{std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, 0};
    return server.Location(CreateAppDatabase(server, "desktop-e2e", options));
  }();
  folder.WriteIni(location, "Linux");
}

// A top-level window of the program as the X server sees it.
struct ProgramWindow {
  std::string id;
  std::string name;
  XDisplay::Geometry geometry;
};

// The program's top-level windows that are mapped now: main window, menus, boxes, the About window. They
// carry the application's class "Backup", whatever the executable is called.
std::vector<ProgramWindow> ViewableProgramWindows(const XDisplay& display) {
  static const std::regex line(
      R"re(^\s+(0x[0-9a-fA-F]+) "([^"]*)": \("[^"]*" "Backup"\)\s+(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+))re");
  std::vector<ProgramWindow> windows;
  std::istringstream tree(display.Run({"xwininfo", "-root", "-children"}));
  for (std::string text; std::getline(tree, text);) {
    std::smatch match;
    if (!std::regex_search(text, match, line) || !display.IsViewable(match[1])) continue;
    windows.push_back({match[1],
                       match[2],
                       {std::stoi(match[5]), std::stoi(match[6]), std::stoi(match[3]), std::stoi(match[4])}});
  }
  return windows;
}

template <class Predicate>
std::optional<ProgramWindow> WaitForProgramWindow(const XDisplay& display, Predicate matches,
                                                  std::chrono::milliseconds timeout = 30s) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  do {
    for (const auto& window : ViewableProgramWindows(display))
      if (matches(window)) return window;
    std::this_thread::sleep_for(50ms);
  } while (std::chrono::steady_clock::now() < deadline);
  return std::nullopt;
}

bool IsMainWindow(const ProgramWindow& w) {
  return w.name == "Backup" && w.geometry.width == 600;
}
bool IsMenu(const ProgramWindow& w) {
  return w.name == "Backup" && w.geometry.height > 20 && w.geometry.height < 120 && w.geometry.width < 400;
}
bool IsAboutWindow(const ProgramWindow& w) {
  return w.geometry.width == 500 && w.geometry.height == 300;
}
bool IsBox(const ProgramWindow& w) {
  return w.name == "Information" || w.name == "Error";
}

template <class Condition>
bool Eventually(Condition condition, std::chrono::milliseconds timeout = 30s) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

// xdotool's synchronous move waits for the pointer to move, which it never does when it is already there.
void ClickAt(const XDisplay& display, int x, int y, int button = 1) {
  display.Run({"xdotool", "mousemove", std::to_string(x), std::to_string(y), "sleep", "0.1", "click",
               std::to_string(button)});
}

void ClickCentre(const XDisplay& display, const XDisplay::Geometry& g, int button = 1) {
  ClickAt(display, g.x + g.width / 2, g.y + g.height / 2, button);
}

class TrayEndToEnd : public ::testing::Test {
 protected:
  TrayEndToEnd() : display(/*withTray=*/true) {
    WriteIniForIdleProgram(folder);
    iconsBefore = display.Children(display.TrayWindow());
  }

  // The notification area's slot that holds our icon, once it is there.
  std::string WaitForIcon() const {
    std::string icon;
    Eventually([&] {
      for (const auto& child : display.Children(display.TrayWindow()))
        if (std::find(iconsBefore.begin(), iconsBefore.end(), child) == iconsBefore.end()) icon = child;
      return !icon.empty();
    });
    return icon;
  }
  fs::path ConfigFolder() const { return folder.Path() / "xdg"; }
  // Opens the icon's menu with a right click. The menu opens under the pointer, so the release that
  // ended the click must not choose "Iniciar com o Windows" lying there: given that time, nothing may
  // have been written.
  std::optional<ProgramWindow> OpenIconMenu(const XDisplay::Geometry& iconPlace, const char* screenshot) {
    ClickCentre(display, iconPlace, 3);
    auto menu = WaitForProgramWindow(display, IsMenu);
    if (!menu) return menu;
    display.Screenshot(screenshot);
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(fs::exists(ConfigFolder() / "autostart" / "Backup Kelmora.desktop"));
    return menu;
  }

  XDisplay display;
  ProgramFolder folder;
  std::vector<std::string> iconsBefore;
};

TEST_F(TrayEndToEnd, IconShowsTheWindowMinimisingHidesItAndSairFromItsMenuEndsTheProgram) {
  RunningProgram program(display, folder, {}, {"XDG_CONFIG_DIRS=" + ConfigFolder().string()});
  const std::string icon = WaitForIcon();
  ASSERT_FALSE(icon.empty()) << "the icon is embedded in the tray\n" << program.Output();
  const auto iconPlace = display.GeometryOf(icon);
  EXPECT_FALSE(WaitForProgramWindow(display, IsMainWindow, 500ms)) << "automatic mode starts hidden";

  const auto firstMenu = OpenIconMenu(iconPlace, SCREENSHOT_DIR "/tray-menu-hidden-window.png");
  ASSERT_TRUE(firstMenu) << "a right click opens the menu, also while the window is hidden";
  EXPECT_FALSE(WaitForProgramWindow(display, IsBox, 0ms));
  EXPECT_FALSE(WaitForProgramWindow(display, IsMainWindow, 0ms));
  display.Run({"xdotool", "key", "Escape"});
  EXPECT_TRUE(Eventually([&] { return !display.IsViewable(firstMenu->id); }));

  ClickCentre(display, iconPlace);
  const auto main = WaitForProgramWindow(display, IsMainWindow);
  ASSERT_TRUE(main) << "a left click shows the window\n" << program.Output();
  display.Screenshot(SCREENSHOT_DIR "/tray-left-click.png");

  IconifyLikeAWindowManager(display, main->id);
  EXPECT_TRUE(Eventually([&] { return !display.IsViewable(main->id); })) << "minimising hides the window";
  // A window manager would take its time over the withdrawn window; give the program the same.
  std::this_thread::sleep_for(300ms);
  NormalizeLikeAWindowManager(display, main->id);
  std::this_thread::sleep_for(100ms);

  ClickCentre(display, iconPlace);
  EXPECT_TRUE(Eventually([&] { return display.IsViewable(main->id); })) << "and the icon brings it back";

  const auto menu = OpenIconMenu(iconPlace, SCREENSHOT_DIR "/tray-menu.png");
  ASSERT_TRUE(menu) << "a right click opens the menu";
  EXPECT_TRUE(display.IsViewable(menu->id));

  // "Sair" is the last item.
  ClickAt(display, menu->geometry.x + menu->geometry.width / 2,
          menu->geometry.y + menu->geometry.height - 12);
  EXPECT_EQ(program.WaitForExit(30s), 0) << program.Output();
  EXPECT_TRUE(Eventually([&] { return display.Children(display.TrayWindow()) == iconsBefore; }))
      << "the icon leaves the tray with the program";
}

TEST_F(TrayEndToEnd, ManualModeLeavesNoIconAfterStartUp) {
  RunningProgram program(display, folder, {"MANUAL"});
  ASSERT_TRUE(WaitForProgramWindow(display, IsMainWindow)) << program.Output();
  // The icon is added with the window and removed before the window shows. The tray host learns of the
  // removal asynchronously, so under load it may still hold the slot for a moment: wait for it to go, then
  // make sure nothing comes back.
  EXPECT_TRUE(Eventually([&] { return display.Children(display.TrayWindow()) == iconsBefore; }));
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(display.Children(display.TrayWindow()), iconsBefore);
  EXPECT_TRUE(program.Running());
}

// The "Ajuda" and "Opções" commands of the manual-mode window, through its menu bar and the keyboard.
class MenuEndToEnd : public ::testing::Test {
 protected:
  MenuEndToEnd() { WriteIniForIdleProgram(folder); }

  void Start(const std::vector<std::string>& environment = {}) {
    program =
        std::make_unique<RunningProgram>(display, folder, std::vector<std::string>{"MANUAL"}, environment);
    const auto found = WaitForProgramWindow(display, IsMainWindow);
    ASSERT_TRUE(found) << program->Output();
    main = *found;
  }
  // Opens "Opções" with a click; keys then move through the menus ("Right" opens "Ajuda" with its first
  // item chosen).
  void Menu(const std::vector<std::string>& keys) const {
    display.ClickWindow(main.id, 25, 8);
    std::this_thread::sleep_for(300ms);
    for (const auto& key : keys) {
      display.Key(main.id, key);
      std::this_thread::sleep_for(100ms);
    }
  }

  XDisplay display;
  ProgramFolder folder;
  std::unique_ptr<RunningProgram> program;
  ProgramWindow main;
};

TEST_F(MenuEndToEnd, SobreShowsThePictureWithDescriptionAndVersionUntilThePictureIsClicked) {
  ASSERT_NO_FATAL_FAILURE(Start());
  Menu({"Right", "Up", "Return"});
  const auto about = WaitForProgramWindow(display, IsAboutWindow);
  ASSERT_TRUE(about) << program->Output();
  // Centred on the 1024 x 768 screen.
  EXPECT_EQ(about->geometry.x, (1024 - 500) / 2);
  EXPECT_EQ(about->geometry.y, (768 - 300) / 2);
  display.Screenshot(SCREENSHOT_DIR "/about-window.png");

  const auto& place = about->geometry;
  ClickAt(display, place.x + 250, place.y + 190);  // on the description
  ClickAt(display, place.x + 250, place.y + 236);  // on the version
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(display.IsViewable(about->id)) << "a click on a text does not close the window";

  ClickAt(display, place.x + 250, place.y + 60);
  EXPECT_TRUE(Eventually([&] { return !display.IsViewable(about->id); })) << "a click on the picture does";
  EXPECT_TRUE(program->Running());
}

TEST_F(MenuEndToEnd, SuporteRemotoStartsTheProgramOfTheCurrentFolder) {
  const fs::path remote = folder.Path() / "remoto.exe";
  {
    std::ofstream script(remote);
    script << "#!/bin/sh\necho started > \"$(pwd)/remoto-started\"\n";
  }
  fs::permissions(remote, fs::perms::owner_all);
  ASSERT_NO_FATAL_FAILURE(Start());
  Menu({"Right", "Return"});
  EXPECT_TRUE(Eventually([&] { return fs::exists(folder.Path() / "remoto-started"); })) << program->Output();
  EXPECT_TRUE(program->Running());
}

TEST_F(MenuEndToEnd, IniciarComOWindowsRegistersTheProgramAndConfirms) {
  const fs::path config = folder.Path() / "xdg";
  ASSERT_NO_FATAL_FAILURE(Start({"XDG_CONFIG_DIRS=" + config.string()}));
  Menu({"Down", "Return"});
  const auto box =
      WaitForProgramWindow(display, [](const ProgramWindow& w) { return w.name == "Information"; });
  ASSERT_TRUE(box) << program->Output();
  display.Screenshot(SCREENSHOT_DIR "/start-with-system-box.png");
  const fs::path entry = config / "autostart" / "Backup Kelmora.desktop";
  ASSERT_TRUE(fs::exists(entry));
  std::ifstream in(entry);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("\nExec=" + folder.Executable().string() + "\n"), std::string::npos)
      << text.str();
  struct stat status {};
  ASSERT_EQ(::stat(entry.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0644u);
  display.Key(box->id, "Return");
  EXPECT_TRUE(Eventually([&] { return !display.IsViewable(box->id); }));
}

}  // namespace
}  // namespace testsupport
