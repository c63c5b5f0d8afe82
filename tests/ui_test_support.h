#pragma once
// Helpers for in-process tests of dialogs: pumping messages through the same
// pre-translation chain as the tool's own loop, keys, and modal runs that can
// never hang a test.

#include "platform/ui.h"

#include <windows.h>

#include <functional>

namespace qx::test {

// The standard message box's caption in this test program: its exe's name
// without ".exe".
inline constexpr wchar_t kTestProgramName[] = L"qxdiag_tests";

// Processes every queued message of this thread, as the modal loop would.
void PumpMessages();

// Posts a key press (WM_KEYDOWN) to `target` and pumps it through the loop.
void PressKey(HWND target, WPARAM key);

// The window with the keyboard focus inside `page`, or its first tab stop.
HWND FocusOrFirstTabStop(HWND page);

// Runs `dialog` modally (already created); ends it with -2 after `timeoutMs` so
// that a test fails instead of hanging.
INT_PTR RunModalWithTimeout(Dialog& dialog, UINT timeoutMs = 5000);

// Calls `onShown` once, with the first dialog of template `templateId` that
// appears on this thread while `action` runs (polled by a timer inside nested
// modal loops). Returns 1 when it appeared, else 0.
int WhileRunning(UINT templateId, const std::function<void()>& action, const std::function<void(HWND)>& onShown);

}  // namespace qx::test
