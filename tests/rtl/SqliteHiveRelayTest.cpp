// The commits one handle of the process relays to the others: a reader whose cache was current
// before them follows them without asking SQLite, and anything it cannot follow exactly (a
// commit of another connection or process, a failed write, a chain longer than what is kept)
// sends it to the file as before.
#include "HiveFaults.h"
#include "rtl/SqliteHive.h"
#include "rtl/SqliteHiveHooks.h"

#include "HiveTestSupport.h"

#include <cstdio>
#include <iostream>
#include <map>
#include <random>
#include <set>

namespace {

using namespace std::chrono_literals;

const UnicodeString Cats = u"Software\\Orvik\\Palette Menu\\Categories";
const UnicodeString Other = u"Software\\Orvik\\Palette Menu\\Other";

class SqliteHiveRelayTest : public ::testing::Test {
protected:
  std::unique_ptr<TRegistryHive> Open() { return OpenSqliteHive(HivePath, 2000ms); }
  // The string value, or "-" when missing.
  static UnicodeString Read(TRegistryHive& H, const UnicodeString& Path,
                            const UnicodeString& Name) {
    auto V = H.ReadValue(Path, Name);
    return V ? V->AsString() : UnicodeString(u"-");
  }
  static void Write(TRegistryHive& H, const UnicodeString& Path, const UnicodeString& Name,
                    const UnicodeString& Data) {
    H.WriteValue(Path, TRegValue::String(Name, Data));
  }
  // A connection that is not a hive handle, through the hive's file layer.
  sqlite3* Raw() {
    sqlite3* Db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(HiveFile.c_str(), &Db, SQLITE_OPEN_READWRITE, SqliteHiveVfsName()),
              SQLITE_OK);
    return Db;
  }
  static void RawSet(sqlite3* Db, const std::string& Name, const std::string& Utf16Hex) {
    const std::string Sql =
        "UPDATE reg_values SET data = x'" + Utf16Hex + "' WHERE folded = '" + Name + "'";
    ASSERT_EQ(sqlite3_exec(Db, Sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_changes(Db), 1);
  }

  TTempDir Temp;
  std::string HiveFile = Temp.File("HKCU.db");
  UnicodeString HivePath = Temp.Path("HKCU.db");
};

// Values written and deleted, keys created and removed through one handle show at once through
// another that keeps them, which follows the commits instead of reading the file; and the
// writer's own cache stays current through its commits.
TEST_F(SqliteHiveRelayTest, HandlesOfOneProcessFollowEachOthersValuesAndKeys) {
  auto A = Open(), B = Open();
  for (int I = 1; I <= 5; ++I)
    Write(*A, Cats, u"Tab " + IntToStr(I), u"a" + IntToStr(I));
  for (auto* H : {A.get(), B.get()}) {
    ASSERT_EQ(Read(*H, Cats, u"Tab 1"), u"a1");
    ASSERT_EQ(Read(*H, Cats, u"Tab 2"), u"a2"); // the key is now kept whole
  }
  const unsigned FollowedBefore = SqliteHiveCommitsFollowed(*B);
  Write(*A, Cats, u"Tab 3", u"changed");
  Write(*A, Cats, u"tab 4", u"respelled"); // an existing value keeps its spelling
  Write(*A, Cats, u"Tab 6", u"new");
  A->DeleteValue(Cats, u"TAB 5");
  EXPECT_EQ(Read(*B, Cats, u"Tab 3"), u"changed");
  EXPECT_EQ(B->ReadValue(Cats, u"TAB 4")->Name, u"Tab 4");
  EXPECT_EQ(Read(*B, Cats, u"Tab 4"), u"respelled");
  EXPECT_EQ(Read(*B, Cats, u"Tab 6"), u"new");
  EXPECT_EQ(Read(*B, Cats, u"Tab 5"), u"-");
  EXPECT_EQ(Read(*B, Cats, u"Tab 1"), u"a1");
  EXPECT_GT(SqliteHiveCommitsRelayed(*A), 0u);
  EXPECT_GT(SqliteHiveCommitsFollowed(*B), FollowedBefore);

  // And the other way, values of another type included.
  B->WriteValue(Cats, TRegValue{u"Bin", REG_BINARY, {1, 2, 3}});
  Write(*B, Cats, u"Tab 1", u"b1");
  EXPECT_EQ(A->ReadValue(Cats, u"bin"), (TRegValue{u"Bin", REG_BINARY, {1, 2, 3}}));
  EXPECT_EQ(Read(*A, Cats, u"Tab 1"), u"b1");
  EXPECT_EQ(Read(*B, Cats, u"Tab 1"), u"b1");

  // Keys created and removed: the reader's keys kept as missing or present are redone.
  EXPECT_FALSE(B->KeyExists(Other));
  EXPECT_EQ(Read(*B, Other, u"X"), u"-");
  Write(*A, Other, u"X", u"x");
  EXPECT_TRUE(B->KeyExists(Other));
  EXPECT_EQ(Read(*B, Other, u"X"), u"x");
  A->CreateKey(Other + u"\\Sub");
  EXPECT_TRUE(B->KeyExists(Other + u"\\Sub"));
  A->DeleteKey(Other);
  EXPECT_FALSE(B->KeyExists(Other + u"\\Sub"));
  EXPECT_EQ(Read(*B, Other, u"X"), u"-");
  EXPECT_EQ(Read(*B, Cats, u"Tab 3"), u"changed");
  // A batch: its values, and a batch that removes a key.
  A->Apply({{TRegChange::WriteValue, Cats, TRegValue::String(u"Tab 2", u"batch")},
            {TRegChange::DeleteValue, Cats, TRegValue::String(u"Tab 3", u"")}});
  EXPECT_EQ(Read(*B, Cats, u"Tab 2"), u"batch");
  EXPECT_EQ(Read(*B, Cats, u"Tab 3"), u"-");
  A->Apply({{TRegChange::DeleteKey, Cats, {}}});
  EXPECT_EQ(Read(*B, Cats, u"Tab 2"), u"-");
  EXPECT_FALSE(B->KeyExists(Cats));
  EXPECT_TRUE(SqliteHiveUsesHeaderCheck(*A));
  EXPECT_TRUE(SqliteHiveUsesHeaderCheck(*B));
}

// Whatever another connection commits shows at the next read, also when it commits right after a
// handle's commit released the journal (before that commit even returned), between two relayed
// commits, or from another process.
TEST_F(SqliteHiveRelayTest, ACommitOfAnotherConnectionInTheChainSendsTheReaderToTheFile) {
  auto A = Open(), B = Open();
  for (int I = 1; I <= 3; ++I)
    Write(*A, Cats, u"Tab " + IntToStr(I), u"a");
  ASSERT_EQ(Read(*B, Cats, u"Tab 1"), u"a");
  ASSERT_EQ(Read(*B, Cats, u"Tab 2"), u"a");
  sqlite3* Db = Raw();
  // Right behind the handle's commit, in the moment between its release of the write lock and
  // its return.
  for (int Round = 0; Round < 3; ++Round) {
    bool Ran = false;
    HiveFiles::AfterWriteRelease([&] {
      Ran = true;
      RawSet(Db, "tab 2",
             "7200"
             "0000"); // "r"
    });
    Write(*A, Cats, u"Tab 1", u"from A " + IntToStr(Round));
    ASSERT_TRUE(Ran);
    EXPECT_EQ(Read(*B, Cats, u"Tab 2"), u"r") << Round;
    EXPECT_EQ(Read(*A, Cats, u"Tab 2"), u"r") << Round;
    EXPECT_EQ(Read(*B, Cats, u"Tab 1"), u"from A " + IntToStr(Round));
    RawSet(Db, "tab 2",
           "6100"
           "0000"); // "a"
    EXPECT_EQ(Read(*B, Cats, u"Tab 2"), u"a");
    EXPECT_EQ(Read(*A, Cats, u"Tab 2"), u"a");
  }
  // Between two relayed commits.
  Write(*A, Cats, u"Tab 1", u"first");
  RawSet(Db, "tab 3",
         "7200"
         "0000");
  Write(*A, Cats, u"Tab 1", u"second");
  EXPECT_EQ(Read(*B, Cats, u"Tab 3"), u"r");
  EXPECT_EQ(Read(*B, Cats, u"Tab 1"), u"second");
  sqlite3_close(Db);
  // Another process.
  Write(*A, Cats, u"Tab 1", u"third");
  ASSERT_EQ(RunWorker({"set", HiveFile, UTF8Encode(Cats), "Tab 2", "elsewhere"}), "set\n");
  Write(*A, Cats, u"Tab 1", u"fourth");
  EXPECT_EQ(Read(*B, Cats, u"Tab 2"), u"elsewhere");
  EXPECT_EQ(Read(*B, Cats, u"Tab 1"), u"fourth");
}

// Two processes, each with a handle writing a counter and another reading it back at once and
// the other process's counter: every read sees the value just written, and the other counter
// never goes back, however the commits of the two processes interleave.
TEST_F(SqliteHiveRelayTest, ProcessesWithTwoHandlesEachReadExactlyWhileBothWrite) {
  Open(); // creates the hive
  TWorker First(
      {"relay", HiveFile, UTF8Encode(Cats + u"\\P1"), UTF8Encode(Cats + u"\\P2"), "1500"});
  TWorker Second(
      {"relay", HiveFile, UTF8Encode(Cats + u"\\P2"), UTF8Encode(Cats + u"\\P1"), "1500"});
  long long Writes = 0, Followed = 0;
  for (TWorker* W : {&First, &Second}) {
    const std::string Out = W->ReadAll();
    ASSERT_EQ(W->Wait(), 0) << Out;
    long long N = 0, F = 0;
    ASSERT_EQ(std::sscanf(Out.c_str(), "%lld %lld", &N, &F), 2) << Out;
    Writes += N;
    Followed += F;
  }
  std::cerr << "two processes: " << Writes << " writes, " << Followed
            << " of them followed by the other handle of the writing process\n";
  EXPECT_GT(Writes, 100);
  EXPECT_GT(Followed, 0);
}

// A write that fails or changes nothing relays nothing, and a reader further behind than the
// commits kept reads the file.
TEST_F(SqliteHiveRelayTest, FailedWritesRelayNothingAndALongChainIsNotFollowed) {
  auto A = Open(), B = Open();
  Write(*A, Cats, u"Tab 1", u"kept");
  Write(*A, Cats, u"Tab 2", u"kept");
  ASSERT_EQ(Read(*B, Cats, u"Tab 1"), u"kept");
  ASSERT_EQ(Read(*B, Cats, u"Tab 2"), u"kept");
  const unsigned Relayed = SqliteHiveCommitsRelayed(*A);
  {
    THiveFaultInjection Fault(hoWrite, 0, 2, 0);
    EXPECT_THROW(Write(*A, Cats, u"Tab 1", u"lost"), ERegistryException);
    EXPECT_THROW(A->DeleteValue(Cats, u"Tab 2"), ERegistryException);
  }
  Write(*A, Cats, u"Tab 2", u"kept"); // as it is: nothing written
  A->DeleteValue(Cats, u"Tab 9");     // not there: nothing written
  EXPECT_EQ(SqliteHiveCommitsRelayed(*A), Relayed);
  // A row rewritten as it was (the failed write dropped the cache that knew it) writes nothing
  // to the journal, whose header then stays: that is no sign of an SQLite that does not move it.
  EXPECT_TRUE(SqliteHiveUsesHeaderCheck(*A));
  EXPECT_EQ(Read(*B, Cats, u"Tab 1"), u"kept");
  EXPECT_EQ(Read(*A, Cats, u"Tab 1"), u"kept");
  EXPECT_EQ(Read(*B, Cats, u"Tab 2"), u"kept");

  // More commits than are kept: the reader finds no record of its own header any more.
  ASSERT_EQ(Read(*B, Cats, u"Tab 1"), u"kept");
  const unsigned Followed = SqliteHiveCommitsFollowed(*B);
  for (int I = 1; I <= 100; ++I)
    Write(*A, Cats, u"Tab " + IntToStr(I % 7), IntToStr(I));
  for (int I = 94; I <= 100; ++I)
    EXPECT_EQ(Read(*B, Cats, u"Tab " + IntToStr(I % 7)), IntToStr(I));
  EXPECT_EQ(SqliteHiveCommitsFollowed(*B), Followed);
  // A short one is followed again.
  Write(*A, Cats, u"Tab 1", u"short");
  EXPECT_EQ(Read(*B, Cats, u"Tab 1"), u"short");
  EXPECT_EQ(SqliteHiveCommitsFollowed(*B), Followed + 1);
}

// Many writes, deletions and removed keys through three handles in random order, with now and
// then a commit of a plain connection, checked after each step against a model of the hive.
TEST_F(SqliteHiveRelayTest, RandomChangesThroughSeveralHandlesMatchAModel) {
  std::vector<std::unique_ptr<TRegistryHive>> Handles;
  for (int I = 0; I < 3; ++I)
    Handles.push_back(Open());
  sqlite3* Db = Raw();
  std::map<std::pair<int, int>, UnicodeString> Model; // (key, value) -> data
  std::mt19937 Random(16);
  auto KeyPath = [](int K) { return Cats + u"\\K" + IntToStr(K); };
  auto Name = [](int V) { return u"V" + IntToStr(V); };
  for (int Step = 1; Step <= 1500; ++Step) {
    TRegistryHive& H = *Handles[Random() % Handles.size()];
    const int K = static_cast<int>(Random() % 4), V = static_cast<int>(Random() % 6);
    const unsigned What = Random() % 100;
    if (What < 55) {
      Write(H, KeyPath(K), Name(V), IntToStr(Step));
      Model[{K, V}] = IntToStr(Step);
    } else if (What < 75) {
      H.DeleteValue(KeyPath(K), Name(V));
      Model.erase({K, V});
    } else if (What < 78) {
      H.DeleteKey(KeyPath(K));
      std::erase_if(Model, [&](const auto& E) { return E.first.first == K; });
    } else if (What < 82 && Model.count({K, V})) {
      // Behind the handles' back: every value of that name becomes "z".
      const std::string Folded = "v" + std::to_string(V);
      ASSERT_EQ(
          sqlite3_exec(
              Db,
              ("UPDATE reg_values SET data = x'7a000000' WHERE folded = '" + Folded + "'").c_str(),
              nullptr, nullptr, nullptr),
          SQLITE_OK);
      for (auto& [Where, Data] : Model)
        if (Where.second == V)
          Data = u"z";
    }
    // Every handle reads a few values, and now and then all of them.
    for (auto& R : Handles) {
      const bool All = Step % 150 == 0;
      for (int RK = 0; RK < 4; ++RK)
        for (int RV = 0; RV < 6; ++RV) {
          if (!All && Random() % 8 != 0)
            continue;
          auto It = Model.find({RK, RV});
          ASSERT_EQ(Read(*R, KeyPath(RK), Name(RV)), It == Model.end() ? u"-" : It->second)
              << "step " << Step << " key " << RK << " value " << RV;
        }
    }
  }
  sqlite3_close(Db);
  unsigned Followed = 0;
  for (auto& H : Handles)
    Followed += SqliteHiveCommitsFollowed(*H);
  EXPECT_GT(Followed, 100u);
}

} // namespace
