// What a user is told about a hive the add-in cannot use, checked by doing what it says: its
// commands are run by the shell, with the real hostide, on hive files in folders whose names
// need quoting, and the files must end up where the advice says.
#include "HiveTrouble.h"

#include "QtStrings.h"

#include "rtl/Exception.h"
#include "rtl/RegIniFile.h"
#include "rtl/SqliteHive.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdlib>
#include <fstream>

namespace {

const UnicodeString Key = u"Software\\Orvik\\Palette Menu\\Categories";

// The advice's command lines (indented by two blanks), run one after another by the shell.
int RunCommands(const QString& Advice) {
  QStringList Lines;
  for (const QString& Line : Advice.split(QLatin1Char('\n')))
    if (Line.startsWith(QLatin1String("  ")))
      Lines << Line.mid(2);
  if (Lines.isEmpty())
    return -1;
  const QString Script = QDir::temp().filePath(
      QStringLiteral("hive-advice-%1.sh").arg(QCoreApplication::applicationPid()));
  QFile F(Script);
  if (!F.open(QIODevice::WriteOnly))
    return -1;
  F.write(("set -e\n" + Lines.join(QLatin1Char('\n')) + "\n").toUtf8());
  F.close();
  const int Status = std::system(("/bin/sh " + Script + " >/dev/null 2>&1").toUtf8().constData());
  QFile::remove(Script);
  return Status;
}

// The one folder the advice moved the file into.
QString AsideOf(const QString& File) {
  const QFileInfo Info(File);
  const QStringList Found =
      QDir(Info.absolutePath())
          .entryList({QStringLiteral("aside-*")}, QDir::Dirs | QDir::NoDotAndDotDot);
  return Found.size() == 1 ? Info.absolutePath() + QLatin1Char('/') + Found[0] : QString();
}

struct HiveTroubleTest : ::testing::Test {
  QTemporaryDir Dir;
  QString Folder;
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    // A folder name with a blank and both quotes, as a user's may have.
    Folder = Dir.filePath(QStringLiteral("my \"odd\" user's config"));
    ASSERT_TRUE(QDir().mkpath(Folder));
  }
};

} // namespace

TEST_F(HiveTroubleTest, ASoundHiveIsNoTrouble) {
  const QString File = Folder + QStringLiteral("/HKCU.db");
  TCurrentUserHiveFileScope Hive(FromQString(File));
  EXPECT_FALSE(CheckCurrentUserHive());
}

// A hive that could not be opened (locked too long, say) but that hostide reads: the advice's
// commands keep its values in a .reg file, move it and its journal aside, and bring the values
// into a new hive at the same place.
TEST_F(HiveTroubleTest, TheCommandsExportWhatCanBeReadMoveTheFileAsideAndImportIt) {
  const QString File = Folder + QStringLiteral("/HKCU.db");
  {
    auto Sound = OpenSqliteHive(FromQString(File));
    Sound->WriteValue(Key, TRegValue::String(u"Buttons", u"Mine;Yours"));
  }
  TCurrentUserHiveFileScope Path(FromQString(File));
  TCurrentUserHiveScope Failing([&]() -> std::unique_ptr<TRegistryHive> {
    throw ERegistryException(u"Cannot open the registry hive '" + FromQString(File) +
                             u"': it stayed locked");
  });
  const std::optional<THiveTrouble> Trouble = CheckCurrentUserHive();
  ASSERT_TRUE(Trouble);
  EXPECT_EQ(Trouble->File, File.toStdString());
  const QString Advice = QString::fromStdString(HiveAdvice(*Trouble, "Designer", OV_HOSTIDE));
  EXPECT_TRUE(Advice.contains(QStringLiteral("it stayed locked"))) << Advice.toStdString();
  EXPECT_TRUE(Advice.contains(QStringLiteral("start Designer again"))) << Advice.toStdString();

  ASSERT_EQ(RunCommands(Advice), 0) << Advice.toStdString();
  const QString Aside = AsideOf(File);
  ASSERT_FALSE(Aside.isEmpty()) << Advice.toStdString();
  EXPECT_TRUE(QFile::exists(Aside + QStringLiteral("/HKCU.db")));
  EXPECT_TRUE(QFile::exists(Aside + QStringLiteral("/hive.reg")));
  auto Moved = OpenSqliteHive(FromQString(Aside + QStringLiteral("/HKCU.db")));
  EXPECT_EQ(Moved->ReadValue(Key, u"Buttons")->AsString(), u"Mine;Yours");
  auto New = OpenSqliteHive(FromQString(File));
  ASSERT_TRUE(New->ReadValue(Key, u"Buttons"));
  EXPECT_EQ(New->ReadValue(Key, u"Buttons")->AsString(), u"Mine;Yours");
}

