#include "HiveTrouble.h"

#include "OvQtStrings.h"

#include "rtl/Exception.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
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
QString Shell(const QString& Word) {
  static const QRegularExpression Plain(QStringLiteral("^[A-Za-z0-9_./:@%+=,-]+$"));
  if (Plain.match(Word).hasMatch())
    return Word;
  QString Quoted = Word;
  Quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
  return QLatin1Char('\'') + Quoted + QLatin1Char('\'');
}

// An argument of a hostide script line: in double quotes, a '"' doubled.
QString ScriptArg(const QString& Text) {
  QString Quoted = Text;
  Quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
  return QLatin1Char('"') + Quoted + QLatin1Char('"');
}

// The shell command that runs one script line in hostide on the hive File.
QString HostideLine(const QString& Hostide, const QString& File, const QString& Line) {
  return QStringLiteral("printf '%s\\n' %1 | %2 --no-package --registry %3 --script /dev/stdin")
      .arg(Shell(Line), Shell(Hostide), Shell(File));
}

bool IsSqliteFile(const std::string& File) {
  static const char Magic[] = "SQLite format 3"; // and its NUL: the first 16 bytes of the file
  char Head[sizeof Magic] = {};
  std::ifstream In(File, std::ios::binary);
  return In.read(Head, sizeof Head) && std::equal(Head, Head + sizeof Head, Magic);
}

} // namespace

QString HiveAdvice(const THiveTrouble& Trouble, const QString& Host, const QString& Hostide) {
  const QString File = QString::fromStdString(Trouble.File);
  const QFileInfo Info(File);
  QString Text =
      QStringLiteral("The Orvik Palette Menu cannot use its registry hive:\n%1\n\n"
                     "The file is left as it is. Until %2 starts again, the Palette menus list "
                     "every tab under \"Other\", and \"Edit Categories...\" cannot save.\n\n")
          .arg(ToQString(Trouble.Failure), Host);
  const QString Again = QStringLiteral("then start %1 again.").arg(Host);
  if (!Info.exists() || !Info.isFile())
    return Text + QStringLiteral("Once the problem named above is put right, ") + Again;
  if (access(Trouble.File.c_str(), R_OK | W_OK) != 0)
    return Text +
           QStringLiteral("You may not read or change it. To use it again, run\n"
                          "  chmod u+rw %1\n"
                          "(as its owner, or with sudo), ")
               .arg(Shell(File)) +
           Again;
  // The commands work in the hive's folder, on names relative to it; the file is moved into a
  // folder beside it named after this moment.
  const QString Name = Info.fileName();
  const QString Aside =
      QDateTime::currentDateTime().toString(QStringLiteral("'aside-'yyyyMMdd-HHmmss"));
  QStringList Files{Shell(Name)};
  for (const char* Journal : {"-wal", "-shm"})
    if (QFileInfo::exists(File + QLatin1String(Journal)))
      Files << Shell(Name + QLatin1String(Journal));
  const QString Enter =
      QStringLiteral("  cd %1\n  mkdir -m 700 %2\n").arg(Shell(Info.absolutePath()), Shell(Aside));
  const QString Move =
      QStringLiteral("  mv %1 %2/\n").arg(Files.join(QLatin1Char(' ')), Shell(Aside));
  const QString Kept = QStringLiteral(" The old file stays in %1.")
                           .arg(Info.absolutePath() + QLatin1Char('/') + Aside);
  if (!IsSqliteFile(Trouble.File))
    return Text +
           QStringLiteral("It is not a registry hive. To start a new one, move it out of "
                          "the way:\n") +
           Enter + Move + Again + Kept;
  // Damaged, or another program's database: what hostide can still read goes into a .reg file
  // before the file is moved away, and into the new hive after.
  const QString Saved = Aside + QStringLiteral("/hive.reg");
  return Text + QStringLiteral("To keep what can still be read and start a new hive, run\n") +
         Enter +
         QStringLiteral("  %1\n").arg(HostideLine(
             Hostide, Name, QStringLiteral("reg export Software ") + ScriptArg(Saved))) +
         Move +
         QStringLiteral("  %1\n").arg(
             HostideLine(Hostide, Name, QStringLiteral("reg import ") + ScriptArg(Saved))) +
         Again + Kept +
         QStringLiteral(" (When hostide cannot open the file at all, nothing can be exported: "
                        "the new hive starts empty.)");
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
