// A separate process on a hive file, for the tests that need more than one process:
//   hive_worker touch FILE                  opens the hive and closes it again
//   hive_worker read FILE KEY NAME          prints the string value
//   hive_worker set FILE KEY NAME DATA      writes the string value; prints "set" once it returned
//   hive_worker dump FILE                   prints every string value as KEY\NAME=DATA lines
//   hive_worker write FILE KEY MS           writes N<i> = <i> for i = 1, 2, ... into KEY for MS
//                                           milliseconds; prints i once WriteString returned
//   hive_worker readloop FILE KEY MS        reads the values of KEY over and over for MS ms
//   hive_worker relay FILE KEY OTHER MS     for MS ms, writes a counter into KEY through one
//                                           handle and reads it and OTHER's through another;
//                                           prints "WRITES FOLLOWED" (commits the reader
//                                           followed)
// Failures go to stderr, and to stdout after "error: ", with exit code 1.
#include "rtl/Exception.h"
#include "rtl/RegIniFile.h"
#include "rtl/SqliteHive.h"
#include "rtl/SqliteHiveHooks.h"
#include "rtl/StringList.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

// Writes the whole line with one call, so that a reader of the pipe never sees half of it.
void Say(const std::string& Line) {
  std::string L = Line + "\n";
  size_t Done = 0;
  while (Done < L.size()) {
    ssize_t N = ::write(1, L.data() + Done, L.size() - Done);
    if (N <= 0)
      std::exit(1);
    Done += static_cast<size_t>(N);
  }
}

void Dump(TRegistryHive& Hive, const UnicodeString& Key) {
  for (const UnicodeString& Name : Hive.ValueNames(Key)) {
    std::optional<TRegValue> V = Hive.ReadValue(Key, Name);
    Say(UTF8Encode(Key + u"\\" + Name + u"=" + (V && V->IsString() ? V->AsString() : u"?")));
  }
  for (const UnicodeString& Sub : Hive.SubKeyNames(Key))
    Dump(Hive, Key.empty() ? Sub : Key + u"\\" + Sub);
}

Clock::time_point Until(const char* Ms) {
  return Clock::now() + std::chrono::milliseconds(std::atoll(Ms));
}

int Run(int Argc, char** Argv) {
  const std::string Verb = Argc > 2 ? Argv[1] : "";
  const UnicodeString File = Argc > 2 ? UTF8Decode(Argv[2]) : UnicodeString();
  if (Verb == "touch" && Argc == 3) {
    OpenSqliteHive(File);
  } else if (Verb == "read" && Argc == 5) {
    std::optional<TRegValue> V =
        OpenSqliteHive(File)->ReadValue(UTF8Decode(Argv[3]), UTF8Decode(Argv[4]));
    Say(V ? UTF8Encode(V->AsString()) : "(none)");
  } else if (Verb == "set" && Argc == 6) {
    OpenSqliteHive(File)->WriteValue(UTF8Decode(Argv[3]),
                                     TRegValue::String(UTF8Decode(Argv[4]), UTF8Decode(Argv[5])));
    Say("set");
  } else if (Verb == "dump" && Argc == 3) {
    Dump(*OpenSqliteHive(File), u"");
  } else if (Verb == "write" && Argc == 5) {
    TRegIniFile Reg(UTF8Decode(Argv[3]), OpenSqliteHive(File));
    auto End = Until(Argv[4]);
    for (long long I = 1; Clock::now() < End; ++I) {
      Reg.WriteString(u"", u"N" + IntToStr(I), IntToStr(I));
      Say(std::to_string(I));
    }
  } else if (Verb == "readloop" && Argc == 5) {
    TRegIniFile Reg(UTF8Decode(Argv[3]), OpenSqliteHive(File));
    auto End = Until(Argv[4]);
    long long Reads = 0;
    while (Clock::now() < End) {
      TStringList Names;
      Reg.ReadSection(u"", &Names);
      for (int I = 0; I < Names.Count(); ++I, ++Reads)
        if (Reg.ReadString(u"", Names[I], u"?") != Names[I].substr(1))
          throw ERegistryException(u"value " + Names[I] + u" has the wrong data");
    }
    Say(std::to_string(Reads));
  } else if (Verb == "relay" && Argc == 6) {
    // Two handles of this process: one writes the counter of KEY, the other reads it back at
    // once (it must be the value just written) and the counter of OTHER that another process
    // writes (it must never go back).
    auto Writer = OpenSqliteHive(File), Reader = OpenSqliteHive(File);
    const UnicodeString Key = UTF8Decode(Argv[3]), Other = UTF8Decode(Argv[4]);
    auto Counter = [&](const UnicodeString& Of) -> long long {
      std::optional<TRegValue> V = Reader->ReadValue(Of, u"N");
      return V ? std::atoll(UTF8Encode(V->AsString()).c_str()) : 0;
    };
    auto End = Until(Argv[5]);
    long long I = 0, Seen = 0;
    while (Clock::now() < End) {
      Writer->WriteValue(Key, TRegValue::String(u"N", IntToStr(++I)));
      if (long long Read = Counter(Key); Read != I)
        throw ERegistryException(u"read " + IntToStr(Read) + u" after writing " + IntToStr(I));
      const long long Now = Counter(Other);
      if (Now < Seen)
        throw ERegistryException(u"the other counter went back from " + IntToStr(Seen) + u" to " +
                                 IntToStr(Now));
      Seen = Now;
    }
    Say(std::to_string(I) + " " + std::to_string(SqliteHiveCommitsFollowed(*Reader)));
  } else {
    std::cerr << "usage: hive_worker touch|read|set|dump|write|readloop|relay FILE ...\n";
    return 2;
  }
  return 0;
}

} // namespace

int main(int Argc, char** Argv) {
  try {
    return Run(Argc, Argv);
  } catch (const Exception& E) {
    // On both outputs: the test reads the standard output, a person the error output.
    Say("error: " + UTF8Encode(E.Message()));
    std::cerr << UTF8Encode(E.Message()) << '\n';
    return 1;
  }
}