TEST_F(HiveTroubleTest, AFileThatIsNoHiveIsMovedAsideAsItIs) {
  const QString File = Folder + QStringLiteral("/HKCU.db");
  std::ofstream(File.toStdString()) << "a note, not a hive\n";
  TCurrentUserHiveFileScope Hive(FromQString(File));
  const std::optional<THiveTrouble> Trouble = CheckCurrentUserHive();
  ASSERT_TRUE(Trouble);
  EXPECT_TRUE(ToQString(Trouble->Failure).contains(File));
  const QString Advice = QString::fromStdString(HiveAdvice(*Trouble, "Qt Creator", OV_HOSTIDE));
  EXPECT_TRUE(Advice.contains(QStringLiteral("not a registry hive"))) << Advice.toStdString();
  EXPECT_FALSE(Advice.contains(QStringLiteral("reg export"))) << Advice.toStdString();

  ASSERT_EQ(RunCommands(Advice), 0) << Advice.toStdString();
  EXPECT_FALSE(QFile::exists(File));
  std::ifstream In((AsideOf(File) + QStringLiteral("/HKCU.db")).toStdString());
  std::string Line;
  std::getline(In, Line);
  EXPECT_EQ(Line, "a note, not a hive");
}

// A hive whose pages are damaged: the advice offers the export, and the file is never changed by
// looking at it.
TEST_F(HiveTroubleTest, ADamagedHiveIsLeftAsItIsAndTheExportIsOffered) {
  const QString File = Folder + QStringLiteral("/HKCU.db");
  {
    auto Sound = OpenSqliteHive(FromQString(File));
    for (int I = 0; I < 200; ++I)
      Sound->WriteValue(Key, TRegValue::String(u"Tab " + UTF8Decode(std::to_string(I)), u"X"));
  }
  QFile F(File);
  ASSERT_TRUE(F.open(QIODevice::ReadWrite));
  F.seek(F.size() - 200);
  F.write(QByteArray(64, '\xff'));
  F.close();
  ASSERT_TRUE(F.open(QIODevice::ReadOnly));
  const QByteArray Before = F.readAll();
  F.close();

  TCurrentUserHiveFileScope Hive(FromQString(File));
  const std::optional<THiveTrouble> Trouble = CheckCurrentUserHive();
  ASSERT_TRUE(Trouble);
  const QString Advice = QString::fromStdString(HiveAdvice(*Trouble, "Designer", OV_HOSTIDE));
  EXPECT_TRUE(Advice.contains(QStringLiteral("reg export Software"))) << Advice.toStdString();
  EXPECT_TRUE(Advice.contains(QStringLiteral("left as it is"))) << Advice.toStdString();
  ASSERT_TRUE(F.open(QIODevice::ReadOnly));
  EXPECT_EQ(F.readAll(), Before);
}

// The store the add-in gets meanwhile: empty, deletions taken as done, writes refused by name.
TEST_F(HiveTroubleTest, TheStandInStoreReadsEmptyAndRefusesWrites) {
  const THiveTrouble Trouble{"/somewhere/HKCU.db", u"damaged"};
  TRegIniFile Store(u"Software\\Orvik\\Palette Menu", NewStandInHive(Trouble));
  EXPECT_EQ(Store.ReadString(u"Categories", u"Buttons", u"none"), u"none");
  Store.DeleteKey(u"Categories", u"Buttons");
  try {
    Store.WriteString(u"Categories", u"Buttons", u"Mine");
    FAIL() << "a write was taken";
  } catch (const ERegistryException& E) {
    EXPECT_TRUE(ToQString(E.Message()).contains(QStringLiteral("/somewhere/HKCU.db")));
  }
  Store.BeginUpdate();
  Store.WriteString(u"Categories", u"Buttons", u"Mine");
  EXPECT_THROW(Store.EndUpdate(), ERegistryException);
}
