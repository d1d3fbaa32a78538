#include "tests/double/Replay.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string_view>

#include "tests/double/DoubleState.h"

namespace fbdouble {
namespace {

// The first field of the text and the rest after one blank (nullopt-like: the rest empty and `more` false
// when there was no blank).
struct Split {
  std::string first;
  std::string rest;
  bool more = false;
};

Split SplitOnce(const std::string& text) {
  const std::size_t blank = text.find(' ');
  if (blank == std::string::npos) return {text, {}, false};
  return {text.substr(0, blank), text.substr(blank + 1), true};
}

ScriptedColumn ColumnOf(const std::string& fields) {
  const Split name = SplitOnce(fields);
  const Split type = SplitOnce(name.rest);
  ScriptedColumn column;
  column.name = name.first;
  if (type.more) column.value = type.rest;
  if (type.first == "integer") {
    column.sqltype = SQL_LONG;
    column.sqllen = 4;
  } else if (type.first == "timestamp" && !type.more) {
    column.sqltype = SQL_TIMESTAMP;
    column.sqllen = 8;
  } else if (type.first.starts_with("varchar(") && type.first.ends_with(")")) {
    column.sqltype = SQL_VARYING;
    column.sqllen = static_cast<short>(std::stoi(type.first.substr(8)));
  } else {
    throw std::runtime_error("column type " + type.first);
  }
  return column;
}

std::vector<unsigned char> LineReply(const std::string& text) {
  std::vector<unsigned char> reply(text.size() + 4);
  reply[0] = static_cast<unsigned char>(isc_info_svc_line);
  reply[1] = static_cast<unsigned char>(text.size() & 0xFF);
  reply[2] = static_cast<unsigned char>(text.size() >> 8);
  std::copy(text.begin(), text.end(), reply.begin() + 3);
  reply.back() = isc_info_end;
  return reply;
}

}  // namespace

void ApplyReplayFile(DoubleState& state, const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  state.SetForwarding(false);
  std::string table;
  std::vector<ScriptedColumn> columns;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (line.ends_with('\r')) line.pop_back();
    try {
      if (line.empty() || line.starts_with('#')) continue;
      const Split directive = SplitOnce(line);
      if (directive.first == "line") {
        state.QueueReply("isc_service_query", LineReply(directive.rest));
      } else if (directive.first == "fail") {
        const Split entry = SplitOnce(directive.rest);
        const Split code = SplitOnce(entry.rest);
        state.Fail(entry.first, {isc_arg_gds, std::stol(code.first), isc_arg_end}, 0, std::stoi(code.rest));
      } else if (directive.first == "column") {
        const Split columnTable = SplitOnce(directive.rest);
        if (!table.empty() && columnTable.first != table) throw std::runtime_error("a second table");
        table = columnTable.first;
        columns.push_back(ColumnOf(columnTable.rest));
      } else if (directive.first == "backup") {
        state.ScriptBackupFile(directive.rest);
      } else {
        throw std::runtime_error("unknown directive");
      }
    } catch (const std::exception& error) {
      throw std::runtime_error(path + ":" + std::to_string(number) + ": " + error.what());
    }
  }
  if (!table.empty()) state.ScriptRow(table, std::move(columns));
}

void ApplyReplayFromEnvironment(DoubleState& state) {
  const char* path = std::getenv("FBDOUBLE_REPLAY");
  if (path == nullptr || *path == '\0') return;
  try {
    ApplyReplayFile(state, path);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "fbdouble: %s\n", error.what());
    std::abort();
  }
}

}  // namespace fbdouble
