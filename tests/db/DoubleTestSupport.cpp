#include "tests/db/DoubleTestSupport.h"

namespace db::testing {

namespace {

std::string Find(const std::string& text, const std::string& key) {
  std::size_t at = 0;
  while ((at = text.find(key + "=", at)) != std::string::npos) {
    if (at == 0 || text[at - 1] == ' ') break;
    at += key.size();
  }
  if (at == std::string::npos) return "<missing " + key + ">";
  std::size_t begin = at + key.size() + 1;
  if (begin < text.size() && text[begin] == '"') {
    const std::size_t end = text.find("\" ", begin + 1);
    return text.substr(begin + 1, (end == std::string::npos ? text.size() - 1 : end) - begin - 1);
  }
  // Hex buffers run on with blanks until the next "key=".
  std::size_t end = begin;
  while (end < text.size()) {
    const std::size_t blank = text.find(' ', end);
    if (blank == std::string::npos) {
      end = text.size();
      break;
    }
    const std::size_t nextEquals = text.find('=', blank);
    const std::size_t nextBlank = text.find(' ', blank + 1);
    if (nextEquals != std::string::npos && (nextBlank == std::string::npos || nextEquals < nextBlank)) {
      end = blank;
      break;
    }
    end = blank + 1;
  }
  return text.substr(begin, end - begin);
}

}  // namespace

std::string Arg(const fbdouble::Call& call, const std::string& key) {
  return Find(call.args, key);
}
std::string OutArg(const fbdouble::Call& call, const std::string& key) {
  return Find(call.out, key);
}

std::vector<unsigned char> InfoReply(
    const std::vector<std::pair<unsigned char, std::vector<unsigned char>>>& items) {
  std::vector<unsigned char> reply;
  for (const auto& [code, data] : items) {
    reply.push_back(code);
    reply.push_back(static_cast<unsigned char>(data.size() & 0xFF));
    reply.push_back(static_cast<unsigned char>(data.size() >> 8));
    reply.insert(reply.end(), data.begin(), data.end());
  }
  reply.push_back(1);
  return reply;
}

}  // namespace db::testing
