// A driver for instruction counts (valgrind --tool=callgrind) of what one opening costs, apart
// from setting the IDE up: the IDE of Tabs tabs (three stored categories each, as menus_bench
// and editor_bench have it) opens the main menu's "P&alette" entry once untimed, then Count times
// through ProfiledOpenings, which callgrind can be told to count alone:
//   valgrind --tool=callgrind --toggle-collect='bench::ProfiledOpenings*'
//            build/default/bin/profile_open main 5000 1
// The previous items of an opening are released when the IDE is next idle: between openings
// the queued calls run, uncounted, as the IDE's idle point runs them; "idle" counts that
// release alone (what runs at the idle point after each later opening).
// What: "main" (a later opening of the entry), "idle" (the idle-time release after a later
// opening), "first" (an opening after another handle wrote a
// value), "dialog" (the categories dialog opened and cancelled), "readafter" (one ReadString
// right after another handle wrote; count it with --toggle-collect='bench::ProfiledStep*'),
// "readother" (the same after a connection that is not a handle wrote, as another process),
// "floor" (menus_bench's floor of an opening: the items unowned and the reads alone), "grid"
// (editor_bench's floor of the dialog: a grid alone with the same rows).
#include "BenchIde.h"

#include "rtl/SqliteHiveHooks.h"
#include "rtl/Threads.h"
#include "vcl/Forms.h"
#include "vcl/Grids.h"
#include "vcl/Menus.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace bench {

// Not inlined, so that callgrind's --toggle-collect finds it.
[[gnu::noinline]] void ProfiledOpenings(const std::function<void()>& Open, int Count) {
  for (int I = 0; I < Count; ++I)
    Open();
}

// One step inside an untimed loop, for the same purpose.
[[gnu::noinline]] void ProfiledStep(const std::function<void()>& Step) {
  Step();
}

} // namespace bench

namespace {

int Run(const std::string& What, int Tabs, int Count) {
  using namespace bench;
  if (What == "readafter") {
    TRegIniFile Reader(u"Software\\Orvik\\Palette Menu"), Writer(u"Software\\Orvik\\Palette Menu");
    for (int I = 0; I < 50; ++I)
      Writer.WriteString(u"Categories", u"Tab " + IntToStr(I), u"Common;VCL;Data Access");
    Reader.ReadString(u"Categories", u"Tab 7", u"");
    for (int I = 0; I < Count; ++I) {
      Writer.WriteString(u"Categories", u"Tab 7", IntToStr(I));
      UnicodeString Read;
      ProfiledStep([&] { Read = Reader.ReadString(u"Categories", u"Tab 7", u""); });
      if (Read != IntToStr(I))
        return 1;
    }
    return 0;
  }
  if (What == "readother") {
    // The same after a connection that is not a handle of the process (as another process's)
    // changed the value.
    TRegIniFile Reader(u"Software\\Orvik\\Palette Menu");
    for (int I = 0; I < 50; ++I)
      Reader.WriteString(u"Categories", u"Tab " + IntToStr(I), u"Common;VCL;Data Access");
    Reader.ReadString(u"Categories", u"Tab 7", u"");
    sqlite3* Db = nullptr;
    if (sqlite3_open_v2(UTF8Encode(Reader.Hive().Location()).c_str(), &Db, SQLITE_OPEN_READWRITE,
                        SqliteHiveVfsName()) != SQLITE_OK)
      return 1;
    sqlite3_stmt* S = nullptr;
    sqlite3_prepare_v2(Db, "UPDATE reg_values SET data = ?1 WHERE folded = 'tab 7'", -1, &S,
                       nullptr);
    int Result = 0;
    for (int I = 0; I < Count && Result == 0; ++I) {
      const char16_t Text[2] = {static_cast<char16_t>(u'0' + I % 10), 0};
      sqlite3_bind_blob(S, 1, Text, sizeof Text, SQLITE_TRANSIENT);
      sqlite3_step(S);
      sqlite3_reset(S);
      UnicodeString Read;
      ProfiledStep([&] { Read = Reader.ReadString(u"Categories", u"Tab 7", u""); });
      if (Read != IntToStr(I % 10))
        Result = 1;
    }
    sqlite3_finalize(S);
    sqlite3_close(Db);
    return Result;
  }
  TBenchIde Ide(TPaletteShape{Tabs, 3, 200});
  Ide.OpenMain();
  CheckSynchronize();
  if (What == "main") {
    for (int I = 0; I < Count; ++I) {
      ProfiledOpenings([&] { Ide.OpenMain(); }, 1);
      CheckSynchronize(); // the IDE's idle point, uncounted
    }
    return 0;
  }
  if (What == "idle") {
    for (int I = 0; I < Count; ++I) {
      Ide.OpenMain();
      ProfiledStep([] { CheckSynchronize(); });
    }
    return 0;
  }
  if (What == "first") {
    TRegIniFile Elsewhere(u"Software\\Orvik\\Palette Menu");
    int Change = 0;
    ProfiledOpenings(
        [&] {
          CheckSynchronize(); // the previous opening's idle point
          Elsewhere.WriteString(u"Categories", u"Changed elsewhere", IntToStr(++Change));
          Ide.OpenMain();
        },
        Count);
    return 0;
  }
  if (What == "floor") {
    // menus_bench's floor of an opening: as many items, unowned, with the same captions (then
    // released, uncounted), and the same reads through a handle of its own.
    std::vector<UnicodeString> Captions;
    CollectCaptions(Ide.PaletteEntry(), Captions);
    TRegIniFile Reads(u"Software\\Orvik\\Palette Menu");
    for (const UnicodeString& Key : Ide.TabKeys())
      Reads.ReadString(u"Categories", Key, u"");
    std::vector<TMenuItem*> Items;
    for (int I = 0; I < Count; ++I) {
      ProfiledOpenings(
          [&] {
            for (const UnicodeString& Caption : Captions) {
              auto* Item = new TMenuItem(nullptr);
              Item->SetCaption(Caption);
              Items.push_back(Item);
            }
            for (const UnicodeString& Key : Ide.TabKeys())
              Reads.ReadString(u"Categories", Key, u"");
          },
          1);
      for (TMenuItem* Item : Items)
        Free(Item);
      Items.clear();
    }
    return 0;
  }
  if (What == "grid") {
    // editor_bench's floor of the dialog: a grid alone, filled with the same rows, released.
    ProfiledOpenings([&] { FillGridAlone(Ide); }, Count);
    return 0;
  }
  if (What == "dialog") {
    TMenuItem* Edit = Ide.PaletteEntry()->Find(u"Edit Categories...");
    if (!Edit)
      return 1;
    TModalRunnerScope Runner([](TCustomForm&) { return static_cast<int>(mrCancel); });
    ProfiledOpenings([&] { Edit->Click(); }, Count);
    return 0;
  }
  std::fprintf(stderr, "profile_open: what is one of main, idle, first, dialog, grid, readafter, "
                       "readother, floor\n");
  return 2;
}

} // namespace

int main(int Argc, char** Argv) {
  if (Argc != 4) {
    std::fprintf(stderr,
                 "usage: profile_open main|idle|first|dialog|grid|readafter|floor TABS COUNT\n");
    return 2;
  }
  bench::TTempHiveFolder Folder;
  return Run(Argv[1], std::atoi(Argv[2]), std::atoi(Argv[3]));
}
