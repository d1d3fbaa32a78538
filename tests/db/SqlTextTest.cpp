#include <gtest/gtest.h>

#include "SqlText.h"
#include "platform/Text.h"

namespace db::sqltext {
namespace {

TEST(SqlParameters, NamedAndBareParametersBecomeQuestionMarks) {
  const ParsedParameters parsed =
      ParseParameters("SELECT * FROM T WHERE A = :ALPHA AND B = ? AND C = ?RDB$RELATION_NAME");
  EXPECT_EQ("SELECT * FROM T WHERE A = ? AND B = ? AND C = ?", parsed.serverText);
  EXPECT_EQ((std::vector<std::string>{"ALPHA", "", "RDB$RELATION_NAME"}), parsed.names);
}

TEST(SqlParameters, StringsCommentsAndQuotedNamesAreLeftAlone) {
  const std::string text =
      "/* :not ? */ SELECT 'a:b ?' , \"X:Y\" FROM T -- :no ?\r\nWHERE A = 'it''s :x' AND B = :B";
  const ParsedParameters parsed = ParseParameters(text);
  EXPECT_EQ((std::vector<std::string>{"B"}), parsed.names);
  EXPECT_EQ("/* :not ? */ SELECT 'a:b ?' , \"X:Y\" FROM T -- :no ?\r\nWHERE A = 'it''s :x' AND B = ?",
            parsed.serverText);
}

TEST(SqlKind, SelectIsFoundAfterCommentsAndForUpdateAtTopLevel) {
  EXPECT_TRUE(IsSelect("/* test */\r\nselect 1 from rdb$database"));
  EXPECT_FALSE(IsSelect("UPDATE T SET A = 1"));
  EXPECT_FALSE(IsSelect("EXECUTE PROCEDURE P"));
  EXPECT_TRUE(HasForUpdate("SELECT A FROM T FOR UPDATE"));
  EXPECT_FALSE(HasForUpdate("SELECT A FROM T WHERE B = 'FOR UPDATE'"));
}

TEST(SelectAnalysis, ThePlainSettingsSelect) {
  const std::string text = "SELECT * FROM SIS_BACKUP";
  const SelectParts parts = AnalyzeSelect(text);
  ASSERT_TRUE(parts.select);
  EXPECT_TRUE(parts.keyable);
  EXPECT_EQ("SIS_BACKUP", parts.firstTable);
  EXPECT_EQ("*", platform::Trim(text.substr(parts.listBegin, parts.listEnd - parts.listBegin)));
}

TEST(SelectAnalysis, AggregatesDistinctGroupingUnionsAndProcedureCallsHaveNoKey) {
  for (const std::string text :
       {"SELECT COUNT(*) FROM T", "SELECT DISTINCT A FROM T", "SELECT A FROM T GROUP BY A",
        "SELECT A FROM T UNION SELECT A FROM U", "SELECT * FROM PROC(1, 2)"}) {
    const SelectParts parts = AnalyzeSelect(text);
    EXPECT_TRUE(parts.select) << text;
    EXPECT_FALSE(parts.keyable) << text;
  }
  EXPECT_FALSE(AnalyzeSelect("EXECUTE PROCEDURE P").select);
}

TEST(SelectAnalysis, CommasAndSubSelectsInTheListDoNotHideTheFirstTable) {
  const std::string text = "select a, coalesce(b, c) as d, t.e from tab t where x = 1";
  const SelectParts parts = AnalyzeSelect(text);
  EXPECT_TRUE(parts.keyable);
  EXPECT_EQ("TAB", parts.firstTable);
  EXPECT_EQ("a, coalesce(b, c) as d, t.e",
            platform::Trim(text.substr(parts.listBegin, parts.listEnd - parts.listBegin)));
  // A sub-select's FROM is not the statement's.
  EXPECT_EQ("R", AnalyzeSelect("SELECT (SELECT 1 FROM X) AS A FROM R").firstTable);
}

}  // namespace
}  // namespace db::sqltext
