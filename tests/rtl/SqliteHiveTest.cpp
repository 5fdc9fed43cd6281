#include "rtl/SqliteHive.h"
#include "HiveFaults.h"
#include "rtl/RegIniFile.h"
#include "rtl/SqliteHiveHooks.h"
#include "rtl/StringList.h"

#include "HiveTestSupport.h"

#include <gmock/gmock.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>

#include <chrono>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <thread>

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using namespace std::chrono_literals;

const UnicodeString Key = u"Software\\Orvik\\Palette Menu";
const UnicodeString Categories = Key + u"\\Categories";

class SqliteHiveTest : public ::testing::Test {
protected:
  std::unique_ptr<TRegistryHive> Open(std::chrono::milliseconds Timeout = 2000ms) {
    return OpenSqliteHive(HivePath, Timeout);
  }
  std::unique_ptr<TRegIniFile> Reg() { return std::make_unique<TRegIniFile>(Key, Open()); }

  TTempDir Temp;
  std::string HiveFile = Temp.File("HKCU.db");
  UnicodeString HivePath = Temp.Path("HKCU.db");
};

TEST_F(SqliteHiveTest, ValuesKeysAndTheirSpellingSurviveReopening) {
  const UnicodeString Odd(u"a\0b \u00e9\U0001F600 \xD800!", 10); // NUL and a lone surrogate
  {
    auto R = Reg();
    R->WriteString(u"Categories", u"Standard", u"Common;VCL");
    R->WriteString(u"Categories", u"\u00c4rger", Odd);
    R->WriteString(u"Categories", u"Empty", u"");
    R->Hive().WriteValue(Categories, {u"Bits", REG_BINARY, {}});
    R->Hive().WriteValue(Categories, {u"Count", 0x12345678, {1, 2, 3}});
    R->Hive().CreateKey(Key + u"\\Deeper\\Still");
  }
  auto R = Reg();
  EXPECT_EQ(R->ReadString(u"CATEGORIES", u"standard", u""), u"Common;VCL");
  EXPECT_EQ(R->ReadString(u"Categories", u"\u00e4RGER", u""), Odd);
  EXPECT_EQ(R->ReadString(u"Categories", u"Empty", u"default"), u"");
  EXPECT_EQ(R->Hive().ReadValue(Categories, u"Bits"), (TRegValue{u"Bits", REG_BINARY, {}}));
  EXPECT_EQ(R->Hive().ReadValue(Categories, u"count"),
            (TRegValue{u"Count", 0x12345678, {1, 2, 3}}));
  EXPECT_THROW(R->ReadString(u"Categories", u"Count", u""), ERegistryException);
  EXPECT_EQ(R->Hive().ValueNames(Categories),
            (std::vector<UnicodeString>{u"Standard", u"\u00c4rger", u"Empty", u"Bits", u"Count"}));
  EXPECT_EQ(R->Hive().SubKeyNames(Key), (std::vector<UnicodeString>{u"Categories", u"Deeper"}));
  EXPECT_TRUE(R->Hive().KeyExists(u"software\\ORVIK\\palette menu\\deeper\\still"));
  EXPECT_EQ(IntegrityCheck(HiveFile), "ok");
}

TEST_F(SqliteHiveTest, NamesFoldByUnicodeCaseAndKeepTheirLength) {
  auto R = Reg();
  R->WriteString(u"\u00c4PFEL", u"\U00010400", u"deseret capital");
  R->WriteString(u"\u00e4pfel", u"\U00010428", u"deseret small");
  R->WriteString(u"\u00e4pfel", u"Ma\u00dfe", u"measures");
  R->WriteString(u"\u00e4pfel", u"MASSE", u"mass");
  R->WriteString(u"\u00e4pfel", u"\u03a3\u039f\u03a6\u0399\u0391", u"sophia");
  EXPECT_EQ(R->ReadString(u"\u00e4PFEL", u"\U00010400", u""), u"deseret small");
  EXPECT_EQ(R->ReadString(u"\u00c4pfel", u"Ma\u00dfe", u""), u"measures");
  EXPECT_EQ(R->ReadString(u"\u00c4pfel", u"masse", u""), u"mass");
  EXPECT_EQ(R->ReadString(u"\u00c4pfel", u"\u03c3\u03bf\u03c6\u03b9\u03b1", u""), u"sophia");
  EXPECT_EQ(R->Hive().SubKeyNames(Key), (std::vector<UnicodeString>{u"\u00c4PFEL"}));
  EXPECT_EQ(R->Hive().ValueNames(Key + u"\\\u00c4PFEL"),
            (std::vector<UnicodeString>{u"\U00010400", u"Ma\u00dfe", u"MASSE",
                                        u"\u03a3\u039f\u03a6\u0399\u0391"}));
}

TEST_F(SqliteHiveTest, NameRulesAreEnforcedAndBadNamesRefusedNotMangled) {
  auto R = Reg();
  EXPECT_NO_THROW(R->WriteString(UnicodeString(255, u'k'), u"v", u"x"));
  EXPECT_THROW(R->WriteString(UnicodeString(256, u'k'), u"v", u"x"), ERegistryException);
  EXPECT_NO_THROW(R->WriteString(u"S", UnicodeString(16383, u'n'), u"x"));
  EXPECT_THROW(R->WriteString(u"S", UnicodeString(16384, u'n'), u"x"), ERegistryException);
  EXPECT_THROW(R->WriteString(u"a\\\\b", u"v", u"x"), ERegistryException);
  try {
    R->WriteString(u"S", UnicodeString(u"a\0b", 3), u"x");
    ADD_FAILURE() << "a value name with NUL was accepted";
  } catch (const ERegistryException& E) {
    EXPECT_THAT(MessageOf(E), HasSubstr("NUL"));
  }
  try {
    R->WriteString(UnicodeString(u"k\xDC00", 2), u"v", u"x");
    ADD_FAILURE() << "a key name with a lone surrogate was accepted";
  } catch (const ERegistryException& E) {
    EXPECT_THAT(MessageOf(E), HasSubstr("surrogate"));
  }
  // Only the accepted writes are there.
  EXPECT_EQ(R->Hive().SubKeyNames(Key),
            (std::vector<UnicodeString>{UnicodeString(255, u'k'), u"S"}));
  EXPECT_EQ(R->Hive().ValueNames(Key + u"\\S"),
            (std::vector<UnicodeString>{UnicodeString(16383, u'n')}));
}

