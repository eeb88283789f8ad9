// Shared by the uiauto sources only: the one record of the last failure.
#pragma once

#include <string>

namespace uiauto {

// Replaces LastFailure() with reason. Callers return their failure value
// right after.
void RecordFailure(const std::string &reason);

}  // namespace uiauto
