#include "HiveTrouble.h"

#include "rtl/Exception.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>

#include <unistd.h>

std::optional<THiveTrouble> CheckCurrentUserHive() {
  try {
    OpenCurrentUserHive();
    return std::nullopt;
  } catch (const ERegistryException& E) {
    return THiveTrouble{UTF8Encode(CurrentUserHiveFile()), E.Message()};
  }
}

namespace {

// A word for a POSIX shell: as it is when nothing in it is special, else in single quotes.
std::string Shell(const std::string& Word) {
  const bool Plain = !Word.empty() && std::all_of(Word.begin(), Word.end(), [](char C) {
    return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9') ||
           std::string_view("_./:@%+=,-").find(C) != std::string_view::npos;
  });
  if (Plain)
    return Word;
  std::string Quoted = "'";
  for (char C : Word)
    Quoted += C == '\'' ? std::string("'\\''") : std::string(1, C);
  return Quoted + "'";
}

// An argument of a hostide script line: in double quotes, a '"' doubled.
std::string ScriptArg(const std::string& Text) {
  std::string Quoted = "\"";
  for (char C : Text)
    Quoted += C == '"' ? std::string("\"\"") : std::string(1, C);
  return Quoted + "\"";
}

// The shell command that runs one script line in hostide on the hive File.
std::string HostideLine(const std::string& Hostide, const std::string& File,
                        const std::string& Line) {
  return "printf '%s\\n' " + Shell(Line) + " | " + Shell(Hostide) + " --no-package --registry " +
         Shell(File) + " --script /dev/stdin";
}

bool IsSqliteFile(const std::string& File) {
  static const char Magic[] = "SQLite format 3"; // and its NUL: the first 16 bytes of the file
  char Head[sizeof Magic] = {};
  std::ifstream In(File, std::ios::binary);
  return In.read(Head, sizeof Head) && std::equal(Head, Head + sizeof Head, Magic);
}

// "aside-YYYYMMDD-HHMMSS" for this moment.
std::string AsideName() {
  const std::time_t Now = std::time(nullptr);
  std::tm Local{};
  localtime_r(&Now, &Local);
  char Name[64];
  std::strftime(Name, sizeof Name, "aside-%Y%m%d-%H%M%S", &Local);
  return Name;
}

} // namespace

std::string HiveAdvice(const THiveTrouble& Trouble, const std::string& Host,
                       const std::string& Hostide) {
  namespace fs = std::filesystem;
  const fs::path File = fs::absolute(Trouble.File);
  std::string Text = "The Orvik Palette Menu cannot use its registry hive:\n" +
                     UTF8Encode(Trouble.Failure) + "\n\nThe file is left as it is. Until " + Host +
                     " starts again, the Palette menus list every tab under \"Other\", and "
                     "\"Edit Categories...\" cannot save.\n\n";
  const std::string Again = "then start " + Host + " again.";
  std::error_code Error;
  if (!fs::is_regular_file(File, Error))
    return Text + "Once the problem named above is put right, " + Again;
  if (access(File.c_str(), R_OK | W_OK) != 0)
    return Text + "You may not read or change it. To use it again, run\n  chmod u+rw " +
           Shell(File) + "\n(as its owner, or with sudo), " + Again;
  // The commands work in the hive's folder, on names relative to it; the file is moved into a
  // folder beside it named after this moment.
  const std::string Name = File.filename();
  const std::string Aside = AsideName();
  std::string Files = Shell(Name);
  for (const char* Journal : {"-wal", "-shm"})
    if (fs::exists(File.string() + Journal, Error))
      Files += " " + Shell(Name + Journal);
  const std::string Enter =
      "  cd " + Shell(File.parent_path()) + "\n  mkdir -m 700 " + Shell(Aside) + "\n";
  const std::string Move = "  mv " + Files + " " + Shell(Aside) + "/\n";
  const std::string Kept = " The old file stays in " + (File.parent_path() / Aside).string() + ".";
  if (!IsSqliteFile(File))
    return Text + "It is not a registry hive. To start a new one, move it out of the way:\n" +
           Enter + Move + Again + Kept;
  // Damaged, or another program's database: what hostide can still read goes into a .reg file
  // before the file is moved away, and into the new hive after.
  const std::string Saved = Aside + "/hive.reg";
  return Text + "To keep what can still be read and start a new hive, run\n" + Enter + "  " +
         HostideLine(Hostide, Name, "reg export Software " + ScriptArg(Saved)) + "\n" + Move +
         "  " + HostideLine(Hostide, Name, "reg import " + ScriptArg(Saved)) + "\n" + Again + Kept +
         " (When hostide cannot open the file at all, nothing can be exported: the new hive "
         "starts empty.)";
}

namespace {

class TStandInHive : public TRegistryHive {
public:
  explicit TStandInHive(THiveTrouble Trouble) : FTrouble(std::move(Trouble)) {}

  UnicodeString Location() const override { return UTF8Decode(FTrouble.File); }
  std::vector<TFileIdentity> Files() const override { return {}; }
  bool ReadOnly() const override { return true; }

  void CreateKey(std::u16string_view) override { Refuse(); }
  bool KeyExists(std::u16string_view) override { return false; }
  std::optional<TRegValue> ReadValue(std::u16string_view, std::u16string_view) override {
    return std::nullopt;
  }
  void WriteValue(std::u16string_view, const TRegValue&) override { Refuse(); }
  // What reads as missing is deleted already.
  void DeleteValue(std::u16string_view, std::u16string_view) override {}
  std::vector<UnicodeString> ValueNames(std::u16string_view) override { return {}; }
  std::vector<UnicodeString> SubKeyNames(std::u16string_view) override { return {}; }
  void DeleteKey(std::u16string_view) override {}
  void Apply(const std::vector<TRegChange>& Changes) override {
    for (const TRegChange& C : Changes)
      if (C.Kind == TRegChange::CreateKey || C.Kind == TRegChange::WriteValue)
        Refuse();
  }

private:
  [[noreturn]] void Refuse() const {
    throw ERegistryException(u"Not saved: the registry hive '" + UTF8Decode(FTrouble.File) +
                             u"' could not be opened when this program started, and stays "
                             u"unused until it starts again");
  }

  THiveTrouble FTrouble;
};

} // namespace

std::unique_ptr<TRegistryHive> NewStandInHive(const THiveTrouble& Trouble) {
  return std::make_unique<TStandInHive>(Trouble);
}
