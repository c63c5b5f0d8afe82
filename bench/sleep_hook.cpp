#include "sleep_hook.h"

#include <atomic>

// The import slot through which every call of Sleep in this executable goes
// (kernel32's functions are declared dllimport): the bench's own code and the
// tool's collectors linked into it alike.
extern "C" decltype(&::Sleep) __imp_Sleep;

namespace qx::bench {
namespace {

const decltype(&::Sleep) realSleep = __imp_Sleep;
std::atomic<unsigned long long> skippedMilliseconds{0};
std::atomic<unsigned long long> skippedCount{0};

void WINAPI CountedSleep(DWORD milliseconds)
{
    skippedMilliseconds += milliseconds;
    ++skippedCount;
}

void SetSleepSlot(decltype(&::Sleep) function)
{
    DWORD old = 0;
    ::VirtualProtect(&__imp_Sleep, sizeof __imp_Sleep, PAGE_READWRITE, &old);
    __imp_Sleep = function;
    ::VirtualProtect(&__imp_Sleep, sizeof __imp_Sleep, old, &old);
}

}  // namespace

PausesSkipped::PausesSkipped()
{
    skippedMilliseconds = 0;
    skippedCount = 0;
    SetSleepSlot(&CountedSleep);
}

PausesSkipped::~PausesSkipped() { SetSleepSlot(realSleep); }

unsigned long long PausesSkipped::SkippedMilliseconds() { return skippedMilliseconds; }
unsigned long long PausesSkipped::SkippedCount() { return skippedCount; }

void RealSleep(DWORD milliseconds) { realSleep(milliseconds); }

}  // namespace qx::bench
