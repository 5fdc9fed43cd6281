#include "rtl/RegIniFile.h"

#include "rtl/Assert.h"
#include "rtl/Exception.h"
#include "rtl/StringList.h"
#include "rtl/TypInfo.h"

#include <cstring>

const TClassInfo& TRegIniFile::StaticClass() {
  static const TClassInfo Info(u"TRegIniFile", &TObject::StaticClass());
  return Info;
}
HOST_CLASS_TYPE(TRegIniFile)

TRegIniFile::TRegIniFile(const UnicodeString& FileName)
    : TRegIniFile(FileName, OpenCurrentUserHive()) {}

TRegIniFile::TRegIniFile(const UnicodeString& FileName, std::unique_ptr<TRegistryHive> Hive)
    : FFileName(FileName), FHive(std::move(Hive)) {
  if (!FHive)
    throw ERegistryException(u"No registry hive to open '" + FileName + u"' in");
  // A read-only hive is read as it is: a missing key reads as empty.
  if (!FHive->ReadOnly())
    FHive->CreateKey(FFileName);
}

TRegIniFile::~TRegIniFile() {
  // A destructor cannot report: the changes are made as far as they go.
  try {
    ApplyPending();
  } catch (...) {
  }
}

void TRegIniFile::BeginUpdate() {
  ++FUpdateDepth;
}

void TRegIniFile::EndUpdate() {
  if (FUpdateDepth == 0)
    return;
  if (--FUpdateDepth == 0)
    ApplyPending();
}

void TRegIniFile::ApplyPending() {
  if (FPending.empty())
    return;
  std::vector<TRegChange> Changes;
  Changes.swap(FPending);
  try {
    FHive->Apply(Changes);
    return;
  } catch (const Exception&) {
    // The transaction changed nothing (or the hive cannot make one): each change on its own,
    // so that the outcome and the failure are those of the changes made one by one. Making a
    // change again that did reach the hive changes nothing.
  }
  for (const TRegChange& C : Changes) {
    if (C.Kind == TRegChange::WriteValue)
      FHive->WriteValue(C.Path, C.Value);
    else if (C.Kind == TRegChange::DeleteValue)
      FHive->DeleteValue(C.Path, C.Value.Name);
  }
}

UnicodeString TRegIniFile::SectionPath(const UnicodeString& Section) const {
  if (Section.empty())
    return FFileName;
  if (FFileName.empty())
    return Section;
  return FFileName + u"\\" + Section;
}

const UnicodeString& TRegIniFile::SectionPathBuffer(const UnicodeString& Section) {
  // Kept between calls so that a read of a value in a hive's cache allocates nothing here, and
  // made again only for another section (reads come mostly in runs on one).
  if (FPathBufferValid && Section.size() == FPathSection.size() &&
      std::memcmp(Section.data(), FPathSection.data(), Section.size() * sizeof(char16_t)) == 0)
    return FPathBuffer;
  FPathBufferValid = false;
  FPathSection = Section;
  FPathBuffer.clear();
  if (!FFileName.empty())
    FPathBuffer.append(FFileName);
  if (!FFileName.empty() && !Section.empty())
    FPathBuffer.push_back(u'\\');
  FPathBuffer.append(Section);
  FPathBufferValid = true;
  return FPathBuffer;
}

UnicodeString TRegIniFile::ReadString(const UnicodeString& Section, const UnicodeString& Ident,
                                      const UnicodeString& Default) {
  ApplyPending();
  struct TRead {
    UnicodeString Text;
    uint32_t Type = REG_NONE;
    bool IsString = false;
  } Read;
  // One reference captured, so that the callback needs no storage of its own.
  const bool Found =
      FHive->VisitValue(SectionPathBuffer(Section), Ident, [R = &Read](const TRegValue& V) {
        R->Type = V.Type;
        R->IsString = V.IsString();
        if (R->IsString)
          R->Text = V.AsString();
      });
  if (!Found)
    return Default;
  if (!Read.IsString)
    throw ERegistryException(u"Invalid data type for value '" + Ident + u"' of key '" +
                             SectionPath(Section) + u"' in the registry hive '" +
                             FHive->Location() + u"': not a string value (type " +
                             IntToStr(Read.Type) + u")");
  return std::move(Read.Text);
}

void TRegIniFile::WriteString(const UnicodeString& Section, const UnicodeString& Ident,
                              const UnicodeString& Value) {
  if (FUpdateDepth > 0) {
    FPending.push_back(
        {TRegChange::WriteValue, SectionPath(Section), TRegValue::String(Ident, Value)});
    return;
  }
  HOST_ASSERT(FPending.empty(), "changes are held only inside an update");
  FHive->WriteValue(SectionPath(Section), TRegValue::String(Ident, Value));
}

void TRegIniFile::DeleteKey(const UnicodeString& Section, const UnicodeString& Ident) {
  if (FUpdateDepth > 0) {
    TRegValue Name;
    Name.Name = Ident;
    FPending.push_back({TRegChange::DeleteValue, SectionPath(Section), std::move(Name)});
    return;
  }
  HOST_ASSERT(FPending.empty(), "changes are held only inside an update");
  FHive->DeleteValue(SectionPath(Section), Ident);
}

void TRegIniFile::ReadSection(const UnicodeString& Section, TStrings* Strings) {
  if (!Strings)
    return;
  ApplyPending();
  Strings->Clear();
  for (const UnicodeString& Name : FHive->ValueNames(SectionPath(Section)))
    Strings->Add(Name);
}

void TRegIniFile::FlushKey() {
  ApplyPending();
  FHive->Flush();
}

void TRegIniFile::EraseSection(const UnicodeString& Section) {
  ApplyPending();
  FHive->DeleteKey(SectionPath(Section));
}
