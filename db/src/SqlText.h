#pragma once

// Reading SQL texts the way the statements need it: input parameters, the kind of statement, and
// the parts of a simple SELECT that the buffered cursor uses to find its key.

#include <string>
#include <vector>

namespace db::sqltext {

struct Token {
  std::string text;   // upper case for words; the inner text for quoted identifiers
  std::size_t begin;  // position in the SQL text
  std::size_t end;
  int depth;  // parenthesis depth
  bool word;  // a keyword or an identifier
};

// Words, quoted identifiers and single symbols; strings and comments are skipped.
std::vector<Token> Tokenize(const std::string& text);

struct ParsedParameters {
  std::string serverText;          // every parameter replaced by "?"
  std::vector<std::string> names;  // one per parameter, empty for a bare "?"
};

// Parameters are ":NAME", "?NAME" and "?", outside strings, quoted identifiers and comments.
ParsedParameters ParseParameters(const std::string& text);

bool IsSelect(const std::string& text);
bool HasForUpdate(const std::string& text);

struct SelectParts {
  bool select = false;
  bool keyable = false;       // not aggregate, DISTINCT, GROUP BY, UNION or a procedure call
  std::size_t listBegin = 0;  // the select list in the text
  std::size_t listEnd = 0;
  std::string firstTable;  // first table of the FROM clause
};

SelectParts AnalyzeSelect(const std::string& text);

}  // namespace db::sqltext
