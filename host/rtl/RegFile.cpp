#include "rtl/RegFile.h"

#include "rtl/Exception.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <random>
#include <utility>

namespace {

const char16_t* const Header5 = u"Windows Registry Editor Version 5.00";
const char16_t* const Header4 = u"REGEDIT4";
const char16_t* const RootName = u"HKEY_CURRENT_USER";

UnicodeString Quoted(std::u16string_view S) {
  return u"'" + UnicodeString(S) + u"'";
}

UnicodeString ErrnoText(int Error) {
  return UTF8Decode(std::strerror(Error));
}

// --- export -----------------------------------------------------------------------------------

bool HasLineBreak(std::u16string_view S) {
  return S.find_first_of(u"\r\n") != std::u16string_view::npos;
}

void AppendEscaped(UnicodeString& Out, std::u16string_view S) {
  Out += u'"';
  for (char16_t C : S) {
    if (C == u'\\' || C == u'"')
      Out += u'\\';
    Out += C;
  }
  Out += u'"';
}

// The text of a REG_SZ value when the quoted form carries it exactly: UTF-16LE units ending in
// one NUL, with no other NUL, no line break and no unpaired surrogate.
std::optional<UnicodeString> QuotableText(const TRegValue& V) {
  if (V.Type != REG_SZ || V.Data.size() < 2 || V.Data.size() % 2 != 0)
    return std::nullopt;
  UnicodeString S;
  for (size_t I = 0; I < V.Data.size(); I += 2)
    S.push_back(static_cast<char16_t>(V.Data[I] | (V.Data[I + 1] << 8)));
  if (S.back() != u'\0')
    return std::nullopt;
  S.pop_back();
  if (S.find(u'\0') != UnicodeString::npos || HasLineBreak(S) || !IsWellFormedUTF16(S))
    return std::nullopt;
  return S;
}

UnicodeString Hex(uint32_t N, int Digits) {
  static const char16_t D[] = u"0123456789abcdef";
  UnicodeString S;
  do {
    S.insert(S.begin(), D[N & 0xF]);
    N >>= 4;
  } while (N != 0 || static_cast<int>(S.size()) < Digits);
  return S;
}

void AppendValue(UnicodeString& Out, const TRegValue& V) {
  UnicodeString Line;
  if (V.Name.empty())
    Line = u"@";
  else
    AppendEscaped(Line, V.Name);
  Line += u'=';
  if (auto Text = QuotableText(V)) {
    AppendEscaped(Line, *Text);
    Out += Line + u"\r\n";
    return;
  }
  if (V.Type == REG_DWORD && V.Data.size() == 4) {
    uint32_t N = V.Data[0] | (V.Data[1] << 8) | (V.Data[2] << 16) | (uint32_t(V.Data[3]) << 24);
    Out += Line + u"dword:" + Hex(N, 8) + u"\r\n";
    return;
  }
  Line += V.Type == REG_BINARY ? UnicodeString(u"hex:") : u"hex(" + Hex(V.Type, 1) + u"):";
  // Wrapped as the Windows Registry Editor does, to lines of about 80 characters.
  for (size_t I = 0; I < V.Data.size(); ++I) {
    Line += Hex(V.Data[I], 2);
    if (I + 1 < V.Data.size()) {
      Line += u',';
      if (Line.size() > 76) {
        Out += Line + u"\\\r\n";
        Line = u"  ";
      }
    }
  }
  Out += Line + u"\r\n";
}

// Key and every key below it, each as a section followed by its values, parents before their
// subkeys and subkeys in the hive's order. The keys still to write are kept in a list rather
// than on the call stack, so that a deep tree costs no stack, and each key's path is built once
// from its parent's.
void AppendTree(TRegistryHive& Hive, UnicodeString& Out, const UnicodeString& Key) {
  std::vector<UnicodeString> Pending{Key};
  while (!Pending.empty()) {
    const UnicodeString Path = std::move(Pending.back());
    Pending.pop_back();
    if (HasLineBreak(Path))
      throw ERegistryException(u"Cannot export key " + Quoted(Path) +
                               u": a key name contains a line break");
    Out += u"[" + UnicodeString(RootName) + (Path.empty() ? u"" : u"\\") + Path + u"]\r\n";
    for (const UnicodeString& Name : Hive.ValueNames(Path)) {
      if (HasLineBreak(Name))
        throw ERegistryException(u"Cannot export value " + Quoted(Name) + u" of key " +
                                 Quoted(Path) + u": its name contains a line break");
      std::optional<TRegValue> V = Hive.ReadValue(Path, Name);
      if (V)
        AppendValue(Out, *V);
    }
    Out += u"\r\n";
    const std::vector<UnicodeString> Subs = Hive.SubKeyNames(Path);
    // Pushed last first, so that the first subkey is written next.
    for (auto It = Subs.rbegin(); It != Subs.rend(); ++It)
      Pending.push_back(Path.empty() ? *It : Path + u"\\" + *It);
  }
}

// The key path with each component spelled as stored.
UnicodeString StoredSpelling(TRegistryHive& Hive, std::u16string_view Key) {
  UnicodeString Path;
  for (const UnicodeString& Part : RegistryNames::SplitKeyPath(Key)) {
    UnicodeString Folded = RegistryNames::Fold(Part), Found;
    for (const UnicodeString& Sub : Hive.SubKeyNames(Path))
      if (RegistryNames::Fold(Sub) == Folded) {
        Found = Sub;
        break;
      }
    if (Found.empty())
      throw ERegistryException(u"Cannot export key " + Quoted(Key) + u": it does not exist");
    Path = Path.empty() ? Found : Path + u"\\" + Found;
  }
  return Path;
}

// --- files ------------------------------------------------------------------------------------

// The folder of a file path, as the file's own rename changes it.
std::string FolderOf(const std::string& File) {
  const size_t Slash = File.rfind('/');
  if (Slash == std::string::npos)
    return ".";
  return Slash == 0 ? "/" : File.substr(0, Slash);
}

// 0, or the errno of syncing the folder. File systems that cannot sync a folder say EINVAL:
// there is nothing more to do on those.
int SyncFolder(const std::string& Folder) {
  int Fd = ::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (Fd < 0)
    return errno;
  int Error = ::fsync(Fd) == 0 || errno == EINVAL ? 0 : errno;
  ::close(Fd);
  return Error;
}

// A file of a fresh name beside Target ("Target.partial-XXXXXXXX"), created exclusively: an
// existing file or link of that name is never opened, another name is tried instead. Removed
// again unless released.
class TTempFile {
public:
  explicit TTempFile(std::string Target) : FTarget(std::move(Target)) {}
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;
  ~TTempFile() { Remove(); }

