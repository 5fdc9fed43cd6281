// Page checksums of the SQLite hive: a new hive keeps a checksum in every page, in the file and in
// its journal, and a damaged page is an error naming the file, never a value silently changed;
// a hive made without them keeps working.
#include "rtl/SqliteHive.h"

#include "HiveTestSupport.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <map>
#include <random>

#include <sys/wait.h>
#include <unistd.h>

namespace {

using ::testing::AnyOf;
using ::testing::HasSubstr;
using ::testing::Not;

const UnicodeString Key = u"Software\\Orvik\\Palette Menu";

using TValues = std::map<std::string, std::string>; // "key\name" -> data

// Every string value of the hive, or the message of the first failure.
std::string DumpOrError(TRegistryHive& Hive, TValues& Out) {
  try {
    std::vector<UnicodeString> Keys{u""};
    for (size_t I = 0; I < Keys.size(); ++I) {
      const UnicodeString K = Keys[I];
      for (const UnicodeString& Name : Hive.ValueNames(K)) {
        std::optional<TRegValue> V = Hive.ReadValue(K, Name);
        Out[UTF8Encode(K + u"\\" + Name)] = V && V->IsString() ? UTF8Encode(V->AsString()) : "?";
      }
      for (const UnicodeString& Sub : Hive.SubKeyNames(K))
        Keys.push_back(K.empty() ? Sub : K + u"\\" + Sub);
    }
    return "";
  } catch (const ERegistryException& E) {
    return MessageOf(E);
  }
}

unsigned char HeaderByte(const std::string& File, size_t At) {
  const std::string Bytes = ReadBytes(File);
  return Bytes.size() > At ? static_cast<unsigned char>(Bytes[At]) : 0xFF;
}

// The hive's schema as a hive without checksums was made.
void MakeHiveWithoutChecksums(const std::string& File) {
  sqlite3* Db = nullptr;
  ASSERT_EQ(sqlite3_open(File.c_str(), &Db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(Db, R"sql(
    PRAGMA journal_mode = WAL;
    CREATE TABLE reg_keys(id INTEGER PRIMARY KEY,
      parent INTEGER REFERENCES reg_keys(id) ON DELETE CASCADE,
      name TEXT NOT NULL, folded TEXT NOT NULL, UNIQUE(parent, folded));
    INSERT INTO reg_keys(id, parent, name, folded) VALUES(1, NULL, '', '');
    CREATE TABLE reg_values(id INTEGER PRIMARY KEY,
      key INTEGER NOT NULL REFERENCES reg_keys(id) ON DELETE CASCADE,
      name TEXT NOT NULL, folded TEXT NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL,
      UNIQUE(key, folded));
    PRAGMA application_id = 1212891989;
    PRAGMA user_version = 1;)sql",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(Db);
}

TEST(HivePageChecksums, ANewHiveKeepsThemAndAHiveMadeWithoutThemKeepsWorkingAsItIs) {
  TTempDir Temp;
  const std::string New = Temp.File("new.db");
  {
    auto H = OpenSqliteHive(UTF8Decode(New));
    H->WriteValue(Key, TRegValue::String(u"A", u"1"));
  }
  EXPECT_EQ(HeaderByte(New, 20), 8) << "bytes reserved per page";
  EXPECT_EQ(IntegrityCheck(New), "ok");
  EXPECT_EQ(OpenSqliteHive(UTF8Decode(New))->ReadValue(Key, u"A")->AsString(), u"1");

  const std::string Old = Temp.File("old.db");
  MakeHiveWithoutChecksums(Old);
  {
    auto H = OpenSqliteHive(UTF8Decode(Old));
    for (int I = 0; I < 200; ++I)
      H->WriteValue(Key, TRegValue::String(u"V" + IntToStr(I), UnicodeString(40, u'x')));
  }
  EXPECT_EQ(HeaderByte(Old, 20), 0);
  EXPECT_EQ(IntegrityCheck(Old), "ok");
  auto H = OpenSqliteHive(UTF8Decode(Old));
  EXPECT_EQ(H->ReadValue(Key, u"V199")->AsString(), UnicodeString(40, u'x'));
  EXPECT_EQ(H->ValueNames(Key).size(), 200u);
}

TEST(HivePageChecksums, EveryDamagedPageIsAnErrorNamingTheFileNeverAChangedValue) {
  TTempDir Temp;
  const std::string Made = Temp.File("made.db");
  TValues Expected;
  {
    auto H = OpenSqliteHive(UTF8Decode(Made));
    for (int K = 0; K < 6; ++K)
      for (int I = 0; I < 60; ++I) {
        const UnicodeString Path = Key + u"\\Tab" + IntToStr(K);
        const UnicodeString Data = u"value " + IntToStr(K * 1000 + I) + UnicodeString(30, u'.');
        H->WriteValue(Path, TRegValue::String(u"N" + IntToStr(I), Data));
        Expected[UTF8Encode(Path + u"\\N" + IntToStr(I))] = UTF8Encode(Data);
      }
  }
  const std::string Original = ReadBytes(Made);
  const size_t PageSize =
      static_cast<unsigned char>(Original[16]) << 8 | static_cast<unsigned char>(Original[17]);
  const size_t Pages = Original.size() / PageSize;
  ASSERT_GE(Pages, 10u);
  std::mt19937 Random(20261207);
  int RefusedAtOpen = 0, ChecksumNamed = 0, Silent = 0;
  for (int Round = 0; Round < 200; ++Round) {
    const std::string File = Temp.File("damaged" + std::to_string(Round) + ".db");
    std::string Bytes = Original;
    // 1 to 8 bytes changed at one place of one page (past the file's own header on page 1).
    const size_t Page = Random() % Pages;
    const size_t Count = 1 + Random() % 8;
    const size_t From = Page * PageSize + (Page == 0 ? 100 : 0);
    const size_t At = From + Random() % (Page * PageSize + PageSize - Count - From);
    for (size_t I = 0; I < Count; ++I)
      Bytes[At + I] = static_cast<char>(Bytes[At + I] ^ (1 + Random() % 255));
    WriteBytes(File, Bytes);
    std::string Failure;
    TValues Read;
    try {
      auto H = OpenSqliteHive(UTF8Decode(File));
      Failure = DumpOrError(*H, Read);
    } catch (const ERegistryException& E) {
      Failure = MessageOf(E);
      ++RefusedAtOpen;
    }
    for (const auto& [Name, Data] : Read)
      if (Expected.count(Name) && Expected[Name] != Data)
        ++Silent;
    const std::string Where =
        "page " + std::to_string(Page + 1) + ", byte " + std::to_string(At - Page * PageSize);
    ASSERT_FALSE(Failure.empty()) << "damage at " << Where << " went unnoticed";
    EXPECT_THAT(Failure, HasSubstr("'" + File + "'")) << Where;
    EXPECT_THAT(Failure, AnyOf(HasSubstr("damaged"), HasSubstr("not a registry hive"))) << Where;
    ChecksumNamed += Failure.find("does not match its checksum") != std::string::npos;
    std::filesystem::remove(File);
  }
  EXPECT_EQ(Silent, 0);
  // The integrity check at opening reads every page of the hive.
  EXPECT_EQ(RefusedAtOpen, 200);
  EXPECT_GE(ChecksumNamed, 190);
}

TEST(HivePageChecksums, ADamagedPageInTheJournalIsAnErrorNamingTheJournal) {
  TTempDir Temp;
  const std::string File = Temp.File("HKCU.db");
  auto H = OpenSqliteHive(UTF8Decode(File));
  for (int I = 0; I < 30; ++I)
    H->WriteValue(Key, TRegValue::String(u"N" + IntToStr(I), u"in the journal"));
  // Every page image in the journal changed in the middle; the handle keeps the journal open.
  std::string Wal = ReadBytes(File + "-wal");
  ASSERT_GT(Wal.size(), 32u);
  const size_t PageSize =
      static_cast<unsigned char>(Wal[10]) << 8 | static_cast<unsigned char>(Wal[11]);
  int Frames = 0;
  for (size_t Frame = 32; Frame + 24 + PageSize <= Wal.size(); Frame += 24 + PageSize, ++Frames)
    Wal[Frame + 24 + PageSize / 2] ^= 0x5A;
  ASSERT_GT(Frames, 0);
  {
    std::fstream Out(File + "-wal", std::ios::in | std::ios::out | std::ios::binary);
    Out.write(Wal.data(), static_cast<std::streamsize>(Wal.size()));
  }
  const std::string Said = RunWorker({"read", File, UTF8Encode(Key), "N7"});
  EXPECT_THAT(Said, HasSubstr("worker failed"));
  TWorker Reader({"read", File, UTF8Encode(Key), "N7"});
  const std::string Message = Reader.ReadAll();
  Reader.Wait();
  EXPECT_THAT(Message, HasSubstr("'" + File + "-wal'"));
  EXPECT_THAT(Message, HasSubstr("does not match its checksum"));
  EXPECT_THAT(Message, Not(HasSubstr("in the journal\n")));
}

TEST(HivePageChecksums, AKilledWritersJournalIsRecoveredWithEveryAcknowledgedWrite) {
  TTempDir Temp;
  const std::string File = Temp.File("HKCU.db");
  long long Acknowledged = 0;
  {
    TWorker Writer({"write", File, UTF8Encode(Key), "60000"});
    // Lines "1", "2", ... as each write returned; killed after a few hundred.
    std::string Out;
    char Buf[4096];
    while (std::count(Out.begin(), Out.end(), '\n') < 300) {
      ssize_t N = ::read(Writer.OutputFd(), Buf, sizeof Buf);
      ASSERT_GT(N, 0);
      Out.append(Buf, static_cast<size_t>(N));
    }
    ::kill(Writer.Pid(), SIGKILL);
    Writer.Wait();
    Acknowledged = std::count(Out.begin(), Out.end(), '\n');
  }
  // Without the shared memory, the next open rebuilds the index from the journal, checking the
  // chain of the frames' own checksums, which must take in the pages' checksums.
  ASSERT_GT(std::filesystem::file_size(File + "-wal"), 0u);
  std::filesystem::remove(File + "-shm");
  auto H = OpenSqliteHive(UTF8Decode(File));
  for (long long I = 1; I <= Acknowledged; ++I) {
    std::optional<TRegValue> V = H->ReadValue(Key, u"N" + IntToStr(I));
    ASSERT_TRUE(V) << "acknowledged write " << I << " lost";
    EXPECT_EQ(V->AsString(), IntToStr(I));
  }
}

// The checksum as hives have carried it since they had one: two running sums over the page's
// 64-bit little-endian words but the last ("A += word; B += A"), mixed into one value. However
// the layer computes it, every page it writes must carry exactly this, or hives already written
// would read as damaged.
uint64_t DefinedChecksum(const unsigned char* Page, size_t Size) {
  uint64_t A = 0x9E3779B97F4A7C15ull, B = 0x2545F4914F6CDD1Dull;
  for (size_t I = 0; I + 8 < Size; I += 8) {
    uint64_t Word = 0;
    for (int J = 7; J >= 0; --J)
      Word = Word << 8 | Page[I + static_cast<size_t>(J)];
    A += Word;
    B += A;
  }
  return A ^ (B * 0xBF58476D1CE4E5B9ull) ^ (B >> 31);
}

uint64_t StoredChecksum(const unsigned char* Page, size_t Size) {
  uint64_t V = 0;
  for (int J = 7; J >= 0; --J)
    V = V << 8 | Page[Size - 8 + static_cast<size_t>(J)];
  return V;
}

TEST(HivePageChecksums, EveryPageInTheFileAndTheJournalCarriesTheChecksumAsDefined) {
  TTempDir Temp;
  const std::string File = Temp.File("HKCU.db");
  auto H = OpenSqliteHive(UTF8Decode(File));
  // Pages of every kind: keys, values spread over several pages, and values larger than a page.
  for (int I = 0; I < 300; ++I)
    H->WriteValue(Key + u"\\K" + IntToStr(I % 7),
                  TRegValue::String(u"V" + IntToStr(I),
                                    UnicodeString(I % 50 == 0 ? 3000 : 20, u'a' + I % 26)));
  const std::string Wal = ReadBytes(File + "-wal");
  ASSERT_GT(Wal.size(), 32u);
  const size_t WalPage =
      static_cast<unsigned char>(Wal[10]) << 8 | static_cast<unsigned char>(Wal[11]);
  int Frames = 0;
  for (size_t At = 32 + 24; At + WalPage <= Wal.size(); At += 24 + WalPage, ++Frames) {
    const auto* Page = reinterpret_cast<const unsigned char*>(Wal.data() + At);
    ASSERT_EQ(StoredChecksum(Page, WalPage), DefinedChecksum(Page, WalPage)) << "frame " << Frames;
  }
  EXPECT_GT(Frames, 20);
  H.reset(); // folds the journal into the file
  const std::string Bytes = ReadBytes(File);
  const size_t PageSize =
      static_cast<unsigned char>(Bytes[16]) << 8 | static_cast<unsigned char>(Bytes[17]);
  ASSERT_EQ(Bytes.size() % PageSize, 0u);
  ASSERT_GT(Bytes.size() / PageSize, 10u);
  for (size_t At = 0; At < Bytes.size(); At += PageSize) {
    const auto* Page = reinterpret_cast<const unsigned char*>(Bytes.data() + At);
    ASSERT_EQ(StoredChecksum(Page, PageSize), DefinedChecksum(Page, PageSize))
        << "page " << At / PageSize + 1;
  }
}

// A hive held by a static object is closed at exit after the thread's own objects are gone: its
// last fold still writes every page with its checksum, and nothing written is lost.
TEST(HivePageChecksums, AHiveClosedByAStaticObjectAtExitKeepsEveryValue) {
  TTempDir Temp;
  const std::string File = Temp.File("static.db");
  constexpr int Count = 400;
  const pid_t Pid = ::fork();
  ASSERT_GE(Pid, 0);
  if (Pid == 0) {
    static std::unique_ptr<TRegistryHive> Held;
    try {
      Held = OpenSqliteHive(UTF8Decode(File));
      for (int I = 0; I < Count; ++I)
        Held->WriteValue(Key, TRegValue::String(u"V" + IntToStr(I), IntToStr(I)));
    } catch (...) {
      std::_Exit(2);
    }
    std::exit(0); // thread-local objects go first, then Held
  }
  int Status = 0;
  ASSERT_EQ(::waitpid(Pid, &Status, 0), Pid);
  ASSERT_TRUE(WIFEXITED(Status)) << "the process died of signal " << WTERMSIG(Status);
  ASSERT_EQ(WEXITSTATUS(Status), 0);
  EXPECT_EQ(IntegrityCheck(File), "ok");
  auto Hive = OpenSqliteHive(UTF8Decode(File));
  for (int I = 0; I < Count; I += 37)
    EXPECT_EQ(Hive->ReadValue(Key, u"V" + IntToStr(I))->AsString(), IntToStr(I));
  EXPECT_EQ(Hive->ReadValue(Key, u"V" + IntToStr(Count - 1))->AsString(), IntToStr(Count - 1));
}

} // namespace
