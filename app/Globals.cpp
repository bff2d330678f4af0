#include "app/Globals.h"

namespace djvp {

bool SkinApplyPending = false;

}  // namespace djvp