  // False with errno set when no file could be made.
  bool Create() {
    static const char Digits[] = "0123456789abcdef";
    std::random_device Random;
    for (int Attempt = 0; Attempt < 100; ++Attempt) {
      std::string Name = FTarget + ".partial-";
      for (uint32_t Bits = Random(), I = 0; I < 8; ++I, Bits >>= 4)
        Name += Digits[Bits & 0xF];
      FFd = ::open(Name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
      if (FFd >= 0) {
        FName = std::move(Name);
        return true;
      }
      if (errno != EEXIST)
        return false;
    }
    errno = EEXIST;
    return false;
  }
  int Fd() const { return FFd; }
  const std::string& Name() const { return FName; }
  bool Close() {
    const int Fd = std::exchange(FFd, -1);
    return ::close(Fd) == 0;
  }
  // The file is in place under another name: it is no longer this object's to remove.
  void Release() { FName.clear(); }
  void Remove() {
    if (FFd >= 0)
      ::close(std::exchange(FFd, -1));
    if (!FName.empty())
      ::unlink(std::exchange(FName, std::string()).c_str());
  }

private:
  std::string FTarget;
  std::string FName;
  int FFd = -1;
};

const char16_t* KindOfFile(mode_t Mode) {
  if (S_ISDIR(Mode))
    return u"a folder";
  if (S_ISFIFO(Mode))
    return u"a named pipe";
  if (S_ISCHR(Mode))
    return u"a character device";
  if (S_ISBLK(Mode))
    return u"a block device";
  if (S_ISSOCK(Mode))
    return u"a socket";
  return u"not a regular file";
}

[[noreturn]] void RefuseImport(const UnicodeString& FileName, const UnicodeString& Problem) {
  throw ERegistryException(u"Cannot import " + Quoted(FileName) + u": " + Problem);
}

[[noreturn]] void RefuseImport(const UnicodeString& FileName, int Error) {
  RefuseImport(FileName, u"the file cannot be read (" + ErrnoText(Error) + u")");
}

void CheckImportFile(const UnicodeString& FileName, const struct stat& St) {
  if (!S_ISREG(St.st_mode))
    RefuseImport(FileName, UnicodeString(u"it is not a regular file (it is ") +
                               KindOfFile(St.st_mode) + u")");
  if (St.st_size > static_cast<off_t>(MaxRegistryFileSize))
    RefuseImport(FileName, u"the file is too large (" + IntToStr(St.st_size) + u" bytes, at most " +
                               IntToStr(MaxRegistryFileSize) + u")");
}

// The bytes of a .reg file. Only a regular file is read: a device or a pipe may never end or
// may block, so its kind is checked before it is opened and again on what was opened (without
// waiting, whatever it turned out to be).
std::string ReadImportFile(const UnicodeString& FileName) {
  const std::string Path = UTF8Encode(FileName);
  struct stat St;
  if (::stat(Path.c_str(), &St) != 0)
    RefuseImport(FileName, errno);
  CheckImportFile(FileName, St);
  const int Fd = ::open(Path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (Fd < 0)
    RefuseImport(FileName, errno);
  struct TCloser {
    int Fd;
    ~TCloser() { ::close(Fd); }
  } Closer{Fd};
  if (::fstat(Fd, &St) != 0)
    RefuseImport(FileName, errno);
  CheckImportFile(FileName, St);
  std::string Bytes;
  Bytes.reserve(static_cast<size_t>(St.st_size));
  char Buffer[65536];
  while (true) {
    ssize_t N = ::read(Fd, Buffer, sizeof Buffer);
    if (N < 0 && errno == EINTR)
      continue;
    if (N < 0)
      RefuseImport(FileName, errno);
    if (N == 0)
      break;
    // A file growing while it is read still ends at the limit.
    if (Bytes.size() + static_cast<size_t>(N) > MaxRegistryFileSize)
      RefuseImport(FileName, u"the file is too large (more than " + IntToStr(MaxRegistryFileSize) +
                                 u" bytes)");
    Bytes.append(Buffer, static_cast<size_t>(N));
  }
  return Bytes;
}

// --- import -----------------------------------------------------------------------------------

class TParser {
public:
  explicit TParser(std::u16string_view Source) : FSource(Source) {}

  std::vector<TRegChange> Parse(std::string_view Bytes) {
    SplitLines(Decode(Bytes));
    size_t I = 0;
    while (I < FLines.size() && Trim(FLines[I]).empty())
      ++I;
    if (I == FLines.size() || (Trim(FLines[I]) != Header5 && Trim(FLines[I]) != Header4))
      Fail(I < FLines.size() ? I + 1 : 1,
           u"not a registry file (the first line must be \"Windows Registry Editor Version "
           u"5.00\" or \"REGEDIT4\")");
    for (FLine = I + 1; FLine < FLines.size(); ++FLine) {
      std::u16string_view L = TrimLeft(FLines[FLine]);
      if (L.empty() || L[0] == u';')
        continue;
      if (L[0] == u'[')
        ParseKey(TrimRight(L));
      else if (L[0] == u'"' || L[0] == u'@')
        ParseValue(L);
      else
        Fail(u"unrecognised line (expected [key], \"name\"=data, @=data or a ; comment)");
    }
    return std::move(FChanges);
  }

private:
  static bool IsBlank(char16_t C) { return C == u' ' || C == u'\t'; }
  static std::u16string_view TrimLeft(std::u16string_view S) {
    while (!S.empty() && IsBlank(S.front()))
      S.remove_prefix(1);
    return S;
  }
  static std::u16string_view TrimRight(std::u16string_view S) {
    while (!S.empty() && IsBlank(S.back()))
      S.remove_suffix(1);
    return S;
  }
  static std::u16string_view Trim(std::u16string_view S) { return TrimRight(TrimLeft(S)); }

  [[noreturn]] void Fail(size_t Line, const UnicodeString& Problem) const {
    throw ERegistryException(u"Cannot import " + Quoted(FSource) + u", line " + IntToStr(Line) +
                             u": " + Problem);
  }
  [[noreturn]] void Fail(const UnicodeString& Problem) const { Fail(FLine + 1, Problem); }

  // Runs a name check of the hive and reports its complaint against the current line.
  template <typename F> auto Checked(F&& Check) const {
    try {
      return Check();
    } catch (const ERegistryException& E) {
      Fail(E.Message());
    }
  }

  UnicodeString Decode(std::string_view B) {
    auto Utf16 = [&](size_t Start, bool Big) {
      if ((B.size() - Start) % 2 != 0)
        Fail(static_cast<size_t>(std::count(B.begin(), B.end(), '\n')) + 1,
             u"the file ends in the middle of a UTF-16 character");
      UnicodeString S;
      S.reserve((B.size() - Start) / 2);
      for (size_t I = Start; I + 1 < B.size(); I += 2) {
        auto Lo = static_cast<uint8_t>(B[I + (Big ? 1 : 0)]);
        auto Hi = static_cast<uint8_t>(B[I + (Big ? 0 : 1)]);
        S.push_back(static_cast<char16_t>(Lo | (Hi << 8)));
      }
      return S;
    };
    if (B.size() >= 2 && uint8_t(B[0]) == 0xFF && uint8_t(B[1]) == 0xFE)
      return Utf16(2, false);
    if (B.size() >= 2 && uint8_t(B[0]) == 0xFE && uint8_t(B[1]) == 0xFF)
      return Utf16(2, true);
    // UTF-16LE without a byte-order mark starts with an ASCII letter and a zero byte.
    if (B.size() >= 2 && B[0] != 0 && B[1] == 0)
      return Utf16(0, false);
    size_t Start =
        B.size() >= 3 && uint8_t(B[0]) == 0xEF && uint8_t(B[1]) == 0xBB && uint8_t(B[2]) == 0xBF
            ? 3
            : 0;
    UnicodeString S;
    const size_t Bad = TryUTF8Decode(B.substr(Start), S);
    if (Bad != UTFWellFormed)
      Fail(static_cast<size_t>(
               std::count(B.begin(), B.begin() + static_cast<std::ptrdiff_t>(Start + Bad), '\n')) +
               1,
           u"the text is neither UTF-16 nor valid UTF-8");
    return S;
  }

  void SplitLines(const UnicodeString& Text) {
    size_t Start = 0;
    while (Start <= Text.size()) {
      size_t End = Text.find(u'\n', Start);
      if (End == UnicodeString::npos)
        End = Text.size();
      std::u16string_view L(Text.data() + Start, End - Start);
      if (!L.empty() && L.back() == u'\r')
        L.remove_suffix(1);
      FLines.emplace_back(L);
      Start = End + 1;
    }
    // A final line break ends the last line rather than starting an empty one.
    if (FLines.size() > 1 && FLines.back().empty())
      FLines.pop_back();
  }

  void ParseKey(std::u16string_view L) {
    if (L.size() < 2 || L.back() != u']')
      Fail(u"a key line must end with ']'");
    std::u16string_view Inner = L.substr(1, L.size() - 2);
    bool Delete = !Inner.empty() && Inner[0] == u'-';
    if (Delete)
      Inner.remove_prefix(1);
    size_t Slash = Inner.find(u'\\');
    std::u16string_view Root = Inner.substr(0, Slash);
    auto SameAscii = [](std::u16string_view A, std::u16string_view B) {
      if (A.size() != B.size())
        return false;
      for (size_t I = 0; I < A.size(); ++I) {
        char16_t X = A[I], Y = B[I];
        if (X >= u'a' && X <= u'z')
          X = static_cast<char16_t>(X - 32);
        if (Y >= u'a' && Y <= u'z')
          Y = static_cast<char16_t>(Y - 32);
        if (X != Y)
          return false;
      }
      return true;
    };
    if (!SameAscii(Root, RootName) && !SameAscii(Root, u"HKCU"))
      Fail(u"only keys below HKEY_CURRENT_USER can be imported, not " + Quoted(Root));
    UnicodeString Path(Slash == std::u16string_view::npos ? std::u16string_view()
                                                          : Inner.substr(Slash + 1));
    Checked([&] { return RegistryNames::SplitKeyPath(Path); });
    if (Delete && Path.empty())
      Fail(u"the root key HKEY_CURRENT_USER cannot be deleted");
    FChanges.push_back({Delete ? TRegChange::DeleteKey : TRegChange::CreateKey, Path, {}});
    FKey = Path;
    FInKey = true;
    FKeyDeleted = Delete;
  }

  // A quoted string at the start of S; S is left after the closing quote.
  UnicodeString QuotedString(std::u16string_view& S) {
    UnicodeString Out;
    for (size_t I = 1; I < S.size(); ++I) {
      char16_t C = S[I];
      if (C == u'"') {
        S.remove_prefix(I + 1);
        return Out;
      }
      if (C == u'\\') {
        if (I + 1 >= S.size() || (S[I + 1] != u'\\' && S[I + 1] != u'"'))
          Fail(u"unknown escape in a quoted string (only \\\\ and \\\" are allowed)");
        C = S[++I];
      }
      Out += C;
    }
    Fail(u"a quoted string has no closing '\"'");
  }

  // Only blanks or a comment may follow a value.
  void ExpectEnd(std::u16string_view Rest) {
    Rest = TrimLeft(Rest);
    if (!Rest.empty() && Rest[0] != u';')
      Fail(u"unexpected text after the value: " + Quoted(Rest));
  }

  static int HexDigit(char16_t C) {
    if (C >= u'0' && C <= u'9')
      return C - u'0';
    if (C >= u'a' && C <= u'f')
      return C - u'a' + 10;
    if (C >= u'A' && C <= u'F')
      return C - u'A' + 10;
    return -1;
  }
  // A hexadecimal number of 1 to 8 digits.
  uint32_t HexNumber(std::u16string_view S, const char16_t* What) {
    if (S.empty() || S.size() > 8)
      Fail(UnicodeString(u"invalid ") + What + u": " + Quoted(S));
    uint32_t N = 0;
    for (char16_t C : S) {
      int D = HexDigit(C);
      if (D < 0)
        Fail(UnicodeString(u"invalid ") + What + u": " + Quoted(S));
      N = (N << 4) | static_cast<uint32_t>(D);
    }
    return N;
  }

  // Comma-separated bytes, continued on the next lines while a line ends with '\'.
  std::vector<uint8_t> HexBytes(std::u16string_view S) {
    UnicodeString Text;
    while (true) {
      size_t Comment = S.find(u';');
      std::u16string_view Part = Trim(S.substr(0, Comment));
      if (Part.empty() || Part.back() != u'\\') {
        Text += Part;
        break;
      }
      Text += Part.substr(0, Part.size() - 1);
      if (++FLine >= FLines.size())
        Fail(FLine, u"the file ends inside a continued hex value");
      S = FLines[FLine];
    }
    std::vector<uint8_t> Bytes;
    if (Trim(Text).empty())
      return Bytes;
    size_t Start = 0;
    while (true) {
      size_t Comma = Text.find(u',', Start);
      std::u16string_view Item = Trim(std::u16string_view(Text).substr(
          Start, Comma == UnicodeString::npos ? UnicodeString::npos : Comma - Start));
      if (Item.empty() || Item.size() > 2 || HexDigit(Item[0]) < 0 ||
          (Item.size() == 2 && HexDigit(Item[1]) < 0))
        Fail(u"invalid byte in hex data: " + Quoted(Item));
      Bytes.push_back(static_cast<uint8_t>(HexNumber(Item, u"byte")));
      if (Comma == UnicodeString::npos)
        break;
      Start = Comma + 1;
    }
    return Bytes;
  }

  void ParseValue(std::u16string_view L) {
    if (!FInKey)
      Fail(u"a value comes before any [key] line");
    if (FKeyDeleted)
      Fail(u"a value follows the deletion of its key");
    size_t ValueLine = FLine;
    TRegValue V;
    if (L[0] == u'@')
      L.remove_prefix(1);
    else
      V.Name = QuotedString(L);
    Checked([&] {
      RegistryNames::CheckValueName(V.Name);
      return 0;
    });
    L = TrimLeft(L);
    if (L.empty() || L[0] != u'=')
      Fail(u"expected '=' after the value name");
    L = TrimLeft(L.substr(1));
    if (!L.empty() && L[0] == u'-') {
      ExpectEnd(L.substr(1));
      FChanges.push_back({TRegChange::DeleteValue, FKey, std::move(V)});
      return;
    }
    if (!L.empty() && L[0] == u'"') {
      UnicodeString Text = QuotedString(L);
      ExpectEnd(L);
      V = TRegValue::String(std::move(V.Name), Text);
    } else if (L.starts_with(u"dword:")) {
      L.remove_prefix(6);
      size_t End = L.find_first_of(u" \t;");
      uint32_t N = HexNumber(L.substr(0, End), u"dword");
      ExpectEnd(End == std::u16string_view::npos ? std::u16string_view() : L.substr(End));
      V.Type = REG_DWORD;
      V.Data = {uint8_t(N), uint8_t(N >> 8), uint8_t(N >> 16), uint8_t(N >> 24)};
    } else if (L.starts_with(u"hex:")) {
      V.Type = REG_BINARY;
      V.Data = HexBytes(L.substr(4));
    } else if (L.starts_with(u"hex(")) {
      size_t Close = L.find(u"):");
      if (Close == std::u16string_view::npos)
        Fail(u"expected hex(type): before the data");
      V.Type = HexNumber(L.substr(4, Close - 4), u"value type");
      V.Data = HexBytes(L.substr(Close + 2));
    } else {
      Fail(ValueLine + 1, u"unrecognised value data (expected \"text\", dword:, hex:, "
                          u"hex(type): or -)");
    }
    FChanges.push_back({TRegChange::WriteValue, FKey, std::move(V)});
  }

  UnicodeString FSource;
  std::vector<UnicodeString> FLines;
  size_t FLine = 0; // index of the line being read
  std::vector<TRegChange> FChanges;
  UnicodeString FKey;
  bool FInKey = false;
  bool FKeyDeleted = false;
};

} // namespace

std::string ExportRegistryText(TRegistryHive& Hive, std::u16string_view Key) {
  UnicodeString Text = UnicodeString(Header5) + u"\r\n\r\n";
  // All reads see the hive at one moment, whatever other handles change meanwhile.
  Hive.ReadSnapshot([&] { AppendTree(Hive, Text, StoredSpelling(Hive, Key)); });
  std::string Bytes = "\xFF\xFE";
  Bytes.reserve(2 + Text.size() * 2);
  for (char16_t C : Text) {
    Bytes.push_back(static_cast<char>(C & 0xFF));
    Bytes.push_back(static_cast<char>(C >> 8));
  }
  return Bytes;
}

void ExportRegistryFile(TRegistryHive& Hive, std::u16string_view Key,
                        const UnicodeString& FileName) {
  const std::string Target = UTF8Encode(FileName);
  auto Fail = [&](const UnicodeString& Problem) {
    throw ERegistryException(u"Cannot export to " + Quoted(FileName) + u": " + Problem);
  };
  // Writing over one of the hive's own files would replace the hive with text. A name that
  // leads there through a symbolic link is refused too: it is a mistake either way.
  const std::vector<TFileIdentity> HiveFiles = Hive.Files();
  for (auto Stat : {::lstat, ::stat}) {
    struct stat St;
    if (Stat(Target.c_str(), &St) == 0 &&
        std::find(HiveFiles.begin(), HiveFiles.end(),
                  TFileIdentity{static_cast<uint64_t>(St.st_dev),
                                static_cast<uint64_t>(St.st_ino)}) != HiveFiles.end())
      Fail(u"it is a file of the registry hive " + Quoted(Hive.Location()) + u" itself");
  }
  const std::string Bytes = ExportRegistryText(Hive, Key);

  // The new content goes to a file of a fresh name beside the target, created by this call
  // alone (never through a link planted under that name), and replaces the target in one
  // rename once it is complete on disk.
  TTempFile Temp(Target);
  if (!Temp.Create())
    Fail(UnicodeString(u"the file cannot be created (") + ErrnoText(errno) + u")");
  auto Failed = [&](const char16_t* Doing, int Error) {
    Temp.Remove();
    Fail(UnicodeString(Doing) + u" (" + ErrnoText(Error) + u")");
  };
  // Private whatever the umask: settings are the user's own.
  if (::fchmod(Temp.Fd(), 0600) != 0)
    Failed(u"the file cannot be made private", errno);
  size_t Done = 0;
  while (Done < Bytes.size()) {
    ssize_t N = ::write(Temp.Fd(), Bytes.data() + Done, Bytes.size() - Done);
    if (N < 0 && errno == EINTR)
      continue;
    if (N < 0)
      Failed(u"the file cannot be written", errno);
    Done += static_cast<size_t>(N);
  }
  if (::fsync(Temp.Fd()) != 0)
    Failed(u"the file cannot be written", errno);
  if (!Temp.Close())
    Failed(u"the file cannot be written", errno);
  if (std::rename(Temp.Name().c_str(), Target.c_str()) != 0)
    Failed(u"the file cannot be replaced", errno);
  Temp.Release();
  // The rename itself reaches the disk only with the folder.
  if (int Error = SyncFolder(FolderOf(Target)); Error != 0)
    Fail(UnicodeString(u"the file was written, but its folder cannot be synced (") +
         ErrnoText(Error) + u")");
}

std::vector<TRegChange> ParseRegistryText(std::string_view Bytes, std::u16string_view Source) {
  return TParser(Source).Parse(Bytes);
}

void ImportRegistryFile(TRegistryHive& Hive, const UnicodeString& FileName) {
  std::vector<TRegChange> Changes;
  try {
    Changes = ParseRegistryText(ReadImportFile(FileName), FileName);
  } catch (const std::bad_alloc&) {
    throw ERegistryException(u"Cannot import " + Quoted(FileName) +
                             u": there is not enough memory to read it");
  }
  try {
    Hive.Apply(Changes);
  } catch (const ERegistryException& E) {
    throw ERegistryException(u"Cannot import " + Quoted(FileName) + u": " + E.Message());
  } catch (const std::bad_alloc&) {
    throw ERegistryException(u"Cannot import " + Quoted(FileName) +
                             u": there is not enough memory to apply it");
  }
}
