// What a running hive handle does when something other than this program deletes, replaces or
// empties its files, and the files and folders it makes.
#include "rtl/RegFile.h"
#include "rtl/SqliteHive.h"
#include "rtl/SqliteHiveHooks.h"

#include "HiveTestSupport.h"

#include <gmock/gmock.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;
using namespace std::chrono_literals;

const UnicodeString Key = u"Software\\Orvik\\Palette Menu";
const UnicodeString Categories = Key + u"\\Categories";
const std::string CategoriesUtf8 = UTF8Encode(Categories);

TFileIdentity IdentityOf(const std::string& File) {
  struct stat St {};
  if (::stat(File.c_str(), &St) != 0)
    return {};
  return {static_cast<uint64_t>(St.st_dev), static_cast<uint64_t>(St.st_ino)};
}

unsigned ModeOf(const std::string& File) {
  struct stat St {};
  return ::stat(File.c_str(), &St) == 0 ? St.st_mode & 07777 : 0;
}

class HiveFilesTest : public ::testing::Test {
protected:
  std::unique_ptr<TRegistryHive> Open(std::chrono::milliseconds Timeout = 2000ms) {
    return OpenSqliteHive(HivePath, Timeout);
  }
  // Action fails at once with a message naming File and saying What happened to it.
  static void ExpectRefused(const std::function<void()>& Action, const std::string& File,
                            const std::string& What) {
    auto Start = std::chrono::steady_clock::now();
    try {
      Action();
      ADD_FAILURE() << "no error although " << File << " was " << What;
    } catch (const ERegistryException& E) {
      EXPECT_THAT(MessageOf(E), HasSubstr("'" + File + "'"));
      EXPECT_THAT(MessageOf(E), HasSubstr(What));
      EXPECT_THAT(MessageOf(E), Not(HasSubstr("locked")));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - Start, 1s);
  }

  TTempDir Temp;
  std::string HiveFile = Temp.File("HKCU.db");
  UnicodeString HivePath = Temp.Path("HKCU.db");
};

TEST_F(HiveFilesTest, AJournalDeletedUnderARunningHandleStopsItAndIsNeverFoldedBack) {
  auto H = Open();
  H->WriteValue(Categories, TRegValue::String(u"Mine", u"before"));
  ASSERT_EQ(::unlink((HiveFile + "-wal").c_str()), 0);
  ASSERT_EQ(::unlink((HiveFile + "-shm").c_str()), 0);
  ExpectRefused([&] { H->WriteValue(Categories, TRegValue::String(u"Mine", u"after")); },
                HiveFile + "-wal", "deleted");
  ExpectRefused([&] { H->SubKeyNames(Key); }, HiveFile + "-wal", "deleted");
  // The handle stays refused, and other processes go on with the hive as the file holds it.
  ExpectRefused([&] { H->KeyExists(Key); }, HiveFile + "-wal", "deleted");
  EXPECT_EQ(RunWorker({"set", HiveFile, CategoriesUtf8, "Theirs", "acknowledged"}), "set\n");
  EXPECT_EQ(RunWorker({"read", HiveFile, CategoriesUtf8, "Theirs"}), "acknowledged\n");
  // Closing the handle must not fold its old journal over the other process's write.
  H.reset();
  EXPECT_EQ(RunWorker({"read", HiveFile, CategoriesUtf8, "Theirs"}), "acknowledged\n");
  EXPECT_EQ(IntegrityCheck(HiveFile), "ok");
  auto Again = Open();
  EXPECT_EQ(Again->ReadValue(Categories, u"Theirs")->AsString(), u"acknowledged");
}

TEST_F(HiveFilesTest, AJournalDeletedAloneIsNamedToNewOpensAndTheHiveOpensAgainAfterwards) {
  auto H = Open();
  for (int I = 0; I < 50; ++I)
    H->WriteValue(Categories, TRegValue::String(u"V" + IntToStr(I), u"x"));
  ASSERT_EQ(::unlink((HiveFile + "-wal").c_str()), 0);
  // The shared memory left beside counts frames the new journal does not have: another
  // process's open says so rather than reporting a failing disk.
  TWorker Reader({"read", HiveFile, CategoriesUtf8, "V1"});
  const std::string Said = Reader.ReadAll();
  EXPECT_NE(Reader.Wait(), 0);
  EXPECT_THAT(Said, HasSubstr("'" + HiveFile + "-wal'"));
  EXPECT_THAT(Said, HasSubstr("deleted or replaced while another process had the hive open"));
  EXPECT_THAT(Said, Not(HasSubstr("input/output error")));
  // The other process's open made a new journal at the path.
  ExpectRefused([&] { H->SubKeyNames(Key); }, HiveFile + "-wal", "replaced");
  H.reset();
  EXPECT_EQ(RunWorker({"set", HiveFile, CategoriesUtf8, "After", "y"}), "set\n");
  EXPECT_EQ(RunWorker({"read", HiveFile, CategoriesUtf8, "After"}), "y\n");
  EXPECT_EQ(IntegrityCheck(HiveFile), "ok");
}

