#include "app/Globals.h"

namespace djvp {

bool SkinApplyPending = false;
bool CrossfadeRunning = false;
bool SuppressSliderEvents = false;
clsBassPlayer* Deck1PlayerA = nullptr;
clsBassPlayer* Deck1PlayerB = nullptr;
clsBassPlayer* Deck2PlayerA = nullptr;
clsBassPlayer* Deck2PlayerB = nullptr;

}  // namespace djvp
