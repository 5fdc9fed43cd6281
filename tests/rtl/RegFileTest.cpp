#include "rtl/RegFile.h"
#include "HiveFaults.h"
#include "rtl/SqliteHive.h"

#include "HiveTestSupport.h"

#include <gmock/gmock.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <utility>

namespace {

using ::testing::HasSubstr;

const UnicodeString Orvik = u"Software\\Orvik";
const UnicodeString Categories = u"Software\\Orvik\\Palette Menu\\Categories";

TRegValue Raw(UnicodeString Name, uint32_t Type, std::string_view Bytes) {
  return {std::move(Name), Type, std::vector<uint8_t>(Bytes.begin(), Bytes.end())};
}

std::string Utf16Le(std::u16string_view S) {
  std::string B;
  for (char16_t C : S) {
    B.push_back(static_cast<char>(C & 0xFF));
    B.push_back(static_cast<char>(C >> 8));
  }
  return B;
}

// Every key below Key with every value, parents first, as one comparable list.
std::vector<std::pair<UnicodeString, TRegValue>> Dump(TRegistryHive& H, const UnicodeString& Key) {
  std::vector<std::pair<UnicodeString, TRegValue>> Out;
  std::vector<UnicodeString> Pending{Key};
  while (!Pending.empty()) {
    const UnicodeString Path = std::move(Pending.back());
    Pending.pop_back();
    Out.push_back({Path, {}});
    for (const UnicodeString& N : H.ValueNames(Path))
      Out.push_back({Path, *H.ReadValue(Path, N)});
    const std::vector<UnicodeString> Subs = H.SubKeyNames(Path);
    for (auto It = Subs.rbegin(); It != Subs.rend(); ++It)
      Pending.push_back(Path.empty() ? *It : Path + u"\\" + *It);
  }
  return Out;
}

// A key with one value of every kind the format distinguishes.
void Fill(TRegistryHive& H) {
  H.WriteValue(Orvik, TRegValue::String(u"", u"default \"quoted\" C:\\dir\\"));
  H.WriteValue(Orvik, TRegValue::String(u"Name \"with\" \\ back", u"\u00c4\u20ac\U0001F600"));
  H.WriteValue(Orvik, Raw(u"Count", REG_DWORD, std::string_view("\x40\xe2\x01\x00", 4)));
  std::string Bin;
  for (int I = 0; I < 32; ++I)
    Bin.push_back(static_cast<char>(I));
  H.WriteValue(Orvik, Raw(u"Bin", REG_BINARY, Bin));
  H.WriteValue(Orvik, Raw(u"Exp", REG_EXPAND_SZ, Utf16Le(std::u16string(u"%A%\0", 4))));
  H.WriteValue(Orvik, Raw(u"Multi", REG_MULTI_SZ, Utf16Le(std::u16string(u"a\0b\0\0", 5))));
  H.WriteValue(Orvik, TRegValue::String(u"Lines", u"a\r\nb"));
  H.WriteValue(Orvik, Raw(u"None", REG_NONE, ""));
  H.CreateKey(u"Software\\Orvik\\Palette Menu");
  H.WriteValue(Categories, TRegValue::String(u"Standard", u"Common;VCL"));
}

TEST(RegFile, ExportWritesTheRegistryEditorFormat) {
  auto H = NewMemoryHive();
  Fill(*H);
  const std::u16string Expected =
      u"\uFEFFWindows Registry Editor Version 5.00\r\n"
      u"\r\n"
      u"[HKEY_CURRENT_USER\\Software\\Orvik]\r\n"
      u"@=\"default \\\"quoted\\\" C:\\\\dir\\\\\"\r\n"
      u"\"Name \\\"with\\\" \\\\ back\"=\"\u00c4\u20ac\U0001F600\"\r\n"
      u"\"Count\"=dword:0001e240\r\n"
      u"\"Bin\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\r\n"
      u"  17,18,19,1a,1b,1c,1d,1e,1f\r\n"
      u"\"Exp\"=hex(2):25,00,41,00,25,00,00,00\r\n"
      u"\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
      u"\"Lines\"=hex(1):61,00,0d,00,0a,00,62,00,00,00\r\n"
      u"\"None\"=hex(0):\r\n"
      u"\r\n"
      u"[HKEY_CURRENT_USER\\Software\\Orvik\\Palette Menu]\r\n"
      u"\r\n"
      u"[HKEY_CURRENT_USER\\Software\\Orvik\\Palette Menu\\Categories]\r\n"
      u"\"Standard\"=\"Common;VCL\"\r\n"
      u"\r\n";
  EXPECT_EQ(ExportRegistryText(*H, u"software\\ORVIK"), Utf16Le(Expected));
  EXPECT_THROW(ExportRegistryText(*H, u"Software\\Missing"), ERegistryException);
  H->WriteValue(Orvik, TRegValue::String(u"Two\nLines", u""));
  EXPECT_THROW(ExportRegistryText(*H, Orvik), ERegistryException);
}

TEST(RegFile, ExportThenImportGivesBackEveryValueExactly) {
  TTempDir Temp;
  auto From = OpenSqliteHive(Temp.Path("from.db"));
  Fill(*From);
  From->WriteValue(Categories, TRegValue::String(u"\u00c4rger \u6f22\u5b57", u""));
  From->WriteValue(Categories, TRegValue::String(u"Odd", std::u16string(u"x\0y\xD800", 4)));
  From->WriteValue(Categories, Raw(u"NoTerminator", REG_SZ, "a"));
  From->WriteValue(Categories, Raw(u"Custom", 0x12345678, "\x01\x02"));
  From->WriteValue(Categories, Raw(u"ShortDword", REG_DWORD, "\x01"));
  From->WriteValue(u"", TRegValue::String(u"AtTheRoot", u"r"));
  ExportRegistryFile(*From, u"", Temp.Path("all.reg"));

  auto To = OpenSqliteHive(Temp.Path("to.db"));
  ImportRegistryFile(*To, Temp.Path("all.reg"));
  EXPECT_EQ(Dump(*To, u""), Dump(*From, u""));
  EXPECT_EQ(ExportRegistryText(*To, u""), ReadBytes(Temp.File("all.reg")));
}

TEST(RegFile, ImportReadsRegedit4Utf8Utf16CommentsContinuationsAndDeletions) {
  const std::u16string Text = u"REGEDIT4\n"
                              u"\n"
                              u"; assignments moved from another machine\n"
                              u"[HKCU\\Software\\Orvik\\Palette Menu\\Categories]\n"
                              u"\"Standard\"=\"Common;VCL\"   ; kept as typed\n"
                              u"\"\u00c4rger\"=\"\u00dc\"\n"
                              u"@=\"default\"\n"
                              u"\"Gone\"=-\n"
                              u"\"Num\"=dword:0000002A\n"
                              u"\"Bin\"=hex:DE,AD,\\\n"
                              u"   BE,EF\n"
                              u"\"Q\"=hex(b):01,00,00,00,00,00,00,00\n"
                              u"\n"
                              u"[-HKEY_CURRENT_USER\\Software\\Old]\n";
  std::string Utf8 = UTF8Encode(Text);
  std::string Utf16Be = "\xFE\xFF";
  for (char16_t C : Text) {
    Utf16Be.push_back(static_cast<char>(C >> 8));
    Utf16Be.push_back(static_cast<char>(C & 0xFF));
  }
  for (const std::string& Bytes : {Utf8, "\xEF\xBB\xBF" + Utf8, Utf16Le(Text), Utf16Be}) {
    auto H = NewMemoryHive();
    H->WriteValue(Categories, TRegValue::String(u"Gone", u"x"));
    H->WriteValue(u"Software\\Old\\Sub", TRegValue::String(u"A", u"1"));
    H->Apply(ParseRegistryText(Bytes, u"moved.reg"));
    EXPECT_EQ(H->ValueNames(Categories),
              (std::vector<UnicodeString>{u"Standard", u"\u00c4rger", u"", u"Num", u"Bin", u"Q"}));
    EXPECT_EQ(H->ReadValue(Categories, u"standard")->AsString(), u"Common;VCL");
    EXPECT_EQ(H->ReadValue(Categories, u"\u00e4rger")->AsString(), u"\u00dc");
    EXPECT_EQ(*H->ReadValue(Categories, u"Num"), Raw(u"Num", REG_DWORD, std::string("*\0\0\0", 4)));
    EXPECT_EQ(*H->ReadValue(Categories, u"Bin"), Raw(u"Bin", REG_BINARY, "\xDE\xAD\xBE\xEF"));
    EXPECT_EQ(H->ReadValue(Categories, u"Q")->Type, REG_QWORD);
    EXPECT_FALSE(H->KeyExists(u"Software\\Old"));
  }
}

// Each malformed file is refused with its line named, and nothing of it is applied, although
// lines before the error would delete a key, create one and write a value.
TEST(RegFile, MalformedInputNamesItsLineAndChangesNothing) {
  TTempDir Temp;
  auto H = OpenSqliteHive(Temp.Path("HKCU.db"));
  Fill(*H);
  const std::string Before = ExportRegistryText(*H, u"");
  const std::string Good = "Windows Registry Editor Version 5.00\r\n"
                           "\r\n"
                           "[-HKEY_CURRENT_USER\\Software\\Orvik]\r\n"
                           "[HKEY_CURRENT_USER\\Software\\Imported]\r\n"
                           "\"New\"=\"value\"\r\n";
  struct TCase {
    std::string Text;
    int Line;
    std::string Problem;
  };
  const std::vector<TCase> Cases = {
      {"REGEDIT5\r\n[HKEY_CURRENT_USER\\A]\r\n", 1, "not a registry file"},
      {Good + "\"y\"=\"unterminated\r\n", 6, "no closing"},
      {Good + "hello\r\n", 6, "unrecognised line"},
      {Good + "[HKEY_LOCAL_MACHINE\\Software]\r\n", 6, "HKEY_CURRENT_USER"},
      {Good + "[HKEY_CURRENT_USER\\A\\\\B]\r\n", 6, "empty key name"},
      {Good + "[HKEY_CURRENT_USER\\" + std::string(256, 'k') + "]\r\n", 6, "too long"},
      {Good + "[HKEY_CURRENT_USER\\A\r\n", 6, "must end with ']'"},
      {Good + "[-HKEY_CURRENT_USER]\r\n", 6, "cannot be deleted"},
      {Good + "\"a\\q\"=\"1\"\r\n", 6, "unknown escape"},
      {Good + "\"x\" \"1\"\r\n", 6, "expected '='"},
      {Good + "\"x\"=\"1\" junk\r\n", 6, "unexpected text"},
      {Good + "\"x\"=dword:xyz\r\n", 6, "invalid dword"},
      {Good + "\"x\"=dword:123456789\r\n", 6, "invalid dword"},
      {Good + "\"x\"=hex:01,\\\r\n  02,zz\r\n", 7, "invalid byte"},
      {Good + "\"x\"=hex:01,\\\r\n", 6, "ends inside a continued hex value"},
      {Good + "\"x\"=hex(zz):01\r\n", 6, "invalid value type"},
      {Good + "\"x\"=string\r\n", 6, "unrecognised value data"},
      {Good + "\"" + std::string(16384, 'n') + "\"=\"1\"\r\n", 6, "too long"},
      {Good + "[-HKEY_CURRENT_USER\\Software\\Imported]\r\n\"x\"=\"1\"\r\n", 7,
       "follows the deletion"},
      {"Windows Registry Editor Version 5.00\r\n\"x\"=\"1\"\r\n", 2, "before any [key]"},
      {Good + "\"bad\"=\"\xC3\x28\"\r\n", 6, "neither UTF-16 nor valid UTF-8"},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Problem);
    WriteBytes(Temp.File("bad.reg"), C.Text);
    try {
      ImportRegistryFile(*H, Temp.Path("bad.reg"));
      ADD_FAILURE() << "imported";
    } catch (const ERegistryException& E) {
      EXPECT_THAT(MessageOf(E),
                  HasSubstr(Temp.File("bad.reg") + "', line " + std::to_string(C.Line) + ": "));
      EXPECT_THAT(MessageOf(E), HasSubstr(C.Problem));
    }
    EXPECT_EQ(ExportRegistryText(*H, u""), Before);
  }
  try {
    ImportRegistryFile(*H, Temp.Path("missing.reg"));
    ADD_FAILURE() << "imported a missing file";
  } catch (const ERegistryException& E) {
    EXPECT_THAT(MessageOf(E), HasSubstr(Temp.File("missing.reg")));
  }
}

