#include <gtest/gtest.h>

#include "app/desktop/DesktopEntry.h"

namespace testsupport {
namespace {

using app::QuoteExecArgument;
using app::SplitExecArguments;
using Arguments = std::vector<std::string>;

// What a launcher does with a line read from an entry file: string escapes first, then the Exec quoting.
std::optional<Arguments> AsLauncherReadsIt(const std::string& valueInFile) {
  return SplitExecArguments(app::UnescapeStringValue(valueInFile));
}

TEST(ExecQuoting, PlainPathsStayUnquotedAndReservedCharactersForceQuotes) {
  EXPECT_EQ(QuoteExecArgument("/opt/kelmora/backup"), "/opt/kelmora/backup");
  EXPECT_EQ(QuoteExecArgument("/opt/Kelmora Backup/backup"), "\"/opt/Kelmora Backup/backup\"");
  for (const char* reserved : {"\t", "\n", "'", ">", "<", "~", "|", "&", ";", "*", "?", "#", "(", ")"}) {
    const std::string argument = std::string("/a") + reserved + "b";
    EXPECT_EQ(QuoteExecArgument(argument), "\"" + argument + "\"") << "reserved " << reserved;
  }
  EXPECT_EQ(QuoteExecArgument(""), "\"\"") << "an empty argument must survive as one";
}

TEST(ExecQuoting, TheFourSpecialCharactersAreEscapedInsideQuotesAndPercentIsDoubled) {
  EXPECT_EQ(QuoteExecArgument("/a/$HOME"), "\"/a/\\$HOME\"");
  EXPECT_EQ(QuoteExecArgument("/a/`x`"), "\"/a/\\`x\\`\"");
  EXPECT_EQ(QuoteExecArgument("/a/\"q\""), "\"/a/\\\"q\\\"\"");
  EXPECT_EQ(QuoteExecArgument("C:\\x"), "\"C:\\\\x\"");
  EXPECT_EQ(QuoteExecArgument("/opt/100%/backup"), "/opt/100%%/backup") << "%f would be a field code";
  EXPECT_EQ(QuoteExecArgument("/opt/100% x/backup"), "\"/opt/100%% x/backup\"");
}

TEST(ExecQuoting, TheFileFormOfDollarAndBackslashIsTheDocumentedOne) {
  // The format's own examples: a literal dollar in a quoted argument is written \\$ in the file, and a
  // literal backslash four backslashes.
  const std::string entry = app::ComposeAutostartEntry("x", "/opt/a b/$x\\y");
  EXPECT_NE(entry.find("Exec=\"/opt/a b/\\\\$x\\\\\\\\y\"\n"), std::string::npos) << entry;
}

TEST(ExecQuoting, AwkwardProgramPathsSurviveTheRoundTripThroughTheFile) {
  const std::vector<std::string> paths = {
      "/opt/kelmora/backup",   "/opt/Kelmora Backup/backup", "/opt/$(rm -rf ~)/backup", "/opt/`id`/backup",
      "/opt/a\"b/backup",      "/opt/a\\b/backup",           "/opt/100%/backup",        "/opt/%f/backup",
      "/opt/tab\there/backup", "/opt/new\nline/backup",      "/opt/cr\rx/backup",       " /lead/space",
      "/opt/ação/backup",      "/opt/'single'/backup",       "/opt/a\\\\$b/backup",     "",
  };
  for (const std::string& path : paths) {
    const std::string inFile = app::EscapeStringValue(QuoteExecArgument(path));
    EXPECT_EQ(inFile.find('\n'), std::string::npos) << "a value is one line: " << path;
    const auto read = AsLauncherReadsIt(inFile);
    ASSERT_TRUE(read.has_value()) << path;
    EXPECT_EQ(*read, Arguments{path}) << "written as " << inFile;
  }
}

TEST(ExecSplitting, ArgumentsQuotesAndBrokenLines) {
  EXPECT_EQ(*SplitExecArguments("/usr/bin/prog -x \"two words\"  last"),
            (Arguments{"/usr/bin/prog", "-x", "two words", "last"}));
  EXPECT_EQ(*SplitExecArguments("prog \"\""), (Arguments{"prog", ""}));
  EXPECT_EQ(*SplitExecArguments("prog 50%% %%f 100%%"), (Arguments{"prog", "50%", "%f", "100%"}));
  EXPECT_EQ(*SplitExecArguments("pre\"fix mid\"post"), (Arguments{"prefix midpost"}));
  EXPECT_TRUE(SplitExecArguments("   \t ")->empty());
  EXPECT_TRUE(SplitExecArguments("")->empty());
  EXPECT_FALSE(SplitExecArguments("\"/opt/never closed").has_value());
  EXPECT_FALSE(SplitExecArguments("prog \"a\\\"").has_value()) << "the last quote is escaped";
}

TEST(StringValues, EscapesAreReadBackAndUnknownOnesLeftForExec) {
  EXPECT_EQ(app::UnescapeStringValue("a\\sb\\nc\\td\\re\\\\f"), "a b\nc\td\re\\f");
  EXPECT_EQ(app::UnescapeStringValue("\\$x \\\" end\\"), "\\$x \\\" end\\");
  EXPECT_EQ(app::EscapeStringValue(" a b"), "\\sa b");
}

TEST(EntryReading, OnlyTheMainGroupCountsAndTheFirstKeyWins) {
  const std::string entry =
      "# comment\r\n"
      "[Desktop Action x]\nExec=/wrong/group\n"
      "[Desktop Entry]\r\n"
      "Name=N\r\n"
      "Exec[de]=/localized\n"
      "  Exec  =   /first\\sarg \r\n"
      "Exec=/second\n"
      "[Other]\nExec=/other\n";
  EXPECT_EQ(app::ReadEntryKey(entry, "Exec"), "/first arg ");
  EXPECT_EQ(app::ReadEntryKey(entry, "Name"), "N");
  EXPECT_FALSE(app::ReadEntryKey(entry, "Type").has_value());
  EXPECT_FALSE(app::ReadEntryKey("[Other]\nExec=/x\n", "Exec").has_value());
  EXPECT_FALSE(app::ReadEntryKey("Exec=/outside/any/group\n", "Exec").has_value());
  EXPECT_EQ(app::ReadEntryKey("[Desktop Entry]\nExec=\n", "Exec"), "");
}

TEST(EntryComposing, AnEntryIsAnApplicationWithItsNameAndOneProgram) {
  const std::string entry = app::ComposeAutostartEntry("Backup Kelmora", "/opt/kelmora/backup");
  EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u) << "the main group comes first";
  EXPECT_EQ(app::ReadEntryKey(entry, "Type"), "Application");
  EXPECT_EQ(app::ReadEntryKey(entry, "Name"), "Backup Kelmora");
  EXPECT_EQ(AsLauncherReadsIt(*app::ReadEntryKey(entry, "Exec")), Arguments{"/opt/kelmora/backup"});
  const std::string oddName = app::ComposeAutostartEntry("two\nlines", "/p");
  EXPECT_EQ(app::ReadEntryKey(oddName, "Name"), "two\nlines") << "a name cannot add keys";
  EXPECT_EQ(app::ReadEntryKey(oddName, "Exec"), "/p");
}

}  // namespace
}  // namespace testsupport
