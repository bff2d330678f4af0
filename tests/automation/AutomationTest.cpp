#include "TempDir.h"
#include "automation/Registry.h"
#include "automation/Server.h"
#include "automation/Variant.h"

#include <gtest/gtest.h>

using namespace automation;

namespace {
struct Thing {
  std::u16string name = u"x";
  int16_t Add(int16_t a, int32_t b) { return static_cast<int16_t>(a + b); }
  bool IsLong(const std::u16string& s) { return s.size() > 3; }
  std::u16string GetName() { return name; }
  void SetName(const std::u16string& v) { name = v; }
  float Half(float f) { return f / 2; }
};
const Member kThingMembers[] = {
    {{1, "Add", AUTO_MEMBER_METHOD, AUTO_VT_I2, 2, {"a", "b"}, {AUTO_VT_I2, AUTO_VT_I4}}, &CallThunk<&Thing::Add>, nullptr},
    {{2, "IsLong", AUTO_MEMBER_METHOD, AUTO_VT_BOOL, 1, {"s"}, {AUTO_VT_STR}}, &CallThunk<&Thing::IsLong>, nullptr},
    {{3, "Name", AUTO_MEMBER_PROPERTY, AUTO_VT_STR, 0, {}, {}}, &CallThunk<&Thing::GetName>, &CallThunk<&Thing::SetName>},
    {{4, "Half", AUTO_MEMBER_METHOD, AUTO_VT_R4, 1, {"f"}, {AUTO_VT_R4}}, &CallThunk<&Thing::Half>, nullptr},
};
}  // namespace

TEST(Automation, StringsAreCountedAndOwned) {
  autochar* s = autostr_alloc(u"héllo");
  EXPECT_EQ(autostr_len(s), 5u);
  EXPECT_EQ(ToU16(s), u"héllo");
  autostr_free(s);
  autochar* withNul = autostr_alloc_len(u"a\0b", 3);
  EXPECT_EQ(autostr_len(withNul), 3u);
  autostr_free(withNul);
  EXPECT_EQ(autostr_len(nullptr), 0u);
  EXPECT_EQ(ToU16(nullptr), u"");
  Variant a = Variant::Str(u"copy me");
  Variant b = a;
  EXPECT_EQ(b.str(), u"copy me");
  EXPECT_NE(a.raw().u.str, b.raw().u.str);
}

TEST(Automation, Utf8RoundTrip) {
  const std::u16string texts[] = {u"", u"plain", u"Ünïcødé ♫", u"\U0001F3B5 note"};
  for (const auto& t : texts) EXPECT_EQ(FromUtf8(ToUtf8(t)), t);
  EXPECT_EQ(FromUtf8("\xff"), u"\uFFFD");
}

TEST(Automation, DispatchConvertsArgumentsAndResults) {
  auto* obj = new DispatchObject<Thing>(std::make_unique<Thing>(), kThingMembers, 4);
  AutoDispatch* d = obj->iface();
  auto call = [&](int32_t id, uint16_t flags, std::vector<Variant> args, Variant* out) {
    std::vector<AutoVariant> raw;
    for (auto& a : args) raw.push_back(a.raw());
    return d->lpVtbl->invoke(d, id, flags, raw.data(), static_cast<uint32_t>(raw.size()), out ? out->out() : nullptr);
  };
  Variant r;
  EXPECT_EQ(call(1, AUTO_INVOKE_METHOD, {Variant::I2(2), Variant::I4(40)}, &r), AUTO_S_OK);
  EXPECT_EQ(r.type(), AUTO_VT_I2);
  EXPECT_EQ(r.i2(), 42);
  // A real argument for an integer rounds half to even; out of range overflows.
  EXPECT_EQ(call(1, AUTO_INVOKE_METHOD, {Variant::R4(2.5f), Variant::I4(0)}, &r), AUTO_S_OK);
  EXPECT_EQ(r.i2(), 2);
  EXPECT_EQ(call(1, AUTO_INVOKE_METHOD, {Variant::I4(40000), Variant::I4(0)}, &r), AUTO_E_OVERFLOW);
  EXPECT_EQ(call(2, AUTO_INVOKE_METHOD, {Variant::Str(u"long")}, &r), AUTO_S_OK);
  EXPECT_EQ(r.type(), AUTO_VT_BOOL);
  EXPECT_EQ(r.raw().u.boolVal, -1);
  EXPECT_EQ(call(2, AUTO_INVOKE_METHOD, {Variant::I2(1)}, &r), AUTO_E_TYPEMISMATCH);
  EXPECT_EQ(call(4, AUTO_INVOKE_METHOD, {Variant::I4(3)}, &r), AUTO_S_OK);
  EXPECT_FLOAT_EQ(r.r4(), 1.5f);
  EXPECT_EQ(call(3, AUTO_INVOKE_PROPERTYPUT, {Variant::Str(u"new")}, nullptr), AUTO_S_OK);
  EXPECT_EQ(call(3, AUTO_INVOKE_PROPERTYGET, {}, &r), AUTO_S_OK);
  EXPECT_EQ(r.str(), u"new");
  EXPECT_EQ(obj->target().name, u"new");
  EXPECT_EQ(call(1, AUTO_INVOKE_METHOD, {Variant::I2(1)}, &r), AUTO_E_BADPARAMCOUNT);
  EXPECT_EQ(call(99, AUTO_INVOKE_METHOD, {}, &r), AUTO_E_MEMBERNOTFOUND);
  EXPECT_EQ(d->lpVtbl->member_count(d), 4);
  const int live = LiveObjectCount().load();
  EXPECT_EQ(d->lpVtbl->release(d), 0u);
  EXPECT_EQ(LiveObjectCount().load(), live - 1);
}

TEST(Automation, RegistryRoundTripAndCaseInsensitiveKeys) {
  TempDir dir;
  Registry r(dir.file("sub/reg.ini"));
  ASSERT_TRUE(r.Load());  // missing file: empty registry
  r.Set("CLSID\\{X}", "ProgID", "A.B.1");
  r.Set("ProgID\\A.B.1", "CLSID", "{X}");
  ASSERT_TRUE(r.Save());
  Registry again(dir.file("sub/reg.ini"));
  ASSERT_TRUE(again.Load());
  EXPECT_EQ(again.Get("clsid\\{x}", "progid"), "A.B.1");
  again.RemoveSection("PROGID\\A.B.1");
  EXPECT_FALSE(again.HasSection("ProgID\\A.B.1"));
}
