#include "SqlText.h"

#include <cctype>

#include "platform/Text.h"

namespace db::sqltext {

namespace {

using platform::Upper;

bool IsWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$';
}

// Skips a string, a quoted identifier or a comment starting at i; returns the position after it,
// or i when none starts there.
std::size_t SkipLiteral(const std::string& text, std::size_t i) {
  const char c = text[i];
  if (c == '\'' || c == '"') {
    std::size_t j = i + 1;
    while (j < text.size()) {
      if (text[j] == c) {
        if (j + 1 < text.size() && text[j + 1] == c) {
          j += 2;
          continue;
        }
        return j + 1;
      }
      ++j;
    }
    return text.size();
  }
  if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
    const std::size_t close = text.find("*/", i + 2);
    return close == std::string::npos ? text.size() : close + 2;
  }
  if (c == '-' && i + 1 < text.size() && text[i + 1] == '-') {
    const std::size_t eol = text.find('\n', i);
    return eol == std::string::npos ? text.size() : eol + 1;
  }
  return i;
}

}  // namespace

std::vector<Token> Tokenize(const std::string& text) {
  std::vector<Token> tokens;
  int depth = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (static_cast<unsigned char>(c) <= ' ') {
      ++i;
      continue;
    }
    if (c == '"') {
      const std::size_t end = SkipLiteral(text, i);
      const std::size_t innerEnd = end > i + 1 && text[end - 1] == '"' ? end - 1 : end;
      tokens.push_back({text.substr(i + 1, innerEnd - i - 1), i, end, depth, true});
      i = end;
      continue;
    }
    if (const std::size_t skipped = SkipLiteral(text, i); skipped != i) {
      if (c == '\'') tokens.push_back({"'", i, skipped, depth, false});
      i = skipped;
      continue;
    }
    if (IsWordChar(c)) {
      std::size_t j = i;
      while (j < text.size() && IsWordChar(text[j]))
        ++j;
      tokens.push_back({Upper(text.substr(i, j - i)), i, j, depth, true});
      i = j;
      continue;
    }
    if (c == ')') --depth;
    tokens.push_back({std::string(1, c), i, i + 1, depth, false});
    if (c == '(') ++depth;
    ++i;
  }
  return tokens;
}

ParsedParameters ParseParameters(const std::string& text) {
  ParsedParameters parsed;
  std::size_t i = 0;
  while (i < text.size()) {
    if (const std::size_t skipped = SkipLiteral(text, i); skipped != i) {
      parsed.serverText.append(text, i, skipped - i);
      i = skipped;
      continue;
    }
    const char c = text[i];
    if (c == ':' || c == '?') {
      std::size_t j = i + 1;
      while (j < text.size() && IsWordChar(text[j]))
        ++j;
      if (c == ':' && j == i + 1) {
        parsed.serverText += c;
        ++i;
        continue;
      }
      parsed.names.push_back(text.substr(i + 1, j - i - 1));
      parsed.serverText += '?';
      i = j;
      continue;
    }
    parsed.serverText += c;
    ++i;
  }
  return parsed;
}

bool IsSelect(const std::string& text) {
  const std::vector<Token> tokens = Tokenize(text);
  return !tokens.empty() && tokens.front().word && tokens.front().text == "SELECT";
}

bool HasForUpdate(const std::string& text) {
  const std::vector<Token> tokens = Tokenize(text);
  for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
    if (tokens[i].depth == 0 && tokens[i].text == "FOR" && tokens[i + 1].text == "UPDATE") return true;
  }
  return false;
}

SelectParts AnalyzeSelect(const std::string& text) {
  SelectParts parts;
  const std::vector<Token> tokens = Tokenize(text);
  if (tokens.empty() || !tokens.front().word || tokens.front().text != "SELECT") return parts;
  parts.select = true;
  parts.listBegin = tokens.front().end;
  std::size_t from = 0;
  bool plain = true;
  for (std::size_t i = 1; i < tokens.size(); ++i) {
    const Token& token = tokens[i];
    if (token.depth != 0 || !token.word) continue;
    if (from == 0 && token.text == "FROM") from = i;
    if (token.text == "DISTINCT" || token.text == "GROUP" || token.text == "UNION") plain = false;
    if ((token.text == "COUNT" || token.text == "SUM" || token.text == "AVG" || token.text == "MIN" ||
         token.text == "MAX" || token.text == "LIST") &&
        i + 1 < tokens.size() && tokens[i + 1].text == "(" && from == 0) {
      plain = false;
    }
  }
  if (from == 0 || from + 1 >= tokens.size() || !tokens[from + 1].word) return parts;
  parts.listEnd = tokens[from].begin;
  parts.firstTable = tokens[from + 1].text;
  // A selectable procedure with input arguments is called like a function.
  if (from + 2 < tokens.size() && tokens[from + 2].text == "(") plain = false;
  parts.keyable = plain;
  return parts;
}

}  // namespace db::sqltext