TEST_F(HiveFilesTest, AHiveFileReplacedOrDeletedUnderARunningHandleStopsItAndTheNewFileIsKept) {
  const std::string Other = Temp.File("other.db");
  {
    auto O = OpenSqliteHive(Temp.Path("other.db"));
    O->WriteValue(Categories, TRegValue::String(u"Which", u"replacement"));
  }
  auto H = Open();
  H->WriteValue(Categories, TRegValue::String(u"Which", u"old"));
  H->WriteValue(Categories, TRegValue::String(u"Only old", u"x"));
  ASSERT_EQ(::rename(Other.c_str(), HiveFile.c_str()), 0);
  ExpectRefused([&] { H->WriteValue(Categories, TRegValue::String(u"Which", u"late")); }, HiveFile,
                "replaced");
  ExpectRefused([&] { H->ValueNames(Categories); }, HiveFile, "replaced");
  // What the handle wrote before cannot be made durable any more: flushing says so.
  ExpectRefused([&] { H->Flush(); }, HiveFile, "replaced");
  H.reset();
  // The old journal was neither applied to the replacement nor left beside it for the next
  // process to apply.
  EXPECT_EQ(RunWorker({"read", HiveFile, CategoriesUtf8, "Which"}), "replacement\n");
  EXPECT_EQ(RunWorker({"read", HiveFile, CategoriesUtf8, "Only old"}), "(none)\n");
  EXPECT_EQ(IntegrityCheck(HiveFile), "ok");

  // Deleted rather than replaced: the handle stops, and a new hive starts afresh at the path.
  H = Open();
  H->WriteValue(Categories, TRegValue::String(u"Which", u"doomed"));
  ASSERT_EQ(::unlink(HiveFile.c_str()), 0);
  ExpectRefused([&] { H->WriteValue(Categories, TRegValue::String(u"Which", u"late")); }, HiveFile,
                "deleted");
  auto Fresh = Open();
  EXPECT_FALSE(Fresh->ReadValue(Categories, u"Which").has_value());
  Fresh->WriteValue(Categories, TRegValue::String(u"Which", u"fresh"));
  H.reset();
  EXPECT_EQ(Fresh->ReadValue(Categories, u"Which")->AsString(), u"fresh");
  Fresh.reset();
  EXPECT_EQ(RunWorker({"read", HiveFile, CategoriesUtf8, "Which"}), "fresh\n");
}

TEST_F(HiveFilesTest, AnEmptiedHiveIsReportedOnEveryPathAndNotTakenForANewOneLater) {
  ASSERT_EQ(RunWorker({"touch", HiveFile}), "");
  auto H = Open();
  H->WriteValue(Categories, TRegValue::String(u"Standard", u"acknowledged"));
  ASSERT_EQ(::truncate(HiveFile.c_str(), 0), 0);
  for (auto Action : std::vector<std::function<void()>>{
           [&] { H->SubKeyNames(Key); },
           [&] { H->KeyExists(u"Software\\Elsewhere"); },
           [&] { H->ReadSnapshot([] {}); },
           [&] { Open(); },
       })
    ExpectRefused(Action, HiveFile, "emptied");
  H.reset();
  // Left by a process that is gone: an empty file with an empty journal beside it.
  WriteBytes(HiveFile + "-wal", "");
  ExpectRefused([&] { Open(); }, HiveFile, "empt");
  EXPECT_EQ(RunWorker({"touch", HiveFile}), "worker failed (status 256)");
  EXPECT_TRUE(fs::exists(HiveFile + "-wal"));
  EXPECT_EQ(fs::file_size(HiveFile), 0u);
  // An empty file alone is still made a hive (a file prepared for it).
  fs::remove(HiveFile + "-wal");
  fs::remove(HiveFile + "-shm");
  EXPECT_EQ(RunWorker({"touch", HiveFile}), "");
  EXPECT_EQ(IntegrityCheck(HiveFile), "ok");
}

