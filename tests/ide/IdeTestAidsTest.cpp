// The test aids that take the IDE apart: each piece goes and comes back, and whatever is left
// broken goes back when the aids go, so that the IDE still closes whole.
#include "IdeTestAids.h"

#include "vcl/ComCtrls.h"
#include "vcl/Forms.h"
#include "vcl/ImgList.h"
#include "vcl/Menus.h"

#include <gtest/gtest.h>

namespace {

TInterfacePtr<INTAServices> NTAServices() {
  TInterfacePtr<INTAServices> NTA;
  Supports(BorlandIDEServices, NTA);
  return NTA;
}

TEST(IdeFaults, TheServicesPiecesStackAndRepairPutsTheRealServicesBack) {
  THostIde Ide;
  TIdeFaults Faults(Ide);
  const auto Real = BorlandIDEServices;
  // Without its main menu, the services still give the rest.
  Faults.Break("main-menu");
  ASSERT_TRUE(NTAServices());
  EXPECT_EQ(NTAServices()->GetMainMenu(), nullptr);
  EXPECT_EQ(NTAServices()->GetToolBar(u"Toolbar1"), Ide.ToolBar());
  EXPECT_EQ(NTAServices()->GetImageList(), static_cast<TCustomImageList*>(Ide.MainImages()));
  // Taking INTAServices away on top of that, and then the services themselves.
  Faults.Break("ntaservices");
  EXPECT_TRUE(BorlandIDEServices);
  EXPECT_FALSE(NTAServices());
  Faults.Break("services");
  EXPECT_FALSE(BorlandIDEServices);
  EXPECT_THROW(Faults.Break("services"), EInvalidOperation);
  EXPECT_THROW(Faults.Break("no-such-piece"), EInvalidOperation);
  Faults.Repair();
  EXPECT_EQ(BorlandIDEServices.Get(), Real.Get());
  EXPECT_EQ(NTAServices()->GetMainMenu(), Ide.MainMenu());
}

TEST(IdeFaults, PiecesLeftBrokenGoBackWhenTheAidsGo) {
  THostIde Ide;
  const int Controls = Ide.ToolBar()->ControlCount();
  {
    TIdeFaults Faults(Ide);
    Faults.Break("ntaservices");
    Faults.Break("toolform");
    Faults.Break("toolbar-controls");
    EXPECT_EQ(Ide.ToolForm()->Name(), u"ToolForm0");
    EXPECT_EQ(Ide.ToolBar()->ControlCount(), 0);
  }
  EXPECT_EQ(Ide.ToolForm()->Name(), u"ToolForm");
  EXPECT_EQ(Ide.ToolBar()->ControlCount(), Controls);
  // The IDE's own services are in force again: the IDE closes with them whole.
  ASSERT_TRUE(NTAServices());
  EXPECT_EQ(NTAServices()->GetMainMenu(), Ide.MainMenu());
}

} // namespace
