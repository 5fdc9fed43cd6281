// The palette: palette, tab, scroll.
#include "Commands_p.h"

#include "vcl/CategoryButtons.h"

#include <ostream>

using namespace commands;

namespace {

void CmdPalette(TCommandInterpreter& I, const TCommandLine& L) {
  if (!L.Rest.empty())
    Usage("palette");
  TCategoryButtons* P = I.Ide().Palette();
  for (int N = 0; N < P->Categories()->Count(); ++N) {
    const TButtonCategory* C = P->Categories()->Items(N);
    I.Out() << (C->Collapsed() ? "+ " : "- ") << U8(C->Caption())
            << (P->IsHeaderVisible(N) ? " *" : "") << '\n';
  }
}

void CmdTab(TCommandInterpreter& I, const TCommandLine& L) {
  const std::vector<std::string> Args = SplitArguments(L.Rest);
  const char* Text = "tab add CAPTION | tab remove CAPTION | tab rename OLD NEW | "
                     "tab collapse CAPTION | tab expand CAPTION";
  if (Args.empty())
    Usage(Text);
  TButtonCategories* Categories = I.Ide().Palette()->Categories();
  auto IndexOf = [&](const std::string& Caption) {
    const UnicodeString C = U16(Caption);
    for (int N = 0; N < Categories->Count(); ++N)
      if (Categories->Items(N)->Caption() == C)
        return N;
    throw EInvalidOperation(U16("The palette has no tab " + Quote(Caption)));
  };
  const std::string& Verb = Args[0];
  if (Verb == "add" && Args.size() == 2) {
    Categories->Add()->SetCaption(U16(Args[1]));
  } else if (Verb == "remove" && Args.size() == 2) {
    Categories->Delete(IndexOf(Args[1]));
  } else if (Verb == "rename" && Args.size() == 3) {
    Categories->Items(IndexOf(Args[1]))->SetCaption(U16(Args[2]));
  } else if ((Verb == "collapse" || Verb == "expand") && Args.size() == 2) {
    Categories->Items(IndexOf(Args[1]))->SetCollapsed(Verb == "collapse");
  } else {
    Usage(Text);
  }
}

void CmdScroll(TCommandInterpreter& I, const TCommandLine& L) {
  const std::vector<std::string> Args = SplitArguments(L.Rest);
  if (Args.size() != 1)
    Usage("scroll POSITION");
  I.Ide().Palette()->SetScrollPosition(ToInt(Args[0], "The position"));
}

// tab VERB CAPTION: the verbs, then the palette's tab captions for a tab that exists.
std::vector<TArgumentChoice> TabChoices(const TCommandInterpreter& I,
                                        const TPartialArguments& Args) {
  if (Args.Done.empty())
    return WordChoices({"add", "remove", "rename", "collapse", "expand"});
  const std::string& Verb = Args.Done[0];
  std::vector<std::string> Captions;
  if (Args.Done.size() == 1 && Verb != "add") {
    TButtonCategories* Categories = I.Ide().Palette()->Categories();
    for (int N = 0; N < Categories->Count(); ++N)
      Captions.push_back(U8(Categories->Items(N)->Caption()));
  }
  return WordChoices(Captions);
}

} // namespace

void AddPaletteCommands(TCommandTable& Table) {
  Table.push_back({"palette", "palette",
                   "the palette's categories: +/- collapsed/expanded, * in view", "palette",
                   TCommand::Normal, CmdPalette});
  Table.push_back({"tab",
                   "tab add CAPTION | tab remove CAPTION | tab rename OLD NEW | tab collapse "
                   "CAPTION | tab expand CAPTION",
                   "change the palette's categories", "tab rename Standard \"Standard Controls\"",
                   TCommand::Normal, CmdTab, ArgumentCompleter(TabChoices)});
  Table.push_back({"scroll", "scroll POSITION", "scroll the palette to a position in pixels",
                   "scroll 120", TCommand::Normal, CmdScroll});
}
