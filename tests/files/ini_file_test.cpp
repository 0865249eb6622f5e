// The INI document: the file format rules, reads and writes, saving, and agreement with an INI
// reader that is not ours.
#include "runtime/files/ini_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "file_test_helpers.h"
#include "runtime/core/program_flow.h"
#include "runtime/core/runtime_errors.h"
#include "runtime/files/asset_resolver.h"
#include "runtime/files/file_channels.h"
#include "runtime/files/ini_file_internal.h"

namespace quillon {
namespace {

using testing_files::FileTest;
using testing_files::ReadBytesOf;
using testing_files::WriteBytesTo;

class IniTest : public FileTest {
 protected:
  void SetUp() override {
    FileTest::SetUp();
    iniDocument = IniDocument();
  }
  void TearDown() override {
    iniDocument = IniDocument();
    FileTest::TearDown();
  }
  void Load(const std::string& contents, const std::string& name = "doc.ini") {
    WriteBytesTo(Path(name), contents);
    OpenIni(Path(name).c_str());
  }
  std::string Read(const char* section, const char* key) { return ReadIni(section, key).CStr(); }
  // Saves the current document by opening another, and returns what was saved.
  std::string SavedText() {
    std::string name = iniDocument.fileName.CStr();
    OpenIni(Path("unrelated.ini").c_str());
    return ReadBytesOf(name);
  }
};

TEST_F(IniTest, KeysAndSectionsMatchInAnyCaseAndEmptyValuesAreNotStored) {
  Load("[Game]\r\nspeed = 3\r\nName=Player One\r\nkey=\r\nblank =  \t\r\n[Empty]\r\n");
  EXPECT_EQ(Read("game", "SPEED"), "3");
  EXPECT_EQ(Read("Game", "name"), "Player One");
  EXPECT_EQ(Read("Game", "key"), "NO_DATA");
  EXPECT_EQ(Read("Game", "blank"), "NO_DATA");
  EXPECT_EQ(Read("Other", "speed"), "NO_DATA");
  EXPECT_EQ(iniDocument.sections.size(), 1u);  // [Empty] has no entries
}

TEST_F(IniTest, LineRulesForSectionsKeysValuesAndComments) {
  Load(
      "top=before any section\r\n"
      "   ; an indented comment\r\n"
      "[My Game]\r\n"
      "\t  padded   =   trailing spaces stay  \r\n"
      "no equals sign here\r\n"
      "equals=a=b\r\n"
      "control=text\x01\x02\r\n"
      "high=caf\xE9\r\n"
      "semi=57 ; not a comment\r\n"
      "[ Twice]]\r\n"
      "z=3\r\n");
  EXPECT_EQ(Read("", "top"), "before any section");
  EXPECT_EQ(Read("My", "padded"), "trailing spaces stay  ");
  EXPECT_EQ(Read("My Game", "padded"), "NO_DATA");  // the name stops at the blank
  EXPECT_EQ(Read("My", "no"), "NO_DATA");
  EXPECT_EQ(Read("My", "equals"), "a=b");
  EXPECT_EQ(Read("My", "control"), "text");
  EXPECT_EQ(Read("My", "high"), "caf\xE9");  // bytes above 0x7F are letters, not controls
  EXPECT_EQ(Read("My", "semi"), "57 ; not a comment");
  EXPECT_EQ(Read("Twice]", "z"), "3");  // one closing bracket is dropped
}

TEST_F(IniTest, DuplicateSectionsAreKeptAndTheFirstAnswers) {
  Load("[S]\na=1\n[s]\na=9\nc=3\n[]\nd=4\n[L]\nk=" + std::string(1500, 'x') + "\n");
  ASSERT_EQ(iniDocument.sections.size(), 4u);
  EXPECT_EQ(Read("S", "a"), "1");
  EXPECT_EQ(Read("S", "c"), "NO_DATA");  // only the first [S] is searched
  // An empty name keeps the previous section's name for a new section.
  EXPECT_STREQ(iniDocument.sections[2].name.CStr(), "s");
  EXPECT_EQ(Read("L", "k"), std::string(1022, 'x'));  // lines come in 1024-byte pieces
}

TEST_F(IniTest, WriteAppendsReplacesAndRemovesByMovingTheLastIntoPlace) {
  OpenIni(Path("new.ini").c_str());
  WriteIni("Game", "speed", "3");
  WriteIni("Game", "name", "Ann");
  WriteIni("Game", "lives", "5");
  WriteIni("game", "SPEED", "4");
  EXPECT_EQ(Read("Game", "speed"), "4");
  WriteIni("Game", "speed", "");
  EXPECT_EQ(Read("Game", "speed"), "NO_DATA");
  WriteIni("Other", "k", "v");
  WriteIni("Third", "k", "v");
  std::string withGame = SerializeIniDocument(iniDocument);
  EXPECT_EQ(withGame.substr(0, 25), "[Game]\r\nlives=5\r\nname=Ann");
  WriteIni("Game", "", "");
  EXPECT_EQ(SavedText(), "[Third]\r\nk=v\r\n[Other]\r\nk=v\r\n");
}

TEST_F(IniTest, SavingWritesCrLfLinesWithoutCommentsOnlyWhenChanged) {
  const std::string original = "; header\r\n\r\n[A]\r\n  x = 1 \r\n\r\n; middle\r\n[B]\ny=2\n";
  Load(original);
  WriteIni("Missing", "", "");  // removing what is not there changes nothing
  EXPECT_EQ(SavedText(), original);
  Load(original);
  WriteIni("B", "z", "3");
  EXPECT_EQ(SavedText(), "[A]\r\nx=1 \r\n[B]\r\ny=2\r\nz=3\r\n");
}

TEST_F(IniTest, OpeningAnotherFileAfterOnlyReadingLeavesTheFirstUntouched) {
  const std::string original = "; comment\n[Game]\nspeed = 3\n";
  Load(original, "first.ini");
  struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};  // 2001, far from now
  ASSERT_EQ(utimensat(AT_FDCWD, Path("first.ini").c_str(), old, 0), 0);
  EXPECT_EQ(Read("Game", "speed"), "3");
  Load("[Other]\na=1\n", "second.ini");
  EXPECT_EQ(ReadBytesOf(Path("first.ini")), original);
  struct stat info;
  ASSERT_EQ(stat(Path("first.ini").c_str(), &info), 0);
  EXPECT_EQ(info.st_mtim.tv_sec, 1000000000);
  // A changed document is saved before the next one loads, with nothing left beside it.
  WriteIni("Other", "a", "2");
  Load("[T]\nb=1\n", "third.ini");
  EXPECT_EQ(ReadBytesOf(Path("second.ini")), "[Other]\r\na=2\r\n");
  EXPECT_EQ(testing_files::FilesBelow(root),
            (std::set<std::string>{"first.ini", "second.ini", "third.ini", "tmp"}));
}

TEST_F(IniTest, DocumentInsideTheArchiveIsFound) {
  WriteBytesTo(
      Path("game"),
      testing_files::BuildArchive("prog", {{"settings.ini", "[Net]\nport=27013\n"}}, true).bytes);
  CreateAssetResolvers(Path("game"));
  OpenIni("config/settings.ini");
  EXPECT_EQ(Read("net", "PORT"), "27013");
}

TEST_F(IniTest, ChangedDocumentIsOnDiskAfterProgramEndAlsoByRuntimeError) {
  OpenIni(Path("end.ini").c_str());
  EXPECT_EXIT(
      {
        WriteIni("End", "how", "normal");
        EndProgram();
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(ReadBytesOf(Path("end.ini")), "[End]\r\nhow=normal\r\n");
  EXPECT_EXIT(
      {
        WriteIni("End", "how", "error");
        CloseFile(-1);
      },
      ::testing::ExitedWithCode(7), "runtime error 7");
  EXPECT_EQ(ReadBytesOf(Path("end.ini")), "[End]\r\nhow=error\r\n");
}

TEST_F(IniTest, FuzzCorpusDocumentsReadBackTheSameAfterSaving) {
  const std::string corpus = std::string(QUILLON_SOURCE_DIR) + "/fuzz/corpus/ini_fuzz";
  int compared = 0;
  for (const auto& file : std::filesystem::directory_iterator(corpus)) {
    OpenIni(file.path().c_str());
    std::string saved = SerializeIniDocument(iniDocument);
    WriteBytesTo(Path("saved.ini"), saved);
    OpenIni(Path("saved.ini").c_str());
    // Lines longer than one read piece split differently the second time.
    if (saved.find(std::string(1000, 'x')) != std::string::npos) continue;
    EXPECT_EQ(SerializeIniDocument(iniDocument), saved) << file.path();
    ++compared;
  }
  EXPECT_GT(compared, 0);
}

// --- against INI files and a reader from elsewhere ------------------------------------------

// Sections, keys and values as Python's configparser sees a file: "section\tkey\tvalue" lines.
std::string ParsedByConfigParser(const std::string& path) {
  std::string command =
      "python3 -c 'import configparser,sys\n"
      "p=configparser.ConfigParser(strict=False,interpolation=None,delimiters=(\"=\",),"
      "comment_prefixes=(\";\",))\n"
      "p.read(sys.argv[1],encoding=\"latin-1\")\n"
      "for s in p.sections():\n"
      "  for k,v in p.items(s):\n"
      "    print(s+\"\\t\"+k+\"\\t\"+v)' '" +
      path + "' 2>&1";
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    if (pclose(pipe) != 0) out = "failed: " + out;
  }
  return out;
}

// The same listing from our document, keys folded to lower case as configparser does.
std::string ParsedByUs() {
  std::string out;
  for (const IniSection& section : iniDocument.sections) {
    for (const IniEntry& entry : section.entries) {
      std::string key = entry.key.CStr();
      for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      out += std::string(section.name.CStr()) + "\t" + key + "\t" + entry.value.CStr() + "\n";
    }
  }
  return out;
}

TEST_F(IniTest, SavedAndRealWorldDocumentsParseTheSameInAnotherReader) {
  if (testing_files::RunCommand("python3 -c 'import configparser' 2>/dev/null") != 0) {
    GTEST_SKIP() << "python3 with configparser is not installed";
  }
  OpenIni(Path("saved.ini").c_str());
  WriteIni("Display", "width", "800");
  WriteIni("Display", "title", "Grav duel: the game");
  WriteIni("Players", "one", "Ann");
  WriteIni("Paths", "save", "C:\\games\\gravduel");
  WriteIni("Display", "width", "1024");
  std::string ours = ParsedByUs();
  FlushIniDocument();
  EXPECT_EQ(ParsedByConfigParser(Path("saved.ini")), ours);
  OpenIni(Path("saved.ini").c_str());
  EXPECT_EQ(ParsedByUs(), ours);

  Load(
      "; a server's settings\n[server]\nhost = example.test\nport=8080\n\n; logging\n"
      "[logging]\nlevel = debug\nfile = /var/log/app.log\n[paths]\nroot=C:\\data\n");
  EXPECT_EQ(ParsedByConfigParser(Path("doc.ini")), ParsedByUs());
}

TEST_F(IniTest, RealWorldFilesReadByTheFormatRules) {
  // A hand-edited game configuration: comments, blank lines, blanks around "=", CR LF.
  Load(
      "; Gravduel settings\r\n\r\n[Display]\r\nwidth = 800\r\nheight=640\r\n\r\n"
      "[Controls]\r\n   up    = 200\r\nfire = 57   ; space bar\r\n");
  EXPECT_EQ(Read("display", "WIDTH"), "800");
  EXPECT_EQ(Read("Display", "height"), "640");
  EXPECT_EQ(Read("Controls", "up"), "200");
  EXPECT_EQ(Read("Controls", "fire"), "57   ; space bar");
  // Duplicate keys, LF only: the first one answers.
  Load("[database]\nhost = primary\nport = 5432\nhost = replica\n", "db.ini");
  EXPECT_EQ(Read("database", "host"), "primary");
  // A system file with empty sections and names that contain blanks.
  Load("[fonts]\r\n[extensions]\r\n[mci extensions]\r\n[Mail]\r\nMAPI=1\r\n", "win.ini");
  ASSERT_EQ(iniDocument.sections.size(), 1u);
  EXPECT_EQ(Read("mail", "mapi"), "1");
  // A folder settings file with dotted names and an empty value.
  Load("[.ShellClassInfo]\r\nIconResource=C:\\Windows\\icon.dll,-12\r\n[ViewState]\r\nMode=\r\n",
       "desktop.ini");
  EXPECT_EQ(Read(".shellclassinfo", "iconresource"), "C:\\Windows\\icon.dll,-12");
  EXPECT_EQ(Read("ViewState", "Mode"), "NO_DATA");
}

}  // namespace
}  // namespace quillon
