#pragma once
// Takes the fixed pauses out of a timing: while a PausesSkipped lives, every
// Sleep of this process (the collectors' pauses included) returns at once and
// is only counted.

#include <windows.h>

namespace qx::bench {

class PausesSkipped {
public:
    PausesSkipped();
    ~PausesSkipped();
    PausesSkipped(const PausesSkipped&) = delete;
    PausesSkipped& operator=(const PausesSkipped&) = delete;

    // Since this object was made.
    static unsigned long long SkippedMilliseconds();
    static unsigned long long SkippedCount();
};

// The real Sleep, whatever is hooked.
void RealSleep(DWORD milliseconds);

}  // namespace qx::bench
