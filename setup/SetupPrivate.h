// SetupPrivate.h - small helpers shared by the installer's own files.
#pragma once

namespace setup_internal {

// A text for a %s conversion: "" for a null pointer (the run-state globals are
// null until the driver sets them).
inline const char* Text(const char* s) { return s != nullptr ? s : ""; }

}  // namespace setup_internal