// The number of rows of a table of the hive file.
int Rows(const std::string& File, const char* Table) {
  sqlite3* Db = nullptr;
  sqlite3_open_v2(File.c_str(), &Db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* S = nullptr;
  sqlite3_prepare_v2(Db, (std::string("SELECT count(*) FROM ") + Table).c_str(), -1, &S, nullptr);
  int N = sqlite3_step(S) == SQLITE_ROW ? sqlite3_column_int(S, 0) : -1;
  sqlite3_finalize(S);
  sqlite3_close_v2(Db);
  return N;
}

TEST_F(SqliteHiveTest, DeletingAKeyTakesEverythingBelowIt) {
  auto R = Reg();
  R->WriteString(u"Categories", u"A", u"1");
  R->WriteString(u"Categories\\Deeper", u"B", u"2");
  R->WriteString(u"Categories\\Deeper\\Deepest", u"C", u"3");
  R->WriteString(u"Kept", u"D", u"4");
  R->EraseSection(u"CATEGORIES");
  EXPECT_FALSE(R->Hive().KeyExists(Categories));
  EXPECT_EQ(R->Hive().SubKeyNames(Key), (std::vector<UnicodeString>{u"Kept"}));
  R->Hive().CreateKey(Categories + u"\\Deeper");
  EXPECT_EQ(R->ReadString(u"Categories\\Deeper", u"B", u"new"), u"new");
  R.reset();
  // Root, Software, Orvik, Palette Menu, Kept, Categories, Deeper; one value.
  EXPECT_EQ(Rows(HiveFile, "reg_keys"), 7);
  EXPECT_EQ(Rows(HiveFile, "reg_values"), 1);
}

TEST_F(SqliteHiveTest, DeletingWhatDoesNotExistChangesNothing) {
  auto R = Reg();
  R->WriteString(u"Categories", u"Standard", u"A; B");
  R.reset(); // closing folds the journal into the file
  std::string Before = ReadBytes(HiveFile);
  {
    auto H = Open();
    H->DeleteValue(Categories, u"Nothing");
    H->DeleteValue(Key + u"\\No Section", u"Nothing");
    H->DeleteKey(Key + u"\\No Section\\Deeper");
    EXPECT_FALSE(H->KeyExists(Key + u"\\No Section"));
  }
  EXPECT_EQ(ReadBytes(HiveFile), Before);
  EXPECT_THROW(Open()->DeleteKey(u""), ERegistryException);
}

// Keys are found by their whole path, in one statement up to some depth and part by part
// beyond: every depth, twin leaves under different parents, and a key deleted by another handle
// and created again elsewhere under the same names (its id may be reused) must each answer
// their own values.
TEST_F(SqliteHiveTest, KeysOfEveryDepthAnswerTheirOwnValuesAfterKeysComeAndGoElsewhere) {
  auto Writer = Open();
  UnicodeString Path = u"Deep";
  std::vector<UnicodeString> Paths;
  for (int Depth = 1; Depth <= 12; ++Depth) {
    Paths.push_back(Path);
    Writer->WriteValue(Path + u"\\Leaf", {u"V", REG_SZ, {static_cast<uint8_t>('a' + Depth), 0}});
    Writer->WriteValue(Path + u"\\Twin\\Leaf",
                       {u"V", REG_SZ, {static_cast<uint8_t>('A' + Depth), 0}});
    Path += u"\\P" + IntToStr(Depth);
  }
  auto Check = [&](TRegistryHive& H) {
    for (size_t I = 0; I < Paths.size(); ++I) {
      const uint8_t Depth = static_cast<uint8_t>(I + 1);
      SCOPED_TRACE(UTF8Encode(Paths[I]));
      EXPECT_EQ(H.ReadValue(Paths[I] + u"\\LEAF", u"v"),
                (TRegValue{u"V", REG_SZ, {static_cast<uint8_t>('a' + Depth), 0}}));
      EXPECT_EQ(H.ReadValue(Paths[I] + u"\\twin\\Leaf", u"V"),
                (TRegValue{u"V", REG_SZ, {static_cast<uint8_t>('A' + Depth), 0}}));
      EXPECT_TRUE(H.KeyExists(Paths[I] + u"\\Twin"));
      EXPECT_FALSE(H.KeyExists(Paths[I] + u"\\Leaf\\Twin"));
      EXPECT_EQ(H.ReadValue(Paths[I] + u"\\Leaf\\Twin", u"V"), std::nullopt);
    }
  };
  Check(*Open()); // a new handle: nothing kept
  auto Reader = Open();
  Check(*Reader);
  Check(*Reader); // kept values
  // The newest keys go (the largest ids), and keys of the same names come back under another
  // parent: the old paths are missing, the new ones answer.
  const UnicodeString Last = Paths.back();
  Writer->DeleteKey(Last);
  Writer->WriteValue(u"Other\\Leaf", {u"V", REG_SZ, {'o', 0}});
  Writer->WriteValue(u"Other\\Twin\\Leaf", {u"V", REG_SZ, {'t', 0}});
  EXPECT_EQ(Reader->ReadValue(Last + u"\\Twin\\Leaf", u"V"), std::nullopt);
  EXPECT_EQ(Reader->ReadValue(Last + u"\\Leaf", u"V"), std::nullopt);
  EXPECT_FALSE(Reader->KeyExists(Last + u"\\Twin"));
  EXPECT_EQ(Reader->ReadValue(u"Other\\Twin\\Leaf", u"V"), (TRegValue{u"V", REG_SZ, {'t', 0}}));
  Writer->WriteValue(Last + u"\\Twin\\Leaf", {u"V", REG_SZ, {'n', 0}});
  EXPECT_EQ(Reader->ReadValue(Last + u"\\Twin\\Leaf", u"V"), (TRegValue{u"V", REG_SZ, {'n', 0}}));
  EXPECT_EQ(Reader->ReadValue(Last + u"\\Leaf", u"V"), std::nullopt);
  EXPECT_EQ(Reader->SubKeyNames(Last), (std::vector<UnicodeString>{u"Twin"}));
}

TEST_F(SqliteHiveTest, TwoHandlesInOneProcessSeeEachOthersWrites) {
  auto A = Reg();
  auto B = Reg();
  EXPECT_EQ(B->ReadString(u"Categories", u"Shared", u"none"), u"none");
  A->WriteString(u"Categories", u"Shared", u"yes");
  EXPECT_EQ(B->ReadString(u"Categories", u"Shared", u""), u"yes");
  B->DeleteKey(u"Categories", u"Shared");
  EXPECT_EQ(A->ReadString(u"Categories", u"Shared", u"gone"), u"gone");
}

// A new handle takes the values of a key another handle of the process loaded, but only while
// nothing was committed since: every change by a handle or another process, an erased key and a
// replaced file show at its next read, and a handle's changes to what it keeps never reach the
// values another handle took.
TEST_F(SqliteHiveTest, ANewHandleTakesAKeyAnotherLoadedOnlyWhileNothingWasCommittedSince) {
  auto Loader = Reg();
  for (int I = 1; I <= 20; ++I)
    Loader->WriteString(u"Categories", u"Tab " + IntToStr(I), IntToStr(I));
  // A first read alone, a second loads the whole key.
  EXPECT_EQ(Loader->ReadString(u"Categories", u"Tab 1", u""), u"1");
  EXPECT_EQ(Loader->ReadString(u"Categories", u"Tab 2", u""), u"2");
  auto Taker = Reg();
  for (int I = 1; I <= 20; ++I)
    ASSERT_EQ(Taker->ReadString(u"categories", u"TAB " + IntToStr(I), u""), IntToStr(I));
  EXPECT_EQ(Taker->ReadString(u"Categories", u"Tab 21", u"none"), u"none");
  EXPECT_EQ(SqliteHiveKeysTaken(Taker->Hive()), 1u);

  // Each handle's own writes: the other sees them once committed, never the other's copy.
  Taker->WriteString(u"Categories", u"Tab 3", u"taker");
  Loader->WriteString(u"Categories", u"Tab 4", u"loader");
  EXPECT_EQ(Loader->ReadString(u"Categories", u"Tab 3", u""), u"taker");
  EXPECT_EQ(Taker->ReadString(u"Categories", u"Tab 4", u""), u"loader");
  EXPECT_EQ(Taker->ReadString(u"Categories", u"Tab 3", u""), u"taker");
  // A key loaded before another handle's commit is not taken after it.
  EXPECT_EQ(Loader->ReadString(u"Categories", u"Tab 5", u""), u"5");
  EXPECT_EQ(Loader->ReadString(u"Categories", u"Tab 1", u""), u"1");
  Taker->WriteString(u"Categories", u"Tab 5", u"changed");
  {
    auto Late = Reg();
    EXPECT_EQ(Late->ReadString(u"Categories", u"Tab 5", u""), u"changed");
    EXPECT_EQ(Late->ReadString(u"Categories", u"Tab 4", u""), u"loader");
  }
  // Another process's change, between the loading and the new handle.
  EXPECT_EQ(Loader->ReadString(u"Categories", u"Tab 6", u""), u"6");
  EXPECT_EQ(Loader->ReadString(u"Categories", u"Tab 1", u""), u"1");
  ASSERT_EQ(RunWorker({"set", HiveFile, UTF8Encode(Categories), "Tab 6", "elsewhere"}), "set\n");
  {
    auto Late = Reg();
    EXPECT_EQ(Late->ReadString(u"Categories", u"Tab 6", u""), u"elsewhere");
    EXPECT_EQ(Late->ReadString(u"Categories", u"Tab 7", u""), u"7");
    EXPECT_EQ(SqliteHiveKeysTaken(Late->Hive()), 0u);
  }
  // A key loaded again after the change is taken again, as it is now.
  EXPECT_EQ(Loader->ReadString(u"Categories", u"Tab 6", u""), u"elsewhere");
  EXPECT_EQ(Loader->ReadString(u"Categories", u"Tab 7", u""), u"7");
  {
    auto Late = Reg();
    EXPECT_EQ(Late->ReadString(u"Categories", u"Tab 6", u""), u"elsewhere");
    EXPECT_EQ(Late->ReadString(u"Categories", u"Tab 3", u""), u"taker");
    EXPECT_EQ(SqliteHiveKeysTaken(Late->Hive()), 1u);
  }
  // The key erased by another handle: gone for the one that took it and for a new one.
  EXPECT_EQ(Taker->ReadString(u"Categories", u"Tab 8", u""), u"8");
  Loader->EraseSection(u"Categories");
  EXPECT_EQ(Taker->ReadString(u"Categories", u"Tab 8", u"gone"), u"gone");
  EXPECT_EQ(Reg()->ReadString(u"Categories", u"Tab 8", u"gone"), u"gone");
  EXPECT_TRUE(SqliteHiveUsesHeaderCheck(Loader->Hive()));
  EXPECT_TRUE(SqliteHiveUsesHeaderCheck(Taker->Hive()));
}

TEST_F(SqliteHiveTest, AKeyLoadedFromAFileIsNotTakenByAHandleOfTheFileThatReplacedIt) {
  const std::string Other = Temp.File("other.db");
  {
    auto O = OpenSqliteHive(Temp.Path("other.db"));
    for (int I = 1; I <= 3; ++I)
      O->WriteValue(Categories, TRegValue::String(u"Tab " + IntToStr(I), u"new"));
  }
  auto Loader = Reg();
  for (int I = 1; I <= 3; ++I)
    Loader->WriteString(u"Categories", u"Tab " + IntToStr(I), u"old");
  EXPECT_EQ(Loader->ReadString(u"Categories", u"Tab 1", u""), u"old");
  EXPECT_EQ(Loader->ReadString(u"Categories", u"Tab 2", u""), u"old");
  Loader.reset();
  auto Keeper = Reg();
  EXPECT_EQ(Keeper->ReadString(u"Categories", u"Tab 1", u""), u"old");
  EXPECT_EQ(Keeper->ReadString(u"Categories", u"Tab 2", u""), u"old");
  ASSERT_EQ(::rename(Other.c_str(), HiveFile.c_str()), 0);
  auto Late = Reg();
  EXPECT_EQ(Late->ReadString(u"Categories", u"Tab 1", u""), u"new");
  EXPECT_EQ(Late->ReadString(u"Categories", u"Tab 3", u""), u"new");
  EXPECT_EQ(SqliteHiveKeysTaken(Late->Hive()), 0u);
  // The handle of the replaced file is refused rather than answering what it loaded.
  EXPECT_THROW(Keeper->Hive().ValueNames(Categories), ERegistryException);
}

// Reads are answered from what the handle read before as long as nothing changed; every kind of
// change elsewhere must show at the very next read.
TEST_F(SqliteHiveTest, RepeatedReadsSeeEveryChangeMadeElsewhereAtTheNextRead) {
  auto Reader = Reg();
  auto Writer = Reg();
  sqlite3* Raw = nullptr;
  // Through the hive's file layer, which keeps the pages' checksums.
  ASSERT_EQ(sqlite3_open_v2(HiveFile.c_str(), &Raw, SQLITE_OPEN_READWRITE, SqliteHiveVfsName()),
            SQLITE_OK);
  for (int I = 1; I <= 5; ++I) {
    Writer->WriteString(u"Categories", u"Standard", IntToStr(I));
    EXPECT_EQ(Reader->ReadString(u"Categories", u"Standard", u""), IntToStr(I));
    EXPECT_EQ(Reader->ReadString(u"CATEGORIES", u"standard", u""), IntToStr(I));
    // The journal starts over after a full checkpoint: the next commit lands where an
    // earlier one was.
    ASSERT_EQ(sqlite3_exec(Raw, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr),
              SQLITE_OK);
  }
  Writer->DeleteKey(u"Categories", u"Standard");
  EXPECT_EQ(Reader->ReadString(u"Categories", u"Standard", u"gone"), u"gone");
  Writer->WriteString(u"Categories", u"Standard", u"back");
  EXPECT_EQ(Reader->ReadString(u"Categories", u"Standard", u"gone"), u"back");
  Writer->EraseSection(u"Categories");
  EXPECT_EQ(Reader->ReadString(u"Categories", u"Standard", u"gone"), u"gone");
  // Another process, and a plain SQLite connection behind the hive's back.
  ASSERT_THAT(RunWorker({"write", HiveFile, UTF8Encode(Categories), "20"}), Not(HasSubstr("fail")));
  EXPECT_EQ(Reader->ReadString(u"Categories", u"N1", u""), u"1");
  ASSERT_EQ(sqlite3_exec(Raw, "UPDATE reg_values SET data = x'7800'", nullptr, nullptr, nullptr),
            SQLITE_OK);
  EXPECT_EQ(Reader->ReadString(u"Categories", u"N1", u""), u"x");
  // The reader's own writes.
  Reader->WriteString(u"Categories", u"N1", u"mine");
  EXPECT_EQ(Reader->ReadString(u"Categories", u"N1", u""), u"mine");
  sqlite3_close(Raw);
}

// A handle's file layer keeps the pages it read for as long as the shared index says they are
// unchanged, and SQLite reads them again after every commit of another connection: through
// several folds of the journal and its restarts, keys created and removed, and values growing
// past a page, every read answers what was committed last.
TEST_F(SqliteHiveTest, ReadsAfterOtherCommitsStayExactThroughFoldsAndRestartsOfTheJournal) {
  auto Reader = Reg();
  auto Writer = Reg();
  std::map<std::pair<int, int>, UnicodeString> Stored; // (section, value) -> data
  std::mt19937 Random(20261207);
  auto Section = [](int S) { return u"Tab " + IntToStr(S); };
  auto Name = [](int V) { return u"V" + IntToStr(V); };
  for (int I = 1; I <= 4000; ++I) {
    const int S = static_cast<int>(Random() % 5), V = static_cast<int>(Random() % 40);
    if (I % 97 == 0) {
      Writer->EraseSection(Section(S));
      for (auto It = Stored.begin(); It != Stored.end();)
        It = It->first.first == S ? Stored.erase(It) : std::next(It);
      EXPECT_EQ(Reader->ReadString(Section(S), Name(V), u"gone"), u"gone") << "write " << I;
      continue;
    }
    const UnicodeString Data = IntToStr(I) + UnicodeString(Random() % 10 == 0 ? 5000 : 10, u'.');
    Writer->WriteString(Section(S), Name(V), Data);
    Stored[{S, V}] = Data;
    ASSERT_EQ(Reader->ReadString(Section(S), Name(V), u""), Data) << "write " << I;
    if (I % 500 == 0) {
      for (const auto& [Where, Value] : Stored)
        ASSERT_EQ(Reader->ReadString(Section(Where.first), Name(Where.second), u""), Value)
            << "after write " << I;
    }
  }
  // Four thousand commits of one page or more: the journal was folded and restarted.
  EXPECT_LT(std::filesystem::file_size(HiveFile + "-wal"), 1100u * 4200u);
}

// A handle reads the journal's header where its connection mapped the shared memory, without
// mapping it again at every read: that place must stay the live header while other handles,
// plain connections and processes open the hive, commit, restart the journal and close again
// around it, and a handle opened again reads through its own connection's mapping.
TEST_F(SqliteHiveTest, CachedReadsStayExactWhileOtherConnectionsComeAndGoAroundTheHandle) {
  auto Reader = Reg();
  Reader->WriteString(u"Categories", u"Standard", u"0");
  Reader->WriteString(u"Categories", u"Other", u"o");
  auto Read = [&] { return Reader->ReadString(u"Categories", u"Standard", u""); };
  for (int I = 1; I <= 12; ++I) {
    // Read twice: the second answer comes from the values the handle keeps.
    EXPECT_EQ(Reader->ReadString(u"Categories", u"Other", u""), u"o");
    ASSERT_EQ(Read(), IntToStr(I - 1)) << "round " << I;
    ASSERT_EQ(Read(), IntToStr(I - 1)) << "round " << I;
    switch (I % 3) {
    case 0: { // another handle, opened and closed again
      auto Writer = Reg();
      Writer->WriteString(u"Categories", u"Standard", IntToStr(I));
      break;
    }
    case 1: { // a plain connection that also restarts the journal, then closes
      sqlite3* Raw = nullptr;
      ASSERT_EQ(sqlite3_open_v2(HiveFile.c_str(), &Raw, SQLITE_OPEN_READWRITE, SqliteHiveVfsName()),
                SQLITE_OK);
      // The text as the hive stores it: UTF-16LE with a final NUL.
      std::string Hex;
      for (char C : std::to_string(I) + '\0')
        Hex += std::string(1, "0123456789abcdef"[C >> 4]) + "0123456789abcdef"[C & 15] + "00";
      const std::string Sql = "UPDATE reg_values SET data = x'" + Hex +
                              "' WHERE folded = 'standard'; PRAGMA wal_checkpoint(TRUNCATE)";
      ASSERT_EQ(sqlite3_exec(Raw, Sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
      sqlite3_close(Raw);
      break;
    }
    case 2: // another process
      ASSERT_THAT(
          RunWorker({"set", HiveFile, UTF8Encode(Categories), "Standard", std::to_string(I)}),
          HasSubstr("set"));
      break;
    }
    EXPECT_EQ(Read(), IntToStr(I)) << "round " << I;
    if (I == 6) { // the handle opened again, the others closed
      Reader.reset();
      Reader = Reg();
    }
  }
  EXPECT_TRUE(SqliteHiveUsesHeaderCheck(Reader->Hive()));
}

TEST_F(SqliteHiveTest, TwoProcessesSeeEachOthersWritesWhileTheyHappen) {
  int Go[2];
  ASSERT_EQ(::pipe(Go), 0);
  constexpr int Writes = 100;
  pid_t Pid = ::fork();
  if (Pid == 0) {
    // The child: waits for the parent's write, checks it, then writes a counter.
    ::close(Go[1]);
    char C;
    int Code = 0;
    try {
      if (::read(Go[0], &C, 1) != 1)
        ::_exit(2);
      auto R = Reg();
      if (R->ReadString(u"Categories", u"FromParent", u"") != u"hello")
        Code = 3;
      for (int I = 1; I <= Writes; ++I)
        R->WriteString(u"Categories", u"Counter", IntToStr(I));
    } catch (...) {
      Code = 4;
    }
    ::_exit(Code);
  }
  ::close(Go[0]);
  auto R = Reg();
  R->WriteString(u"Categories", u"FromParent", u"hello");
  ASSERT_EQ(::write(Go[1], "g", 1), 1);
  ::close(Go[1]);
  // Reads while the child writes: never an error, never going backwards.
  long Last = 0;
  int Status = 0;
  auto Deadline = std::chrono::steady_clock::now() + 60s;
  while (::waitpid(Pid, &Status, WNOHANG) == 0 && std::chrono::steady_clock::now() < Deadline) {
    long Now = std::stol(UTF8Encode(R->ReadString(u"Categories", u"Counter", u"0")));
    EXPECT_GE(Now, Last);
    Last = Now;
  }
  ASSERT_TRUE(WIFEXITED(Status));
  EXPECT_EQ(WEXITSTATUS(Status), 0) << "3: the child missed the parent's write; 4: it failed";
  EXPECT_EQ(R->ReadString(u"Categories", u"Counter", u""), IntToStr(Writes));
}

// Another IDE doing one "reg set", or sqlite3 on the file, opens and closes the hive while this
// process keeps it open with more than one handle (as the add-in does). Its closing must not
// take the journal away from under the running process.
TEST_F(SqliteHiveTest, AnotherProcessOpeningAndClosingTheHiveLeavesTheRunningOneIntact) {
  namespace fs = std::filesystem;
  auto First = Reg();
  First->WriteString(u"Categories", u"Before", u"0");
  Reg().reset(); // a second handle of this process comes and goes
  EXPECT_EQ(RunWorker({"touch", HiveFile}), "");
  EXPECT_TRUE(fs::exists(HiveFile + "-wal"));
  EXPECT_TRUE(fs::exists(HiveFile + "-shm"));
  for (int I = 1; I <= 20; ++I) {
    First->WriteString(u"Categories", u"After " + IntToStr(I), IntToStr(I));
    ASSERT_EQ(First->ReadString(u"Categories", u"After " + IntToStr(I), u""), IntToStr(I));
  }
  EXPECT_EQ(RunWorker({"read", HiveFile, UTF8Encode(Categories), "After 20"}), "20\n");
  EXPECT_TRUE(fs::exists(HiveFile + "-wal"));
  First.reset();
  std::string Dump = RunWorker({"dump", HiveFile});
  EXPECT_THAT(Dump, HasSubstr("Categories\\Before=0\n"));
  for (int I = 1; I <= 20; ++I)
    EXPECT_THAT(
        Dump, HasSubstr("Categories\\After " + std::to_string(I) + "=" + std::to_string(I) + "\n"));
  EXPECT_EQ(IntegrityCheck(HiveFile), "ok");
}

TEST_F(SqliteHiveTest, NamesWithNoncharactersComeBackExactlyAsStored) {
  const UnicodeString KeyName = u"Tab\uFFFE", ValueName = u"\uFFFFName\uFFFE";
  {
    auto H = Open();
    H->WriteValue(Key + u"\\" + KeyName, TRegValue::String(ValueName, u"data"));
    H->WriteValue(Key + u"\\" + KeyName, TRegValue::String(u"Plain\uFFFD", u"other"));
  }
  auto H = Open();
  EXPECT_EQ(H->SubKeyNames(Key), (std::vector<UnicodeString>{KeyName}));
  const auto Names = H->ValueNames(Key + u"\\" + KeyName);
  EXPECT_EQ(Names, (std::vector<UnicodeString>{ValueName, u"Plain\uFFFD"}));
  for (const UnicodeString& Name : Names)
    EXPECT_TRUE(H->ReadValue(Key + u"\\" + KeyName, Name).has_value());
  EXPECT_EQ(H->ReadValue(Key + u"\\" + KeyName, ValueName)->Name, ValueName);
  // U+FFFD is a name of its own, not the same as U+FFFE.
  EXPECT_FALSE(H->ReadValue(Key + u"\\" + KeyName, u"\uFFFDName\uFFFE").has_value());
}

TEST_F(SqliteHiveTest, AWriteThatReturnedSurvivesTheProcessBeingKilled) {
  pid_t Pid = ::fork();
  if (Pid == 0) {
    try {
      auto R = Reg();
      R->WriteString(u"Categories", u"Standard", u"Written before the crash");
      ::kill(::getpid(), SIGKILL);
    } catch (...) {
    }
    ::_exit(1);
  }
  int Status = 0;
  ASSERT_EQ(::waitpid(Pid, &Status, 0), Pid);
  ASSERT_TRUE(WIFSIGNALED(Status) && WTERMSIG(Status) == SIGKILL);
  // The journal was never folded into the file; opening recovers from it.
  EXPECT_TRUE(std::filesystem::exists(HiveFile + "-wal"));
  auto R = Reg();
  EXPECT_EQ(R->ReadString(u"Categories", u"Standard", u""), u"Written before the crash");
  EXPECT_EQ(IntegrityCheck(HiveFile), "ok");
}

// A commit is not synced by itself: the handle's changes reach the disk at its flush or close
// (one sync of the journal), and each of them at most once. Another handle keeps the hive
// open throughout, so that closing the writer does not fold the journal into the file.
TEST_F(SqliteHiveTest, AHandlesChangesReachTheDiskWhenItIsFlushedOrClosedNotAtEachWrite) {
  auto Keeper = Open();
  auto W = Reg();
  const std::string Dir = Temp.Dir();
  const int Before = HiveFiles::Syncs();
  for (int I = 0; I < 200; ++I)
    W->WriteString(u"Categories", u"Tab " + IntToStr(I), u"Common;VCL");
  EXPECT_EQ(HiveFiles::Syncs(), Before);
  EXPECT_EQ(HiveFiles::UnsyncedFiles(Dir), 1); // the journal
  W->FlushKey();
  EXPECT_EQ(HiveFiles::UnsyncedFiles(Dir), 0);
  EXPECT_EQ(HiveFiles::Syncs(), Before + 1);
  W->FlushKey(); // nothing new to flush
  EXPECT_EQ(HiveFiles::Syncs(), Before + 1);
  // Reads and writes that change nothing leave nothing to flush either.
  W->ReadString(u"Categories", u"Tab 1", u"");
  W->ReadString(u"Categories", u"Tab 2", u""); // the handle now knows the whole key
  W->DeleteKey(u"Categories", u"Missing");
  W->WriteString(u"Categories", u"Tab 1", u"Common;VCL");
  W->FlushKey();
  EXPECT_EQ(HiveFiles::Syncs(), Before + 1);

  W->WriteString(u"Categories", u"Tab 1", u"changed");
  EXPECT_EQ(HiveFiles::UnsyncedFiles(Dir), 1);
  W.reset();
  EXPECT_EQ(HiveFiles::UnsyncedFiles(Dir), 0);
  EXPECT_EQ(HiveFiles::Syncs(), Before + 2);
  EXPECT_EQ(Keeper->ReadValue(Categories, u"Tab 1")->AsString(), u"changed");

  // A flush the disk refuses is reported, and the next one tries again.
  W = Reg();
  W->WriteString(u"Categories", u"Tab 2", u"changed");
  {
    THiveFaultInjection Fault(hoWrite, 0);
    try {
      W->FlushKey();
      ADD_FAILURE() << "a refused flush was reported as done";
    } catch (const ERegistryException& E) {
      EXPECT_THAT(MessageOf(E), HasSubstr("Cannot flush"));
      EXPECT_THAT(MessageOf(E), HasSubstr(HiveFile));
    }
  }
  EXPECT_EQ(HiveFiles::UnsyncedFiles(Dir), 1);
  W->FlushKey();
  EXPECT_EQ(HiveFiles::UnsyncedFiles(Dir), 0);
}

// The handle answers repeated reads from the values it read, and learns of other connections'
// commits from the journal's shared-memory header; its own commits must move that header in
// the SQLite this program runs with, or the handle stops trusting it.
TEST_F(SqliteHiveTest, AHandleKeepsItsOwnAndOthersChangesApartAndTheHeaderCheckHolds) {
  auto A = Reg();
  auto B = Reg();
  const UnicodeString Deep = Key + u"\\Deep\\Er";
  EXPECT_EQ(A->ReadString(u"Categories", u"Tab", u"none"), u"none");
  EXPECT_FALSE(A->Hive().ReadValue(Deep, u"V").has_value());
  EXPECT_FALSE(A->Hive().KeyExists(Deep));
  // Writing below a key read as missing creates it.
  A->Hive().WriteValue(Deep + u"\\Est", TRegValue::String(u"V", u"1"));
  EXPECT_TRUE(A->Hive().KeyExists(Deep));
  EXPECT_TRUE(B->Hive().KeyExists(Deep));
  A->WriteString(u"Categories", u"Tab", u"one");
  EXPECT_TRUE(SqliteHiveUsesHeaderCheck(A->Hive()));
  EXPECT_EQ(A->ReadString(u"CATEGORIES", u"TAB", u""), u"one");
  // B's change between two of A's.
  B->WriteString(u"Categories", u"Tab", u"two");
  A->WriteString(u"Categories", u"Other", u"x");
  EXPECT_EQ(A->ReadString(u"Categories", u"Tab", u""), u"two");
  EXPECT_EQ(A->ReadString(u"Categories", u"Other", u""), u"x");
  A->DeleteKey(u"Categories", u"tab");
  EXPECT_EQ(A->ReadString(u"Categories", u"Tab", u"gone"), u"gone");
  EXPECT_EQ(B->ReadString(u"Categories", u"Tab", u"gone"), u"gone");
  B->WriteString(u"Categories", u"TAB", u"three");
  EXPECT_EQ(A->Hive().ReadValue(Categories, u"tab"), TRegValue::String(u"TAB", u"three"));
  // A's rewrite keeps the spelling B created it with.
  A->WriteString(u"Categories", u"tab", u"four");
  EXPECT_EQ(A->Hive().ReadValue(Categories, u"Tab"), TRegValue::String(u"TAB", u"four"));
  EXPECT_EQ(B->Hive().ReadValue(Categories, u"Tab"), TRegValue::String(u"TAB", u"four"));
  // Rewriting the value A last knew is a change when B changed it meanwhile.
  B->WriteString(u"Categories", u"Tab", u"five");
  A->WriteString(u"Categories", u"Tab", u"four");
  EXPECT_EQ(B->ReadString(u"Categories", u"Tab", u""), u"four");
  // Bad names are refused whether or not their key was read before.
  EXPECT_THROW(A->ReadString(u"Categories", UnicodeString(u"a\0b", 3), u""), ERegistryException);
  EXPECT_THROW(A->Hive().ReadValue(Categories + u"\\\\x", u"V"), ERegistryException);
  EXPECT_TRUE(SqliteHiveUsesHeaderCheck(A->Hive()));
  EXPECT_TRUE(SqliteHiveUsesHeaderCheck(B->Hive()));
}

// Each case: a file that must be refused with a message naming it and the problem, and left
// exactly as it was.
TEST_F(SqliteHiveTest, FilesThatAreNotHivesOrAreDamagedAreRefusedAndLeftAlone) {
  auto ExpectRefused = [&](const std::string& File, const std::string& Problem) {
    SCOPED_TRACE(Problem);
    std::string Before = ReadBytes(File);
    try {
      OpenSqliteHive(UTF8Decode(File));
      ADD_FAILURE() << "opened";
    } catch (const ERegistryException& E) {
      EXPECT_THAT(MessageOf(E), HasSubstr(File));
      EXPECT_THAT(MessageOf(E), HasSubstr(Problem));
    }
    EXPECT_EQ(ReadBytes(File), Before);
    EXPECT_FALSE(std::filesystem::exists(File + "-wal"));
    EXPECT_FALSE(std::filesystem::exists(File + "-shm"));
  };

  WriteBytes(Temp.File("text.db"), "[Settings]\nThis is not a hive\n");
  ExpectRefused(Temp.File("text.db"), "not a registry hive (it is not an SQLite database)");

  {
    sqlite3* Db = nullptr;
    sqlite3_open(Temp.File("other.db").c_str(), &Db);
    sqlite3_exec(Db, "CREATE TABLE t(x); INSERT INTO t VALUES(42)", nullptr, nullptr, nullptr);
    sqlite3_close(Db);
  }
  ExpectRefused(Temp.File("other.db"), "SQLite database of another kind");

  {
    auto R = Reg();
    for (int I = 0; I < 300; ++I)
      R->WriteString(u"Categories", u"Tab " + IntToStr(I), UnicodeString(60, u'x'));
  }
  std::string Good = ReadBytes(HiveFile);
  ASSERT_GT(Good.size(), 5u * 4096);
  std::string Damaged = Good;
  for (size_t I = 2 * 4096; I < 2 * 4096 + 300; ++I)
    Damaged[I] = '\x5A';
  WriteBytes(Temp.File("damaged.db"), Damaged);
  ExpectRefused(Temp.File("damaged.db"), "damaged");

  WriteBytes(Temp.File("truncated.db"), Good.substr(0, Good.size() / 2));
  ExpectRefused(Temp.File("truncated.db"), "damaged");

  std::filesystem::create_directory(Temp.File("folder.db"));
  try {
    OpenSqliteHive(Temp.Path("folder.db"));
    ADD_FAILURE() << "a folder was opened as a hive";
  } catch (const ERegistryException& E) {
    EXPECT_THAT(MessageOf(E), HasSubstr("not a file"));
  }
}

// A handle opened on a hive that another handle of the process found sound may skip the
// integrity check; a file damaged in place since (same size, right after) is still refused.
TEST_F(SqliteHiveTest, AHiveDamagedInPlaceAfterASoundOpeningIsStillRefused) {
  {
    auto R = Reg();
    for (int I = 0; I < 300; ++I)
      R->WriteString(u"Categories", u"Tab " + IntToStr(I), UnicodeString(60, u'x'));
  }
  const std::string Good = ReadBytes(HiveFile);
  ASSERT_GT(Good.size(), 5u * 4096);
  for (int Round = 0; Round < 20; ++Round) {
    WriteBytes(HiveFile, Good);
    // Held open, so that its journal stays and the state is the one just checked.
    auto First = Open();
    auto Second = Open();
    EXPECT_TRUE(Second->KeyExists(Categories));
    {
      std::fstream F(HiveFile, std::ios::in | std::ios::out | std::ios::binary);
      F.seekp(2 * 4096);
      F.write(std::string(300, '\x5A').data(), 300);
    }
    ASSERT_EQ(ReadBytes(HiveFile).size(), Good.size());
    try {
      Open();
      ADD_FAILURE() << "a damaged hive was opened in round " << Round;
    } catch (const ERegistryException& E) {
      EXPECT_THAT(MessageOf(E), HasSubstr("damaged"));
    }
  }
}

// Permissions do not bind root, so as root the child becomes "nobody" first.
TEST_F(SqliteHiveTest, AReadOnlyHiveIsReadButNeverWrittenAndAWritableOneInAReadOnlyFolderRefused) {
  namespace fs = std::filesystem;
  TTempDir Shared;
  fs::permissions(Shared.Dir(), fs::perms::all);
  auto Prepare = [&](const std::string& Folder) {
    fs::create_directory(Shared.File(Folder));
    fs::permissions(Shared.File(Folder), fs::perms::all);
    std::string File = Shared.File(Folder) + "/HKCU.db";
    {
      TRegIniFile R(Key, OpenSqliteHive(UTF8Decode(File)));
      R.WriteString(u"Categories", u"Standard", u"kept");
    }
    fs::permissions(File, fs::perms::all);
    return File;
  };
  // What a reader and then a writer get, as the add-in opens its keys.
  auto TryOpen = [&](const std::string& File) {
    return RunInChild(
        [&] {
          std::string Out;
          try {
            TRegIniFile R(Key, OpenSqliteHive(UTF8Decode(File)));
            Out += "read " + UTF8Encode(R.ReadString(u"Categories", u"Standard", u"?")) + "; ";
            TRegIniFile Missing(u"Software\\Elsewhere", OpenSqliteHive(UTF8Decode(File)));
            Out += "missing " + UTF8Encode(Missing.ReadString(u"S", u"I", u"default")) + "; ";
            R.WriteString(u"Categories", u"Standard", u"changed");
            Out += "written";
          } catch (const ERegistryException& E) {
            Out += MessageOf(E);
          }
          return Out;
        },
        true);
  };

  std::string ReadOnlyFile = Prepare("file");
  fs::permissions(ReadOnlyFile,
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  std::string Before = ReadBytes(ReadOnlyFile);
  std::string Message = TryOpen(ReadOnlyFile);
  EXPECT_THAT(Message, HasSubstr("read kept; missing default; Cannot write value 'Standard'"));
  EXPECT_THAT(Message, HasSubstr(ReadOnlyFile));
  EXPECT_THAT(Message, HasSubstr("the hive is read-only"));
  EXPECT_EQ(ReadBytes(ReadOnlyFile), Before);

  std::string InReadOnlyFolder = Prepare("folder");
  fs::permissions(Shared.File("folder"), fs::perms::owner_read | fs::perms::owner_exec |
                                             fs::perms::others_read | fs::perms::others_exec);
  Before = ReadBytes(InReadOnlyFolder);
  Message = TryOpen(InReadOnlyFolder);
  EXPECT_THAT(Message, HasSubstr(InReadOnlyFolder));
  EXPECT_THAT(Message, HasSubstr("cannot be written"));
  EXPECT_EQ(ReadBytes(InReadOnlyFolder), Before);
  EXPECT_FALSE(fs::exists(InReadOnlyFolder + "-wal"));

  // Read-only itself and without a journal: read as a file nothing changes (its name holds
  // what a URI escapes).
  const std::string FrozenFolder = "fro zen?#%\xc3\xa4";
  std::string Frozen = Prepare(FrozenFolder);
  fs::permissions(Frozen, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(Shared.File(FrozenFolder), fs::perms::owner_read | fs::perms::owner_exec |
                                                 fs::perms::others_read | fs::perms::others_exec);
  Before = ReadBytes(Frozen);
  Message = TryOpen(Frozen);
  EXPECT_THAT(Message, HasSubstr("read kept; missing default; Cannot write value 'Standard'"));
  EXPECT_THAT(Message, HasSubstr("the hive is read-only"));
  EXPECT_EQ(ReadBytes(Frozen), Before);
  EXPECT_FALSE(fs::exists(Frozen + "-wal"));
  EXPECT_FALSE(fs::exists(Frozen + "-shm"));
}

// A file without write permission is read-only for root too; here the hive is open when it
// becomes so.
TEST_F(SqliteHiveTest, AHiveThatBecomesReadOnlyWhileOpenIsNotWrittenAgainNotEvenAtClose) {
  namespace fs = std::filesystem;
  auto R = Reg();
  R->WriteString(u"Categories", u"Standard", u"in the journal");
  fs::permissions(HiveFile, fs::perms::owner_read | fs::perms::group_read);
  std::string Before = ReadBytes(HiveFile);
  try {
    R->WriteString(u"Categories", u"Standard", u"changed");
    ADD_FAILURE() << "wrote to a read-only hive";
  } catch (const ERegistryException& E) {
    EXPECT_THAT(MessageOf(E), HasSubstr(HiveFile));
    EXPECT_THAT(MessageOf(E), HasSubstr("read-only"));
  }
  EXPECT_EQ(R->ReadString(u"Categories", u"Standard", u""), u"in the journal");
  // Also a value written as it is stored: the hive says it cannot be written.
  EXPECT_THROW(R->WriteString(u"Categories", u"Standard", u"in the journal"), ERegistryException);
  R.reset(); // the last connection: it would fold the journal into the file
  EXPECT_EQ(ReadBytes(HiveFile), Before);
  EXPECT_TRUE(fs::exists(HiveFile + "-wal"));
  auto Reader = Reg();
  EXPECT_TRUE(Reader->Hive().ReadOnly());
  EXPECT_EQ(Reader->ReadString(u"Categories", u"Standard", u""), u"in the journal");
  EXPECT_THROW(Reader->Hive().DeleteKey(Categories), ERegistryException);
  Reader.reset();
  EXPECT_EQ(ReadBytes(HiveFile), Before);
}

TEST_F(SqliteHiveTest, AHiveEmptiedWhileOpenIsReportedAndItsJournalKept) {
  namespace fs = std::filesystem;
  auto R = Reg();
  R->WriteString(u"Categories", u"Standard", u"acknowledged");
  ASSERT_EQ(::truncate(HiveFile.c_str(), 0), 0);
  const auto WalSize = fs::file_size(HiveFile + "-wal");
  ASSERT_GT(WalSize, 0u);
  auto ExpectEmptied = [&](const std::function<void()>& Action) {
    auto Start = std::chrono::steady_clock::now();
    try {
      Action();
      ADD_FAILURE() << "no error for an emptied hive";
    } catch (const ERegistryException& E) {
      EXPECT_THAT(MessageOf(E), HasSubstr(HiveFile));
      EXPECT_THAT(MessageOf(E), HasSubstr("empt"));
      EXPECT_THAT(MessageOf(E), Not(HasSubstr("locked")));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - Start, 1s);
    EXPECT_EQ(fs::file_size(HiveFile + "-wal"), WalSize);
  };
  ExpectEmptied([&] { Open(); });
  ExpectEmptied([&] { R->WriteString(u"Categories", u"Other", u"x"); });
  EXPECT_EQ(RunWorker({"touch", HiveFile}), "worker failed (status 256)");
  R.reset();
  EXPECT_EQ(fs::file_size(HiveFile), 0u);
  EXPECT_EQ(fs::file_size(HiveFile + "-wal"), WalSize);
}

TEST_F(SqliteHiveTest, AHiveLockedPastTheBoundedWaitIsReportedAsLocked) {
  auto H = Open(300ms);
  H->WriteValue(Categories, TRegValue::String(u"Standard", u"before"));
  sqlite3* Other = nullptr;
  ASSERT_EQ(sqlite3_open(HiveFile.c_str(), &Other), SQLITE_OK);
  ASSERT_EQ(
      sqlite3_exec(Other, "BEGIN EXCLUSIVE; DELETE FROM reg_values", nullptr, nullptr, nullptr),
      SQLITE_OK);
  auto Start = std::chrono::steady_clock::now();
  try {
    H->WriteValue(Categories, TRegValue::String(u"Standard", u"after"));
    ADD_FAILURE() << "wrote while another process held the hive";
  } catch (const ERegistryException& E) {
    EXPECT_THAT(MessageOf(E), HasSubstr(HiveFile));
    EXPECT_THAT(MessageOf(E), HasSubstr("locked by another process"));
  }
  auto Waited = std::chrono::steady_clock::now() - Start;
  EXPECT_GE(Waited, 250ms);
  EXPECT_LT(Waited, 5s);
  // Reading, and opening a key that exists, go on past the other writer.
  EXPECT_EQ(H->ReadValue(Categories, u"Standard")->AsString(), u"before");
  EXPECT_EQ(TRegIniFile(Key, Open(300ms)).ReadString(u"Categories", u"Standard", u""), u"before");
  sqlite3_exec(Other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(Other);
  H->WriteValue(Categories, TRegValue::String(u"Standard", u"after"));
  EXPECT_EQ(H->ReadValue(Categories, u"Standard")->AsString(), u"after");
}

TEST_F(SqliteHiveTest, AFailingWriteInASeriesKeepsTheEarlierOnesAndLeavesNoTrace) {
  auto R = Reg();
  R->WriteString(u"Categories", u"Big", UnicodeString(20000, u'o')); // old value, many pages
  {
    THiveFaultInjection Fault(hoWrite, 3);
    for (int I = 1; I <= 3; ++I)
      R->WriteString(u"Categories", u"Tab " + IntToStr(I), u"written");
    try {
      R->WriteString(u"Categories", u"Tab 4", u"lost");
      ADD_FAILURE() << "the fourth write did not fail";
    } catch (const ERegistryException& E) {
      EXPECT_THAT(MessageOf(E), HasSubstr(HiveFile));
      EXPECT_THAT(MessageOf(E), HasSubstr("'Tab 4'"));
    }
    R->WriteString(u"Categories", u"Tab 5", u"written");
    EXPECT_EQ(Fault.OperationsFailed(), 1);
  }
  {
    // This commit writes a few pages of its frames to the journal before the disk fails.
    THiveFaultInjection Fault(hoWrite, 0, 1, 2);
    EXPECT_THROW(R->WriteString(u"Categories", u"Big", UnicodeString(20000, u'n')),
                 ERegistryException);
    EXPECT_GE(Fault.IoCallsRefused(), 1);
  }
  auto Check = [&](TRegIniFile& Reg) {
    for (int I : {1, 2, 3, 5})
      EXPECT_EQ(Reg.ReadString(u"Categories", u"Tab " + IntToStr(I), u""), u"written");
    EXPECT_EQ(Reg.ReadString(u"Categories", u"Tab 4", u"absent"), u"absent");
    EXPECT_EQ(Reg.ReadString(u"Categories", u"Big", u""), UnicodeString(20000, u'o'));
  };
  Check(*R);
  auto Other = Reg();
  Check(*Other);
  R.reset();
  Other.reset();
  EXPECT_EQ(IntegrityCheck(HiveFile), "ok");
  auto Reopened = Reg();
  Check(*Reopened);
}

TEST_F(SqliteHiveTest, FailingReadsOpensAndBatchesRaiseAndChangeNothing) {
  auto R = Reg();
  R->WriteString(u"Categories", u"Standard", u"Common");
  {
    THiveFaultInjection Fault(hoRead, 1, -1);
    EXPECT_EQ(R->ReadString(u"Categories", u"Standard", u""), u"Common");
    EXPECT_THROW(R->ReadString(u"Categories", u"Standard", u""), ERegistryException);
    EXPECT_THROW(R->Hive().ValueNames(Categories), ERegistryException);
  }
  EXPECT_EQ(R->ReadString(u"Categories", u"Standard", u""), u"Common");
  {
    // A new hive on a full disk: said so, and nothing of it left behind.
    THiveFaultInjection Fault(hoOpen, 0, 1, 0, hfDiskFull);
    try {
      OpenSqliteHive(Temp.Path("new.db"));
      ADD_FAILURE() << "created a hive on a full disk";
    } catch (const ERegistryException& E) {
      EXPECT_THAT(MessageOf(E), HasSubstr(Temp.File("new.db")));
      EXPECT_THAT(MessageOf(E), HasSubstr("the disk is full"));
    }
    EXPECT_FALSE(std::filesystem::exists(Temp.File("new.db")));
    EXPECT_FALSE(std::filesystem::exists(Temp.File("new.db-wal")));
  }
  {
    THiveFaultInjection Fault(hoOpen, 0);
    EXPECT_THROW(Reg(), ERegistryException);
    EXPECT_THROW(THiveFaultInjection(hoWrite, 0), EInvalidOperation);
  }
  {
    THiveFaultInjection Fault(hoWrite, 0);
    std::vector<TRegChange> Batch{
        {TRegChange::WriteValue, Categories, TRegValue::String(u"Standard", u"Changed")},
        {TRegChange::WriteValue, Key + u"\\New", TRegValue::String(u"A", u"1")},
        {TRegChange::DeleteKey, Categories, {}},
    };
    EXPECT_THROW(R->Hive().Apply(Batch), ERegistryException);
  }
  EXPECT_EQ(R->ReadString(u"Categories", u"Standard", u""), u"Common");
  EXPECT_FALSE(R->Hive().KeyExists(Key + u"\\New"));
  R.reset();
  EXPECT_EQ(IntegrityCheck(HiveFile), "ok");
}

class CurrentUserHiveTest : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* Name : {"HOSTIDE_REGISTRY", "XDG_CONFIG_HOME", "HOME"}) {
      const char* V = std::getenv(Name);
      Saved.emplace_back(Name, V ? std::optional<std::string>(V) : std::nullopt);
    }
  }
  void TearDown() override {
    for (auto& [Name, V] : Saved)
      V ? ::setenv(Name, V->c_str(), 1) : ::unsetenv(Name);
  }
  std::vector<std::pair<const char*, std::optional<std::string>>> Saved;
  TTempDir Temp;
};

TEST_F(CurrentUserHiveTest, TheFileComesFromTheOptionTheEnvironmentOrTheConfigFolder) {
  ::setenv("HOME", "/home/someone", 1);
  ::unsetenv("HOSTIDE_REGISTRY");
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(CurrentUserHiveFile(), u"/home/someone/.config/hostide/HKCU.db");
  ::setenv("XDG_CONFIG_HOME", "relative/is/ignored", 1);
  EXPECT_EQ(CurrentUserHiveFile(), u"/home/someone/.config/hostide/HKCU.db");
  ::setenv("XDG_CONFIG_HOME", "/xdg", 1);
  EXPECT_EQ(CurrentUserHiveFile(), u"/xdg/hostide/HKCU.db");
  ::setenv("HOSTIDE_REGISTRY", "/elsewhere/hive.db", 1);
  EXPECT_EQ(CurrentUserHiveFile(), u"/elsewhere/hive.db");
  {
    TCurrentUserHiveFileScope Chosen(u"/chosen.db");
    EXPECT_EQ(CurrentUserHiveFile(), u"/chosen.db");
    // An empty name (--registry "") is refused rather than taken for "the default".
    try {
      TCurrentUserHiveFileScope Empty(u"");
      ADD_FAILURE() << "an empty hive file name was accepted";
    } catch (const ERegistryException& E) {
      EXPECT_THAT(MessageOf(E), HasSubstr("empty"));
    }
    EXPECT_EQ(CurrentUserHiveFile(), u"/chosen.db");
  }
  EXPECT_EQ(CurrentUserHiveFile(), u"/elsewhere/hive.db");
}

TEST_F(CurrentUserHiveTest, RegIniFileUsesTheHiveFileAndCreatesItsFolder) {
  ::unsetenv("HOSTIDE_REGISTRY");
  ::setenv("XDG_CONFIG_HOME", Temp.Dir().c_str(), 1);
  {
    TRegIniFile Reg(Key);
    EXPECT_THAT(UTF8Encode(Reg.Hive().Location()), HasSubstr(Temp.File("hostide/HKCU.db")));
    Reg.WriteString(u"Categories", u"Standard", u"Common");
  }
  {
    TCurrentUserHiveFileScope Chosen(Temp.Path("deep/er/chosen.db"));
    TRegIniFile Reg(Key);
    Reg.WriteString(u"Categories", u"Standard", u"Chosen");
  }
  EXPECT_EQ(TRegIniFile(Key, OpenSqliteHive(Temp.Path("hostide/HKCU.db")))
                .ReadString(u"Categories", u"Standard", u""),
            u"Common");
  EXPECT_EQ(TRegIniFile(Key, OpenSqliteHive(Temp.Path("deep/er/chosen.db")))
                .ReadString(u"Categories", u"Standard", u""),
            u"Chosen");
}

} // namespace

namespace {

// Several processes write and read one hive at once for a few seconds, and some are killed at
// random moments; now and then something deletes or replaces the hive's journal under them. A
// writer prints the number of each write once WriteString returned. Every write printed after
// the journal was last deleted or replaced is there afterwards, in a sound file; a process that
// had the hive open across such an act stops with an error rather than writing on.
TEST(SqliteHiveStress, ProcessesKilledWhileWritingLoseNoAcknowledgedWrite) {
  TTempDir Temp;
  const std::string File = Temp.File("HKCU.db");
  OpenSqliteHive(UTF8Decode(File)); // created once, before the processes race
  constexpr int Writers = 4, Readers = 2;
  constexpr auto RunFor = 3s;
  const std::string WorkerMs = "3000";
  std::mt19937 Random(std::random_device{}());

  struct TRunning {
    std::unique_ptr<TWorker> Worker;
    std::string Key; // empty for a reader
    std::string Pending;
    bool Across = false; // running when the journal was deleted or replaced
  };
  std::map<std::string, long long> Acknowledged; // writer key -> last write it printed
  // Writer key -> its last write printed before the journal was last deleted or replaced, and
  // the keys whose writer was running then.
  std::map<std::string, long long> BeforeLastAct;
  std::set<std::string> RunningAtLastAct;
  int Generation = 0, Started = 0, Killed = 0, FailedEnds = 0, LoudEnds = 0, Acts = 0;
  int FoldedWhole = 0;
  auto StartWriter = [&] {
    std::string Key = "Stress\\W" + std::to_string(++Generation);
    Acknowledged[Key] = 0;
    ++Started;
    return TRunning{
        std::make_unique<TWorker>(std::vector<std::string>{"write", File, Key, WorkerMs}), Key, ""};
  };
  auto StartReader = [&] {
    ++Started;
    return TRunning{std::make_unique<TWorker>(
                        std::vector<std::string>{"readloop", File, "Stress\\W1", WorkerMs}),
                    "", ""};
  };
  // Takes what a worker printed; false at the end of its output.
  auto Take = [&](TRunning& R) {
    char Buf[4096];
    ssize_t N = ::read(R.Worker->OutputFd(), Buf, sizeof Buf);
    if (N <= 0)
      return N < 0 && errno == EINTR;
    R.Pending.append(Buf, static_cast<size_t>(N));
    size_t End;
    while ((End = R.Pending.find('\n')) != std::string::npos) {
      // A line "error: ..." says why the worker stops; its exit status counts it.
      if (!R.Key.empty() && R.Pending.compare(0, 7, "error: ") != 0)
        Acknowledged[R.Key] = std::max(Acknowledged[R.Key], std::stoll(R.Pending.substr(0, End)));
      R.Pending.erase(0, End + 1);
    }
    return true;
  };
  auto Finish = [&](TRunning& R, bool Kill) {
    if (Kill) {
      ::kill(R.Worker->Pid(), SIGKILL);
      ++Killed;
    }
    while (Take(R)) {
    }
    int Status = R.Worker->Wait();
    if (!Kill && !(WIFEXITED(Status) && WEXITSTATUS(Status) == 0))
      ++(R.Across ? LoudEnds : FailedEnds);
  };
  // Deletes the journal and its shared memory, or replaces the journal by a copy of itself (a
  // file of its own) and deletes the shared memory. What was printed until just after the act
  // counts as printed before it.
  //
  // The act is made between commits and folds, as a careful person would make it. It holds
  // SQLite's write lock in the shared memory (byte 120) with a lock of its own open file
  // description, which conflicts with every connection's locks, also this process's own (an
  // ordinary POSIX lock would be released for the whole process by the connection's own
  // unlocking after its fold, and commits would slip in before the act); folds the journal into
  // the file completely through a connection of this process (a passive fold needs only the
  // checkpoint lock), again until the readers have left the older states; then holds the
  // checkpoint lock (byte 121) as well, so that no fold runs while the files go. Deleting the
  // journal while a commit or a fold of another process is under way can damage the file or
  // lose what the journal held, which no handle can prevent (see the README).
  auto ActOnJournal = [&](std::vector<TRunning>& Running) {
    std::error_code Ec;
    const int Shm = ::open((File + "-shm").c_str(), O_RDWR | O_CLOEXEC);
    auto Hold = [&](off_t Byte) {
      struct flock Lock {};
      Lock.l_type = F_WRLCK;
      Lock.l_whence = SEEK_SET;
      Lock.l_start = Byte;
      Lock.l_len = 1;
      if (Shm >= 0)
        while (::fcntl(Shm, F_OFD_SETLKW, &Lock) != 0 && errno == EINTR) {
        }
    };
    Hold(120);
    sqlite3* Db = nullptr;
    sqlite3_open_v2(File.c_str(), &Db, SQLITE_OPEN_READWRITE, SqliteHiveVfsName());
    sqlite3_db_config(Db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    // A first read opens the journal; until then the connection has nothing to fold.
    sqlite3_exec(Db, "SELECT count(*) FROM reg_keys", nullptr, nullptr, nullptr);
    int InJournal = -1, Folded = -1;
    for (int Try = 0; Try < 400; ++Try) {
      if (sqlite3_wal_checkpoint_v2(Db, "main", SQLITE_CHECKPOINT_PASSIVE, &InJournal, &Folded) ==
              SQLITE_OK &&
          InJournal >= 0 && InJournal == Folded)
        break;
      std::this_thread::sleep_for(5ms);
    }
    FoldedWhole += InJournal >= 0 && InJournal == Folded;
    sqlite3_close_v2(Db);
    Hold(121);
    if (++Acts % 2) {
      std::filesystem::remove(File + "-wal", Ec);
    } else {
      std::filesystem::copy_file(File + "-wal", File + "-wal.copy", Ec);
      std::filesystem::rename(File + "-wal.copy", File + "-wal", Ec);
    }
    std::filesystem::remove(File + "-shm", Ec);
    if (Shm >= 0)
      ::close(Shm);
    for (TRunning& R : Running) {
      pollfd Fd{R.Worker->OutputFd(), POLLIN, 0};
      while (::poll(&Fd, 1, 0) > 0 && (Fd.revents & POLLIN) && Take(R)) {
      }
    }
    BeforeLastAct = Acknowledged;
    RunningAtLastAct.clear();
    for (TRunning& R : Running) {
      R.Across = true;
      // A writer that printed nothing yet may have opened the hive after the act.
      if (!R.Key.empty() && Acknowledged[R.Key] > 0)
        RunningAtLastAct.insert(R.Key);
    }
  };

  std::vector<TRunning> Running;
  Running.push_back(StartWriter()); // Stress\W1 exists before the readers look at it
  for (int I = 1; I < Writers; ++I)
    Running.push_back(StartWriter());
  for (int I = 0; I < Readers; ++I)
    Running.push_back(StartReader());
  const auto Deadline = std::chrono::steady_clock::now() + RunFor;
  auto NextKill = std::chrono::steady_clock::now() + 100ms;
  auto NextAct = std::chrono::steady_clock::now() + 600ms;
  const auto LastAct = Deadline - 1200ms; // leaves time for writes after the last one
  while (std::chrono::steady_clock::now() < Deadline) {
    std::vector<pollfd> Fds;
    for (TRunning& R : Running)
      Fds.push_back({R.Worker->OutputFd(), POLLIN, 0});
    ::poll(Fds.data(), Fds.size(), 20);
    for (size_t I = 0; I < Running.size(); ++I)
      if ((Fds[I].revents & (POLLIN | POLLHUP)) && !Take(Running[I])) {
        // It ended by itself, which a worker does only after its time or with an error.
        bool Writer = !Running[I].Key.empty();
        Finish(Running[I], false);
        Running[I] = Writer ? StartWriter() : StartReader();
      }
    // Now and then one process dies in the middle of whatever it does, and another starts.
    if (std::chrono::steady_clock::now() >= NextKill) {
      NextKill += std::chrono::milliseconds(std::uniform_int_distribution<int>(40, 200)(Random));
      size_t Victim = std::uniform_int_distribution<size_t>(0, Running.size() - 1)(Random);
      bool Writer = !Running[Victim].Key.empty();
      Finish(Running[Victim], true);
      Running[Victim] = Writer ? StartWriter() : StartReader();
    }
    if (std::chrono::steady_clock::now() >= NextAct && NextAct <= LastAct) {
      NextAct += 600ms;
      ActOnJournal(Running);
    }
  }
  for (TRunning& R : Running)
    Finish(R, true);

  // What a writer running at the last act printed after it: a write already past its check
  // of the files when the journal went may still be acknowledged (into the old journal); the
  // next one finds the journal gone and fails.
  constexpr long long InFlight = 3;
  long long Writes = 0, AfterLastAct = 0, LostToActs = 0, RacedActs = 0;
  auto H = OpenSqliteHive(UTF8Decode(File));
  for (const auto& [Key, Last] : Acknowledged) {
    Writes += Last;
    const long long Before = BeforeLastAct.count(Key) ? BeforeLastAct[Key] : 0;
    const bool Raced = RunningAtLastAct.count(Key) > 0;
    if (Raced) {
      EXPECT_LE(Last, Before + InFlight)
          << Key << " went on writing after its journal was deleted or replaced";
    }
    for (long long I = 1; I <= Last; ++I) {
      std::optional<TRegValue> V = H->ReadValue(UTF8Decode(Key), u"N" + IntToStr(I));
      if (I <= Before || Raced) {
        // Acknowledged into a journal that was then deleted or replaced: may be lost.
        if (!V)
          ++(I <= Before ? LostToActs : RacedActs);
        else
          ASSERT_EQ(V->AsString(), IntToStr(I));
        continue;
      }
      ++AfterLastAct;
      ASSERT_TRUE(V.has_value()) << Key << "\\N" << I << " was acknowledged but is missing";
      ASSERT_EQ(V->AsString(), IntToStr(I));
    }
  }
  H.reset();
  EXPECT_EQ(IntegrityCheck(File), "ok");
  // With the journal folded completely under the write lock, nothing acknowledged before an
  // act is lost with it, and no commit waiting for the lock lands in the old journal.
  if (FoldedWhole == Acts) {
    EXPECT_EQ(LostToActs, 0);
    EXPECT_EQ(RacedActs, 0);
  }
  EXPECT_EQ(FailedEnds, 0);
  EXPECT_GT(Writes, 0);
  EXPECT_GT(AfterLastAct, 0);
  std::cout << "stress: " << Started << " processes, " << Writes << " acknowledged writes, "
            << Killed << " killed with SIGKILL (" << Killed - Writers - Readers
            << " of them while the others ran); journal deleted or replaced " << Acts << " times ("
            << FoldedWhole << " after a complete fold): " << LoudEnds
            << " processes stopped with an error, " << LostToActs
            << " writes acknowledged before an act lost with the journal, " << RacedActs
            << " lost in flight, " << AfterLastAct << " acknowledged after the last act all kept\n";
  ::testing::Test::RecordProperty("processes", Started);
  ::testing::Test::RecordProperty("writes", static_cast<int>(Writes));
  ::testing::Test::RecordProperty("kills", Killed);
  ::testing::Test::RecordProperty("journal_acts", Acts);
}

} // namespace
