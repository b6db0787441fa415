// SetupPrivate.h - small helpers shared by the installer's own files.
#pragma once

#include "utils/utils.h"

namespace setup_internal {

// A text for a %s conversion: "" for a null pointer (the run-state globals are
// null until the driver sets them).
inline const char* Text(const char* s) { return s != nullptr ? s : ""; }

// The program's name in its reports on standard error: my_name, or "setup" while
// it is not set.
inline const char* RunName() { return my_name != nullptr && *my_name != '\0' ? my_name : "setup"; }

}  // namespace setup_internal
