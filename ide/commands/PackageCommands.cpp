// Packages and the IDE's test aids: packages, load, unload, ide.
#include "Commands_p.h"

#include "rtl/PackageInfo.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <ostream>

using namespace commands;

namespace {

void CmdPackages(TCommandInterpreter& I, const TCommandLine& L) {
  const std::vector<std::string> Args = SplitArguments(L.Rest);
  if (Args.size() > 1)
    Usage("packages [NAME]");
  std::ostream& Out = I.Out();
  if (Args.empty()) {
    // A registered package as file, description and version, its wizards below it; any other
    // adds its state and the last failure.
    for (const auto& P : I.Ide().Packages().Packages()) {
      Out << P->FileName << "  " << Quote(U8(P->Description)) << "  " << U8(P->Version);
      if (P->State != TPackageState::Registered)
        Out << "  " << PackageStateName(P->State);
      if (!P->LastError.empty())
        Out << ": " << U8(P->LastError);
      Out << '\n';
      for (const TPackageWizard& W : P->Wizards)
        Out << "  " << Quote(U8(W.IDString)) << "  " << Quote(U8(W.Name)) << '\n';
    }
    return;
  }
  // One package in detail: what its package unit declares.
  const TPackageRecord& P = I.Ide().Packages().Find(Args[0]);
  const TPackageInfo& Info = *P.Info;
  auto List = [](auto Items, auto Name) {
    std::string S;
    for (const auto& Item : Items)
      S += (S.empty() ? "" : ", ") + U8(Name(Item));
    return S;
  };
  char Language[8];
  std::snprintf(Language, sizeof Language, "%04X", static_cast<unsigned>(Info.Version.LanguageId));
  Out << P.FileName << '\n'
      << "  name: " << U8(P.Name) << '\n'
      << "  description: " << Quote(U8(P.Description)) << '\n'
      << "  kind: "
      << ((Info.Flags & pfDesignOnly) ? "design-time only" : "design-time and runtime")
      << ((Info.Flags & pfNeverBuild) ? ", never built implicitly" : "") << '\n'
      << "  requires: " << List(Info.Requires, [](const char16_t* R) { return R; }) << '\n'
      << "  contains: " << List(Info.Contains, [](const TPackageUnitInfo& U) { return U.Name; })
      << '\n'
      << "  file version: " << U8(Info.Version.FileVersion) << '\n'
      << "  product version: " << U8(Info.Version.ProductVersion) << '\n'
      << "  file description: " << Quote(U8(Info.Version.FileDescription)) << '\n'
      << "  product name: " << Quote(U8(Info.Version.ProductName)) << '\n'
      << "  language: " << Language << ", code page " << Info.Version.CodePage << '\n';
  for (const TPackageWizard& W : P.Wizards)
    Out << "  wizard: " << Quote(U8(W.IDString)) << "  " << Quote(U8(W.Name)) << '\n';
}

void CmdLoad(TCommandInterpreter& I, const TCommandLine& L) {
  const std::vector<std::string> Args = SplitArguments(L.Rest);
  if (Args.size() != 1)
    Usage("load FILE");
  I.Ide().Packages().Load(Args[0]);
}

void CmdUnload(TCommandInterpreter& I, const TCommandLine& L) {
  const std::vector<std::string> Args = SplitArguments(L.Rest);
  if (Args.size() != 1)
    Usage("unload NAME");
  I.Ide().Packages().Unload(Args[0]);
}

void CmdIde(TCommandInterpreter& I, const TCommandLine& L) {
  const std::vector<std::string> Args = SplitArguments(L.Rest);
  if (Args.size() == 2 && Args[0] == "break")
    I.Faults().Break(Args[1]);
  else if (Args.size() == 1 && Args[0] == "repair")
    I.Faults().Repair();
  else
    Usage("ide break PIECE | ide repair");
}

// --- completion ---------------------------------------------------------------------------------

// The registered packages, by file name without its suffix, as unload and packages name them.
std::vector<TArgumentChoice> RegisteredChoices(const TCommandInterpreter& I,
                                               const TPartialArguments& Args) {
  std::vector<std::string> Names;
  if (Args.Done.empty())
    for (const auto& P : I.Ide().Packages().Packages())
      if (P->State == TPackageState::Registered)
        Names.push_back(std::filesystem::path(P->FileName).stem().string());
  return WordChoices(Names);
}

// load FILE: files from the current folder, and the packages beside the IDE, which load finds
// by their names alone.
std::vector<TArgumentChoice> LoadChoices(const TCommandInterpreter&,
                                         const TPartialArguments& Args) {
  if (!Args.Done.empty())
    return {};
  std::vector<TArgumentChoice> Choices = FileChoices(Args.Typed);
  if (Args.Typed.find('/') != std::string::npos)
    return Choices;
  std::error_code Error;
  std::filesystem::directory_iterator It(TPackageManager::PackageDir(), Error);
  for (; !Error && It != std::filesystem::directory_iterator(); It.increment(Error)) {
    const std::string Name = It->path().filename().string();
    std::error_code Ignored;
    // Named as files are: letter case counts.
    if (It->path().extension() == ".so" && Name.starts_with(Args.Typed) &&
        !Name.starts_with("lib") && It->is_regular_file(Ignored) &&
        std::none_of(Choices.begin(), Choices.end(),
                     [&](const TArgumentChoice& C) { return C.Value == Name; }))
      Choices.push_back({Name, true, ""});
  }
  return Choices;
}

std::vector<TArgumentChoice> IdeChoices(const TCommandInterpreter&, const TPartialArguments& Args) {
  if (Args.Done.empty())
    return WordChoices({"break", "repair"});
  if (Args.Done.size() == 1 && Args.Done[0] == "break")
    return WordChoices(TIdeFaults::PieceNames());
  return {};
}

} // namespace

void AddPackageCommands(TCommandTable& Table) {
  Table.push_back({"packages", "packages [NAME]",
                   "every package asked for (its state and last failure unless it is "
                   "registered) with its wizards, or what one package declares",
                   "packages OrvikPaletteMenu170", TCommand::Normal, CmdPackages,
                   ArgumentCompleter(RegisteredChoices)});
  Table.push_back({"load", "load FILE", "load a package and call its Register",
                   "load OrvikPaletteMenu170.so", TCommand::Normal, CmdLoad,
                   ArgumentCompleter(LoadChoices)});
  Table.push_back({"unload", "unload NAME", "release a package's wizards and unload it",
                   "unload OrvikPaletteMenu170", TCommand::Normal, CmdUnload,
                   ArgumentCompleter(RegisteredChoices)});
  Table.push_back({"ide", "ide break PIECE | ide repair",
                   "test aid: take away a piece the add-in relies on, or put everything back",
                   "ide break toolbar", TCommand::Normal, CmdIde, ArgumentCompleter(IdeChoices)});
}
