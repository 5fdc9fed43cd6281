#include "rtl/Component.h"
#include "rtl/Exception.h"

#include <gtest/gtest.h>

namespace {

class TPart : public TComponent {
public:
  using TComponent::TComponent;
  HOST_CLASS_INFO;
};
const TClassInfo& TPart::StaticClass() {
  static const TClassInfo Info = TClassBuilder<TPart>(u"TPart", &TComponent::StaticClass());
  return Info;
}
HOST_CLASS_TYPE(TPart)

// Publishes a field of type TPart and a byte-sized property.
class THolder : public TComponent {
public:
  using TComponent::TComponent;
  HOST_CLASS_INFO;
  TPart* Part = nullptr;
  unsigned char Level() const { return FLevel; }
  void SetLevel(unsigned char V) { FLevel = V; }

private:
  unsigned char FLevel = 0;
};
const TClassInfo& THolder::StaticClass() {
  static const TClassInfo Info = TClassBuilder<THolder>(u"THolder", &TComponent::StaticClass())
                                     .Field(u"Part", &THolder::Part)
                                     .Ord(u"Level", &THolder::Level, &THolder::SetLevel);
  return Info;
}
HOST_CLASS_TYPE(THolder)

TEST(PublishedField, FollowsTheOwnedComponentOfItsName) {
  THolder Holder(nullptr);
  auto* P = new TPart(&Holder);
  EXPECT_EQ(Holder.Part, nullptr);
  P->SetName(u"part"); // names compare ignoring ASCII case
  EXPECT_EQ(Holder.Part, P);
  P->SetName(u"Other");
  EXPECT_EQ(Holder.Part, nullptr);
  P->SetName(u"Part");
  EXPECT_EQ(Holder.Part, P);
  // Released or moved to another owner, it leaves the field.
  THolder Elsewhere(nullptr);
  Elsewhere.InsertComponent(P);
  EXPECT_EQ(Holder.Part, nullptr);
  EXPECT_EQ(Elsewhere.Part, P);
  Free(P);
  EXPECT_EQ(Elsewhere.Part, nullptr);
}

TEST(PublishedField, RefusesAComponentOfAnotherTypeAndChangesNothing) {
  THolder Holder(nullptr);
  auto* Wrong = new TComponent(&Holder);
  EXPECT_THROW(Wrong->SetName(u"Part"), EComponentError);
  EXPECT_EQ(Wrong->Name(), u"");
  EXPECT_EQ(Holder.Part, nullptr);
  TComponent Named(nullptr);
  Named.SetName(u"Part");
  EXPECT_THROW(Holder.InsertComponent(&Named), EComponentError);
  EXPECT_EQ(Named.Owner(), nullptr);
}

TEST(TypInfo, OrdinalValuesOutsideThePropertysTypeAreRefused) {
  THolder Holder(nullptr);
  SetOrdProp(&Holder, u"Level", 255);
  EXPECT_EQ(Holder.Level(), 255);
  EXPECT_THROW(SetOrdProp(&Holder, u"Level", 256), EPropertyError);
  EXPECT_THROW(SetOrdProp(&Holder, u"Level", -1), EPropertyError);
  EXPECT_EQ(Holder.Level(), 255);
}

} // namespace