TEST_F(HiveFilesTest, NewHiveFilesAndFoldersAreTheOwnersOnlyExistingOnesKeepTheirMode) {
  const std::string Dir = Temp.File("made"), Sub = Dir + "/for/hive";
  const std::string File = Sub + "/HKCU.db";
  const mode_t Old = ::umask(022);
  {
    auto H = OpenSqliteHive(UTF8Decode(File));
    H->WriteValue(Categories, TRegValue::String(u"Standard", u"x"));
    for (const std::string& Made : {Dir, Dir + "/for", Sub})
      EXPECT_EQ(ModeOf(Made), 0700u) << Made;
    for (const char* Suffix : {"", "-wal", "-shm"})
      EXPECT_EQ(ModeOf(File + Suffix), 0600u) << Suffix;
  }
  ::umask(Old);
  // A hive whose owner widened its permissions keeps them, and so do its journal files.
  ASSERT_EQ(::chmod(File.c_str(), 0644), 0);
  {
    auto H = OpenSqliteHive(UTF8Decode(File));
    H->WriteValue(Categories, TRegValue::String(u"Standard", u"y"));
    EXPECT_EQ(ModeOf(File + "-wal"), 0644u);
  }
  EXPECT_EQ(ModeOf(File), 0644u);
}

TEST_F(HiveFilesTest, TheFilesOfAHiveAreTheOnesOpenedAndAnExportOntoItsJournalIsRefused) {
  auto H = Open();
  H->WriteValue(Categories, TRegValue::String(u"Standard", u"x"));
  const auto Files = H->Files();
  for (const char* Suffix : {"", "-wal", "-shm"})
    EXPECT_THAT(Files, ::testing::Contains(IdentityOf(HiveFile + Suffix))) << Suffix;
  const std::string Journal = ReadBytes(HiveFile + "-wal");
  try {
    ExportRegistryFile(*H, Key, HivePath + u"-wal");
    ADD_FAILURE() << "exported onto the hive's journal";
  } catch (const ERegistryException& E) {
    EXPECT_THAT(MessageOf(E), HasSubstr(HiveFile + "-wal"));
  }
  EXPECT_EQ(ReadBytes(HiveFile + "-wal"), Journal);
  EXPECT_EQ(H->ReadValue(Categories, u"Standard")->AsString(), u"x");
}

TEST_F(HiveFilesTest, ATreeDeeperThanSqlitesTriggerLimitIsDeletedWhole) {
  // Such a tree can only come from an older version or another program: the keys are made
  // directly in the file.
  constexpr int Depth = 3000;
  Open().reset();
  {
    sqlite3* Db = nullptr;
    // Through the hive's file layer, which keeps the pages' checksums.
    ASSERT_EQ(sqlite3_open_v2(HiveFile.c_str(), &Db, SQLITE_OPEN_READWRITE, SqliteHiveVfsName()),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(Db,
                           "BEGIN;"
                           "INSERT INTO reg_keys(id, parent, name, folded) VALUES(100, 1, 'Deep', "
                           "'deep');"
                           "WITH RECURSIVE n(i) AS (SELECT 101 UNION ALL SELECT i + 1 FROM n "
                           "WHERE i < 100 + 3000) INSERT INTO reg_keys(id, parent, name, folded) "
                           "SELECT i, i - 1, 'k', 'k' FROM n;"
                           "INSERT INTO reg_values(key, name, folded, type, data) "
                           "VALUES(3100, 'v', 'v', 1, x'00'), (100, 'w', 'w', 1, x'00');"
                           "INSERT INTO reg_keys(id, parent, name, folded) VALUES(5000, 1, 'Kept', "
                           "'kept');"
                           "INSERT INTO reg_values(key, name, folded, type, data) "
                           "VALUES(5000, 'v', 'v', 1, x'00');"
                           "COMMIT",
                           nullptr, nullptr, nullptr),
              SQLITE_OK)
        << sqlite3_errmsg(Db);
    sqlite3_close(Db);
  }
  static_assert(Depth == 3000);
  auto H = Open();
  H->DeleteKey(u"Deep");
  EXPECT_FALSE(H->KeyExists(u"Deep"));
  EXPECT_TRUE(H->KeyExists(u"Kept"));
  EXPECT_EQ(H->SubKeyNames(u""), std::vector<UnicodeString>{u"Kept"});
  H.reset();
  sqlite3* Db = nullptr;
  ASSERT_EQ(sqlite3_open(HiveFile.c_str(), &Db), SQLITE_OK);
  sqlite3_stmt* S = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(Db,
                               "SELECT (SELECT count(*) FROM reg_keys), "
                               "(SELECT count(*) FROM reg_values)",
                               -1, &S, nullptr),
            SQLITE_OK);
  ASSERT_EQ(sqlite3_step(S), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(S, 0), 2); // the root and Kept
  EXPECT_EQ(sqlite3_column_int(S, 1), 1);
  sqlite3_finalize(S);
  sqlite3_close(Db);
}

} // namespace