TEST(RegFile, AnImportIsOneTransactionInEveryHive) {
  TTempDir Temp;
  const std::string Text = "Windows Registry Editor Version 5.00\r\n\r\n"
                           "[-HKEY_CURRENT_USER\\Software\\Orvik]\r\n"
                           "[HKEY_CURRENT_USER\\Software\\Imported]\r\n"
                           "\"New\"=\"value\"\r\n";
  WriteBytes(Temp.File("good.reg"), Text);

  // A failing disk in the middle of the import's commit.
  auto H = OpenSqliteHive(Temp.Path("HKCU.db"));
  Fill(*H);
  const std::string Before = ExportRegistryText(*H, u"");
  {
    THiveFaultInjection Fault(hoWrite, 0, 1, 1);
    EXPECT_THROW(ImportRegistryFile(*H, Temp.Path("good.reg")), ERegistryException);
  }
  EXPECT_EQ(ExportRegistryText(*H, u""), Before);
  H.reset();
  EXPECT_EQ(IntegrityCheck(Temp.File("HKCU.db")), "ok");

  // The memory hive refuses a batch whose last change is invalid without applying the rest.
  auto M = NewMemoryHive();
  Fill(*M);
  const std::string MemoryBefore = ExportRegistryText(*M, u"");
  std::vector<TRegChange> Batch = ParseRegistryText(Text, u"good.reg");
  Batch.push_back({TRegChange::DeleteKey, u"", {}});
  EXPECT_THROW(M->Apply(Batch), ERegistryException);
  EXPECT_EQ(ExportRegistryText(*M, u""), MemoryBefore);
  Batch.pop_back();
  M->Apply(Batch);
  EXPECT_FALSE(M->KeyExists(Orvik));
  EXPECT_EQ(M->ReadValue(u"Software\\Imported", u"New")->AsString(), u"value");
}

