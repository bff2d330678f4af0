#include "app/ModMain.h"

#include "app/Globals.h"
#include "app/frmSplash.h"
#include "platform/QtTexts.h"
#include "StringTable.h"
#include "ui/SettingsKeys.h"
#include "ui/SettingsValue.h"

namespace djvp {

frmSplash* modPublic_Main() {
  int32_t language = 0;
  if (const auto v = SettingToInt32(keys::Get(keys::kLanguage, QStringLiteral("0")))) language = *v;
  if (language == 0) LangOffset = 0;
  if (language == 1) LangOffset = 1000;
  // Qt's own texts (standard buttons, file dialogs) in the same language.
  FollowInterfaceLanguage();
  SkinApplyPending = true;
  auto* splash = new frmSplash();
  splash->show();
  return splash;
}

}  // namespace djvp
