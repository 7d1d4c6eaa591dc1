// The progress dialog's accessible bar as on a Windows without Active Accessibility, where the
// window answers WM_GETOBJECT as any other and no client hears of changes: the simulated desktop
// has no COM.
#include "progress/progress_internal.h"

LRESULT AnswerBarAccessible(HWND, WPARAM, LPARAM) { return 0; }

void ReleaseBarAccessible() {}

void SetBarTexts(const char *, const char *) {}

void NotifyBarChange(HWND, DWORD) {}