TEST(RegFile, AFailedExportLeavesAnExistingFileAlone) {
  TTempDir Temp;
  auto H = NewMemoryHive();
  Fill(*H);
  WriteBytes(Temp.File("out.reg"), "previous export");
  EXPECT_THROW(ExportRegistryFile(*H, u"Software\\Missing", Temp.Path("out.reg")),
               ERegistryException);
  EXPECT_EQ(ReadBytes(Temp.File("out.reg")), "previous export");
  ExportRegistryFile(*H, Orvik, Temp.Path("out.reg"));
  EXPECT_EQ(ReadBytes(Temp.File("out.reg")), ExportRegistryText(*H, Orvik));
  EXPECT_FALSE(std::filesystem::exists(Temp.File("out.reg.partial")));
}

} // namespace

namespace {

// Forwards to a hive and runs Meanwhile once, right after the first listing of values: another
// handle's change in the middle of an export.
class TInterruptedHive final : public TRegistryHive {
public:
  TInterruptedHive(TRegistryHive& Inner, std::function<void()> Meanwhile)
      : FInner(Inner), FMeanwhile(std::move(Meanwhile)) {}
  UnicodeString Location() const override { return FInner.Location(); }
  void CreateKey(std::u16string_view P) override { FInner.CreateKey(P); }
  bool KeyExists(std::u16string_view P) override { return FInner.KeyExists(P); }
  std::optional<TRegValue> ReadValue(std::u16string_view P, std::u16string_view N) override {
    return FInner.ReadValue(P, N);
  }
  void WriteValue(std::u16string_view P, const TRegValue& V) override { FInner.WriteValue(P, V); }
  void DeleteValue(std::u16string_view P, std::u16string_view N) override {
    FInner.DeleteValue(P, N);
  }
  std::vector<UnicodeString> ValueNames(std::u16string_view P) override {
    auto Names = FInner.ValueNames(P);
    if (auto M = std::exchange(FMeanwhile, nullptr))
      M();
    return Names;
  }
  std::vector<UnicodeString> SubKeyNames(std::u16string_view P) override {
    return FInner.SubKeyNames(P);
  }
  void DeleteKey(std::u16string_view P) override { FInner.DeleteKey(P); }
  void ReadSnapshot(const std::function<void()>& Body) override { FInner.ReadSnapshot(Body); }

private:
  TRegistryHive& FInner;
  std::function<void()> FMeanwhile;
};

TEST(RegFile, AnExportShowsTheHiveAtOneMomentWhileAnotherHandleChangesIt) {
  TTempDir Temp;
  auto H = OpenSqliteHive(Temp.Path("HKCU.db"));
  Fill(*H);
  H->WriteValue(Orvik + u"\\Zeta", TRegValue::String(u"Last", u"z"));
  const std::string Before = ExportRegistryText(*H, Orvik);
  auto Other = OpenSqliteHive(Temp.Path("HKCU.db"));
  TInterruptedHive Spy(*H, [&] {
    Other->DeleteValue(Orvik, u"Bin");
    Other->DeleteKey(Orvik + u"\\Zeta");
    Other->WriteValue(Orvik + u"\\Alpha", TRegValue::String(u"New", u"a"));
  });
  EXPECT_EQ(ExportRegistryText(Spy, Orvik), Before);
  // The changes were made, and the next export shows them.
  EXPECT_FALSE(H->ReadValue(Orvik, u"Bin").has_value());
  EXPECT_NE(ExportRegistryText(*H, Orvik), Before);
  // Writing through the handle inside a snapshot is refused, not half-isolated.
  EXPECT_THROW(H->ReadSnapshot([&] { H->DeleteValue(Orvik, u"Count"); }), ERegistryException);
  EXPECT_TRUE(H->ReadValue(Orvik, u"Count").has_value());
}

TEST(RegFile, KeysAndValuesNamedWithNoncharactersExportAndImportExactly) {
  TTempDir Temp;
  auto H = OpenSqliteHive(Temp.Path("HKCU.db"));
  const UnicodeString Odd = Orvik + u"\\Tab\uFFFE";
  H->WriteValue(Odd, TRegValue::String(u"\uFFFF", u"kept"));
  H->WriteValue(Orvik, TRegValue::String(u"Plain", u"p"));
  // The key itself, and its parent, which must not leave it out.
  ExportRegistryFile(*H, Odd, Temp.Path("key.reg"));
  ExportRegistryFile(*H, Orvik, Temp.Path("parent.reg"));
  EXPECT_NE(
      ReadBytes(Temp.File("parent.reg"))
          .find(Utf16Le(u"[HKEY_CURRENT_USER\\Software\\Orvik\\Tab\uFFFE]\r\n\"\uFFFF\"=\"kept\"")),
      std::string::npos);
  auto Copy = OpenSqliteHive(Temp.Path("copy.db"));
  ImportRegistryFile(*Copy, Temp.Path("parent.reg"));
  EXPECT_EQ(Dump(*Copy, Orvik), Dump(*H, Orvik));
  auto Single = OpenSqliteHive(Temp.Path("single.db"));
  ImportRegistryFile(*Single, Temp.Path("key.reg"));
  EXPECT_EQ(Dump(*Single, Odd), Dump(*H, Odd));
}

} // namespace

