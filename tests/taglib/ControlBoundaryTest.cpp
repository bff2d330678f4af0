// The control as a host sees it: registration, creation by ProgID, dispatch
// by number and by name, the member table, and the state each control keeps.
#include "MemberTable.h"
#include "Module.h"
#include "SonavexCtrl.h"
#include "TempDir.h"
#include "automation/Host.h"
#include "automation/Registry.h"
#include "sonavex/Sonavex.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <set>

using automation::DispatchPtr;
using automation::Variant;


TEST(ControlBoundary, RegisterCreateByProgIdCallAndUnregister) {
  TempDir dir;
  ScopedEnv reg("AUTOMATION_REGISTRY_FILE", dir.file("registry.ini"));

  DispatchPtr none;
  EXPECT_EQ(automation::CreateObject(SONAVEX_PROGID, none), AUTO_E_CLASSNOTREG);

  ASSERT_EQ(automation::RegisterLibrary(SONAVEX_LIBRARY_PATH), AUTO_S_OK);
  automation::Registry r;
  ASSERT_TRUE(r.Load());
  EXPECT_EQ(r.Get("ProgID\\SONAVEX.SonavexCtrl.1", "CLSID"), SONAVEX_CLSID);
  EXPECT_EQ(r.Get(std::string("CLSID\\") + SONAVEX_CLSID, "ThreadingModel"), "Apartment");
  EXPECT_EQ(r.Get(std::string("CLSID\\") + SONAVEX_CLSID, "Version"), "2.0");
  EXPECT_EQ(r.Get(std::string("TypeLib\\") + SONAVEX_LIBID + "\\2.0", "Name"), "SONAVEXLib");
  EXPECT_EQ(r.Get("ProgID\\SONAVEX.SonavexPropPage.1", "CLSID"), SONAVEX_PROPPAGE_CLSID);

  {
    DispatchPtr ctrl;
    std::string error;
    ASSERT_EQ(automation::CreateObject(SONAVEX_PROGID, ctrl, &error), AUTO_S_OK) << error;

    Variant v;
    EXPECT_EQ(ctrl.Invoke(SX_GetSonavexVersion, AUTO_INVOKE_METHOD, {}, &v), AUTO_S_OK);
    EXPECT_EQ(v.type(), AUTO_VT_STR);
    EXPECT_EQ(v.str(), u"2.0");

    // 226 names no member: the call fails in the boundary and nothing runs.
    EXPECT_EQ(ctrl.Invoke(226, AUTO_INVOKE_METHOD, {}, &v), AUTO_E_MEMBERNOTFOUND);
    EXPECT_EQ(v.type(), AUTO_VT_EMPTY);

    // Names are found without regard to case.
    EXPECT_EQ(ctrl.IdOf(u"getsonavexversion"), 278);
    EXPECT_EQ(ctrl.IdOf(u"AboutBox"), -552);
    EXPECT_EQ(ctrl.IdOf(u"NoSuchMember"), -1);

    // A property: write then read the generic title through the boundary.
    EXPECT_EQ(ctrl.Put(SX_AUDIOTitle, Variant::Str(u"Tïtle ♫")), AUTO_S_OK);
    EXPECT_EQ(ctrl.Get(SX_AUDIOTitle).str(), u"Tïtle ♫");

    // Wrong argument count or type is refused by the boundary.
    EXPECT_EQ(ctrl.Invoke(SX_AUDIOAnalyzeFile, AUTO_INVOKE_METHOD, {}), AUTO_E_BADPARAMCOUNT);
    EXPECT_EQ(ctrl.Invoke(SX_AUDIOAnalyzeFile, AUTO_INVOKE_METHOD, {Variant::I4(3)}), AUTO_E_TYPEMISMATCH);
    EXPECT_EQ(ctrl.Invoke(SX_ID3V2GetComment, AUTO_INVOKE_METHOD, {Variant::I4(70000)}), AUTO_E_OVERFLOW);

    // Booleans come back as automation booleans.
    EXPECT_EQ(ctrl.Invoke(SX_AUDIOFormatIsValid, AUTO_INVOKE_METHOD, {}, &v), AUTO_S_OK);
    EXPECT_EQ(v.type(), AUTO_VT_BOOL);
    EXPECT_EQ(v.raw().u.boolVal, 0);
  }

  ASSERT_EQ(automation::RegisterLibrary(SONAVEX_LIBRARY_PATH, true), AUTO_S_OK);
  ASSERT_TRUE(r.Load());
  EXPECT_FALSE(r.HasSection("ProgID\\SONAVEX.SonavexCtrl.1"));
  EXPECT_FALSE(r.HasSection("ProgID\\SONAVEX.SonavexPropPage.1"));
  EXPECT_FALSE(r.HasSection(std::string("CLSID\\") + SONAVEX_CLSID));
  EXPECT_EQ(automation::CreateObject(SONAVEX_PROGID, none), AUTO_E_CLASSNOTREG);
}

TEST(ControlBoundary, MemberTableIsComplete) {
  std::set<int> ids;
  for (int i = 0; i < sonavex::kMemberCount; ++i) ids.insert(sonavex::kMembers[i].info.dispid);
  EXPECT_EQ(sonavex::kMemberCount, 295);
  EXPECT_EQ(ids.size(), 295u);
  EXPECT_TRUE(ids.count(-552));
  EXPECT_FALSE(ids.count(226));
  for (int id = 1; id <= 295; ++id) EXPECT_TRUE(id == 226 || ids.count(id)) << id;
}

TEST(ControlBoundary, ErrorTexts) {
  using sonavex::ErrorText;
  EXPECT_EQ(ErrorText(205), u"Tag doesn't exist!");
  EXPECT_EQ(ErrorText(210), u"Tag not allowed in this file format!");
  EXPECT_EQ(ErrorText(206), u"");  // in the library's range, but no text
  EXPECT_EQ(ErrorText(ENOENT), u"No such file or directory");
  EXPECT_FALSE(ErrorText(0).empty());  // the runtime's text for "no error"
}

TEST(ControlBoundary, EachControlKeepsItsOwnState) {
  using namespace sonavex;
  auto first = std::make_unique<CSonavexCtrl>();
  first->SetMPEGAnalyzeAllFrames(true);
  auto second = std::make_unique<CSonavexCtrl>();
  // A new control starts with the switch off and leaves the first one's alone.
  EXPECT_FALSE(second->GetMPEGAnalyzeAllFrames());
  EXPECT_TRUE(first->GetMPEGAnalyzeAllFrames());

  first->m_State.fileSize = 1234;
  first->m_State.lastError = 5;
  second.reset();  // a release resets only its own state
  EXPECT_EQ(first->AUDIOGetFileSize(), 1234);
  EXPECT_EQ(first->AUDIOGetLastErrorNumber(), 5);
}

TEST(ControlBoundary, BareFormatAnswersDefaults) {
  sonavex::CSonavexCtrl c;
  EXPECT_EQ(c.m_pFormat->GetChannels(), 0);
  EXPECT_EQ(c.m_pFormat->GetDuration(), 0.0f);
  EXPECT_EQ(c.m_pFormat->GetChannelMode(), u"Unknown");
  EXPECT_EQ(c.m_pFormat->GetVersion(), u"");
  EXPECT_FALSE(c.m_pFormat->IsValid());
  EXPECT_EQ(c.GetSonavexVersion(), u"2.0");
}
