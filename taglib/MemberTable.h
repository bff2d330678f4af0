// The control's member table: one entry per member of the automation
// interface, sorted by dispatch number (generated from members.tsv).
#pragma once

#include "automation/Server.h"

namespace sonavex {
extern const automation::Member kMembers[];
extern const int kMemberCount;
}  // namespace sonavex