namespace {

// A key path of Depth levels, each named k.
UnicodeString DeepPath(size_t Depth) {
  UnicodeString P;
  for (size_t I = 0; I < Depth; ++I)
    P += I == 0 ? u"k" : u"\\k";
  return P;
}

// A .reg file with one key Depth levels deep, holding one value.
std::string DeepRegFile(size_t Depth) {
  return "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\" +
         UTF8Encode(DeepPath(Depth)) + "]\r\n\"V\"=\"deep\"\r\n";
}

TEST(RegFile, KeysNestAtMost512LevelsInEveryHiveAndEveryImport) {
  TTempDir Temp;
  auto Sqlite = OpenSqliteHive(Temp.Path("HKCU.db"));
  auto Memory = NewMemoryHive();
  const UnicodeString Deepest = DeepPath(512), TooDeep = DeepPath(513);
  for (TRegistryHive* H : {Sqlite.get(), Memory.get()}) {
    SCOPED_TRACE(UTF8Encode(H->Location()));
    H->WriteValue(Deepest, TRegValue::String(u"V", u"deep"));
    EXPECT_EQ(H->ReadValue(Deepest, u"V")->AsString(), u"deep");
    const std::vector<std::function<void()>> Changes = {
        [&] { H->CreateKey(TooDeep); },
        [&] { H->WriteValue(TooDeep, TRegValue::String(u"V", u"deeper")); },
        [&] {
          H->Apply({{TRegChange::CreateKey, TooDeep, {}}});
        }};
    for (const auto& Change : Changes) {
      try {
        Change();
        ADD_FAILURE() << "a key 513 levels deep was made";
      } catch (const ERegistryException& E) {
        EXPECT_THAT(MessageOf(E), HasSubstr("key path 'k\\k\\k"));
        EXPECT_THAT(MessageOf(E), HasSubstr("is too deep (513 levels, at most 512)"));
      }
    }
    EXPECT_TRUE(H->SubKeyNames(Deepest).empty());
    // The deepest tree there can be goes as a whole.
    H->DeleteKey(u"k");
    EXPECT_FALSE(H->KeyExists(u"k"));
  }

  // A file with a key 3,000 levels deep is refused at the key's line and changes nothing.
  WriteBytes(Temp.File("deep.reg"), DeepRegFile(3000));
  try {
    ImportRegistryFile(*Sqlite, Temp.Path("deep.reg"));
    ADD_FAILURE() << "a key 3,000 levels deep was imported";
  } catch (const ERegistryException& E) {
    EXPECT_THAT(MessageOf(E), HasSubstr("deep.reg', line 3: "));
    EXPECT_THAT(MessageOf(E), HasSubstr("too deep (3000 levels, at most 512)"));
  }
  EXPECT_TRUE(Sqlite->SubKeyNames(u"").empty());

  // One 512 levels deep imports, and exports (every level a section) to the same text from
  // either hive, which imports again to the same.
  WriteBytes(Temp.File("deepest.reg"), DeepRegFile(512));
  ImportRegistryFile(*Sqlite, Temp.Path("deepest.reg"));
  ImportRegistryFile(*Memory, Temp.Path("deepest.reg"));
  // (Compared as a whole, as the texts are too long to print.)
  const std::string Exported = ExportRegistryText(*Sqlite, u"");
  EXPECT_TRUE(Exported == ExportRegistryText(*Memory, u""));
  const std::string LastSection =
      Utf16Le(u"[HKEY_CURRENT_USER\\" + Deepest + u"]\r\n\"V\"=\"deep\"\r\n\r\n");
  EXPECT_TRUE(Exported.ends_with(LastSection));
  auto Again = NewMemoryHive();
  Again->Apply(ParseRegistryText(Exported, u"again.reg"));
  EXPECT_TRUE(ExportRegistryText(*Again, u"") == Exported);
}

// A hive answering as one made before keys were limited could: a chain of keys named k, Depth
// levels deep, with one value at the bottom. It only reads.
class TChainHive final : public TRegistryHive {
public:
  explicit TChainHive(size_t Depth) : FDepth(Depth) {}
  UnicodeString Location() const override { return u"(chain)"; }
  std::vector<TFileIdentity> Files() const override { return {}; }
  void CreateKey(std::u16string_view) override { Refuse(); }
  bool KeyExists(std::u16string_view P) override { return Levels(P) <= FDepth; }
  std::optional<TRegValue> ReadValue(std::u16string_view P, std::u16string_view N) override {
    if (Levels(P) != FDepth || N != u"V")
      return std::nullopt;
    return TRegValue::String(u"V", u"bottom");
  }
  void WriteValue(std::u16string_view, const TRegValue&) override { Refuse(); }
  void DeleteValue(std::u16string_view, std::u16string_view) override { Refuse(); }
  std::vector<UnicodeString> ValueNames(std::u16string_view P) override {
    return Levels(P) == FDepth ? std::vector<UnicodeString>{u"V"} : std::vector<UnicodeString>{};
  }
  std::vector<UnicodeString> SubKeyNames(std::u16string_view P) override {
    return Levels(P) < FDepth ? std::vector<UnicodeString>{u"k"} : std::vector<UnicodeString>{};
  }
  void DeleteKey(std::u16string_view) override { Refuse(); }

private:
  static size_t Levels(std::u16string_view P) {
    return P.empty() ? 0 : static_cast<size_t>(std::count(P.begin(), P.end(), u'\\')) + 1;
  }
  [[noreturn]] static void Refuse() { throw ERegistryException(u"the chain only reads"); }
  size_t FDepth;
};

// Runs Body on a thread of its own whose stack holds Bytes.
void RunOnStack(size_t Bytes, const std::function<void()>& Body) {
  pthread_attr_t Attr;
  pthread_attr_init(&Attr);
  pthread_attr_setstacksize(&Attr, Bytes);
  pthread_t Thread;
  auto Run = [](void* B) -> void* {
    (*static_cast<const std::function<void()>*>(B))();
    return nullptr;
  };
  if (pthread_create(&Thread, &Attr, Run, const_cast<std::function<void()>*>(&Body)) != 0)
    throw std::runtime_error("cannot start a thread");
  pthread_join(Thread, nullptr);
  pthread_attr_destroy(&Attr);
}

// The walk of an export keeps the keys still to write in a list: 3,000 levels (more than any
// hive holds now) export on a stack of 128 KiB, where one call per level would overflow it.
// In a child process, so that an overflow fails this test only.
TEST(RegFile, AnExportTakesNoStackPerLevelOfTheTree) {
  const std::string Result = RunInChild(
      [] {
        TChainHive Hive(3000);
        std::string Bytes, Failure;
        RunOnStack(128 * 1024, [&] {
          try {
            Bytes = ExportRegistryText(Hive, u"");
          } catch (const std::exception& E) {
            Failure = E.what();
          }
        });
        if (!Failure.empty())
          return Failure;
        const std::string Section = Utf16Le(u"[HKEY_CURRENT_USER");
        size_t Sections = 0;
        for (size_t At = Bytes.find(Section); At != std::string::npos;
             At = Bytes.find(Section, At + Section.size()))
          ++Sections;
        const bool EndsDeepest =
            Bytes.ends_with(Utf16Le(u"\\" + DeepPath(3000) + u"]\r\n\"V\"=\"bottom\"\r\n\r\n"));
        return std::to_string(Sections) + (EndsDeepest ? " sections, the deepest last" : "");
      },
      false);
  EXPECT_EQ(Result, "3001 sections, the deepest last");
}

// Imports File into a memory hive in a child process that may neither wait long nor take much
// more memory, so that an import that blocks on a pipe or reads a device without end fails
// this test instead of hanging it or filling the machine. The refusal's message, or
// "imported".
std::string ImportInChild(const std::string& File) {
  return RunInChild(
      [&] {
        ::alarm(20);
        // VmData counts what RLIMIT_DATA limits: allow 512 MiB more than the process has.
        std::ifstream Status("/proc/self/status");
        std::string Line;
        while (std::getline(Status, Line))
          if (Line.starts_with("VmData:")) {
            const rlim_t Now = std::stoull(Line.substr(7)) * 1024;
            const rlimit Limit{Now + (rlim_t(512) << 20), Now + (rlim_t(512) << 20)};
            ::setrlimit(RLIMIT_DATA, &Limit);
          }
        auto H = NewMemoryHive();
        try {
          ImportRegistryFile(*H, UTF8Decode(File));
          return std::string("imported");
        } catch (const ERegistryException& E) {
          return MessageOf(E);
        }
      },
      false);
}

TEST(RegFile, AnImportReadsOnlyARegularFileOfAtMost256MiBAndNamesItInEveryError) {
  TTempDir Temp;
  ASSERT_EQ(::mkfifo(Temp.File("pipe.reg").c_str(), 0600), 0);
  // A sparse file one byte over the limit: it takes no room on the disk.
  WriteBytes(Temp.File("huge.reg"), "");
  std::filesystem::resize_file(Temp.File("huge.reg"), MaxRegistryFileSize + 1);
  struct TCase {
    std::string File, Problem;
  };
  const std::vector<TCase> Cases = {
      {Temp.File("pipe.reg"), "it is not a regular file (it is a named pipe)"},
      {"/dev/zero", "it is not a regular file (it is a character device)"},
      {Temp.Dir(), "it is not a regular file (it is a folder)"},
      {Temp.File("huge.reg"), "the file is too large (268435457 bytes, at most 268435456)"},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.File);
    EXPECT_EQ(ImportInChild(C.File), "Cannot import '" + C.File + "': " + C.Problem);
  }

