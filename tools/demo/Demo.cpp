// The demo: a private Firebird server with a small application database, the real program in manual
// mode beside its own sistema.ini, a click on "Iniciar", and then the log block and the backup file
// the job wrote. Runs on the user's display when there is one, else on a private Xvfb.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "tests/e2e/support/Desktop.h"
#include "tests/support/AppDatabase.h"
#include "tests/support/FileBytes.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::XDisplay;

namespace {

using testsupport::ReadAll;

// The log is code page 1252; the terminal is UTF-8.
std::string Utf8(const std::string& cp1252) {
  std::string out;
  for (unsigned char c : cp1252) {
    if (c < 0x80) {
      if (c != '\r') out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace

int main() {
  // The folders stay after the demo, so that the backup, its copy and the log can be looked at.
  setenv("KEEP_TEST_FOLDERS", "1", 1);
  setenv("KEEP_TEST_SERVER", "1", 1);
  try {
    std::cout << "Starting a private Firebird server and creating the demo database...\n";
    testsupport::FirebirdServer server;
    testsupport::AppDatabaseOptions options;
    const fs::path copyFolder = server.DataDir() / "copia";
    fs::create_directories(copyFolder);
    options.row->copyFolder = copyFolder.string() + "/";
    options.row->retentionDays = 30;
    options.extraTables = 12;
    options.rowsPerExtraTable = 2000;
    const fs::path database = testsupport::CreateAppDatabase(server, "DEMO", options);

    testsupport::ProgramFolder folder;
    folder.WriteIni(server.Location(database), "Linux");

    const char* userDisplay = std::getenv("DISPLAY");
    const bool useOwnDisplay = userDisplay == nullptr || *userDisplay == '\0';
    auto display =
        useOwnDisplay ? std::make_unique<XDisplay>() : std::make_unique<XDisplay>(std::string(userDisplay));
    std::cout << "Starting the program in manual mode on display " << display->Name()
              << (useOwnDisplay ? " (a private Xvfb)" : "") << "...\n";
    testsupport::RunningProgram program(*display, folder, {"MANUAL"});
    const std::string window = display->WaitForWindow("^Backup$");
    if (window.empty()) throw std::runtime_error("the program's window did not appear:\n" + program.Output());

    // The settings row is read about a second after start; then press "Iniciar".
    std::this_thread::sleep_for(2500ms);
    const auto geometry = display->GeometryOf(window);
    display->Click(geometry.x + 545, geometry.y + geometry.height - 19 - 383 + 366);
    std::cout << "Pressed \"Iniciar\"; waiting for the job to finish...\n";

    const fs::path log = folder.Path() / "backup" / "backup.txt";
    const std::string dashes(68, '-');
    const auto deadline = std::chrono::steady_clock::now() + 300s;
    while (ReadAll(log).find(dashes) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(200ms);
    }
    const std::string block = ReadAll(log);
    if (block.find(dashes) == std::string::npos)
      throw std::runtime_error("the job did not finish:\n" + program.Output());
    if (useOwnDisplay) display->Screenshot(folder.Path() / "demo-window.png");

    std::cout << "\n===== " << log.string() << " =====\n" << Utf8(block);
    std::cout << "===== backup files =====\n";
    for (const fs::path& place : {folder.Path() / "backup", copyFolder}) {
      for (const auto& entry : fs::directory_iterator(place)) {
        if (entry.path().extension() == ".gbk") {
          std::cout << entry.path().string() << "  " << entry.file_size() << " bytes\n";
        }
      }
    }
    std::cout << "(kept: the program folder " << folder.Path().string() << " and the server's folder "
              << server.DataDir().parent_path().string() << ")\n";
    const bool ok = block.find(
                        "Backup conclu\xED"
                        "do.") != std::string::npos;
    std::cout << (ok ? "\nThe backup completed.\n" : "\nThe backup did NOT complete.\n");
    return ok ? 0 : 1;
  } catch (const std::exception& error) {
    std::cerr << "demo failed: " << error.what() << "\n";
    return 1;
  }
}