  // A link to a regular file is read as that file.
  WriteBytes(Temp.File("real.reg"), DeepRegFile(2));
  ASSERT_EQ(::symlink("real.reg", Temp.File("link.reg").c_str()), 0);
  EXPECT_EQ(ImportInChild(Temp.File("link.reg")), "imported");

  // The hive's own refusal names the file too, not only the hive.
  auto Inner = NewMemoryHive();
  TInterruptedHive NoBatches(*Inner, nullptr);
  try {
    ImportRegistryFile(NoBatches, Temp.Path("real.reg"));
    ADD_FAILURE() << "a hive without batches imported";
  } catch (const ERegistryException& E) {
    EXPECT_THAT(MessageOf(E), HasSubstr("Cannot import '" + Temp.File("real.reg") + "': "));
    EXPECT_THAT(MessageOf(E), HasSubstr("cannot apply changes as one transaction"));
  }
}

mode_t ModeOf(const std::string& File) {
  struct stat St {};
  ::stat(File.c_str(), &St);
  return St.st_mode & 07777;
}

TEST(RegFile, AnExportIsAPrivateFileOfItsOwnAndNeverTheHive) {
  TTempDir Temp;
  auto H = OpenSqliteHive(Temp.Path("HKCU.db"));
  Fill(*H);
  const std::string Expected = ExportRegistryText(*H, Orvik);

  // Private whatever the umask, also when it replaces a file that was not.
  WriteBytes(Temp.File("old.reg"), "previous export");
  ::chmod(Temp.File("old.reg").c_str(), 0644);
  const mode_t Umask = ::umask(022);
  ExportRegistryFile(*H, Orvik, Temp.Path("new.reg"));
  ExportRegistryFile(*H, Orvik, Temp.Path("old.reg"));
  ::umask(Umask);
  EXPECT_EQ(ModeOf(Temp.File("new.reg")), 0600u);
  EXPECT_EQ(ModeOf(Temp.File("old.reg")), 0600u);
  EXPECT_EQ(ReadBytes(Temp.File("old.reg")), Expected);

  // Links planted where a temporary file could go are neither followed nor replaced.
  WriteBytes(Temp.File("victim"), "someone else's");
  ASSERT_EQ(::symlink("victim", Temp.File("out.reg.partial").c_str()), 0);
  ASSERT_EQ(::symlink("made-through-a-link", Temp.File("other.reg.partial").c_str()), 0);
  ExportRegistryFile(*H, Orvik, Temp.Path("out.reg"));
  ExportRegistryFile(*H, Orvik, Temp.Path("other.reg"));
  EXPECT_EQ(ReadBytes(Temp.File("out.reg")), Expected);
  EXPECT_EQ(ReadBytes(Temp.File("other.reg")), Expected);
  EXPECT_EQ(ReadBytes(Temp.File("victim")), "someone else's");
  EXPECT_FALSE(std::filesystem::exists(Temp.File("made-through-a-link")));
  EXPECT_TRUE(std::filesystem::is_symlink(Temp.File("out.reg.partial")));

  // The hive's own file, by its name, through a link or a second name, is refused.
  ASSERT_EQ(::symlink("HKCU.db", Temp.File("link.db").c_str()), 0);
  ASSERT_EQ(::link(Temp.File("HKCU.db").c_str(), Temp.File("second.db").c_str()), 0);
  for (const char* Name : {"HKCU.db", "link.db", "second.db"}) {
    SCOPED_TRACE(Name);
    try {
      ExportRegistryFile(*H, Orvik, Temp.Path(Name));
      ADD_FAILURE() << "exported over the hive";
    } catch (const ERegistryException& E) {
      EXPECT_EQ(MessageOf(E), "Cannot export to '" + Temp.File(Name) +
                                  "': it is a file of the registry hive '" + Temp.File("HKCU.db") +
                                  "' itself");
    }
  }
  EXPECT_TRUE(std::filesystem::is_symlink(Temp.File("link.db")));
  H->WriteValue(Orvik, TRegValue::String(u"After", u"kept"));
  H.reset();
  EXPECT_EQ(IntegrityCheck(Temp.File("HKCU.db")), "ok");
  EXPECT_EQ(OpenSqliteHive(Temp.Path("HKCU.db"))->ReadValue(Orvik, u"After")->AsString(), u"kept");

  // Nothing else was left in the folder, and a failed export leaves nothing either.
  EXPECT_THROW(ExportRegistryFile(*NewMemoryHive(), Orvik, Temp.Path("failed.reg")),
               ERegistryException);
  for (const auto& E : std::filesystem::directory_iterator(Temp.Dir()))
    EXPECT_EQ(E.path().filename().string().find(".partial-"), std::string::npos) << E.path();
  EXPECT_FALSE(std::filesystem::exists(Temp.File("failed.reg")));
}

} // namespace
