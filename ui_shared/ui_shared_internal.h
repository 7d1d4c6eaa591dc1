// Window centring's arithmetic, inside the shared pieces and for their tests.
#ifndef UPDATE_TOOL_UI_SHARED_INTERNAL_H
#define UPDATE_TOOL_UI_SHARED_INTERNAL_H

#include <windows.h>

// The top-left corner that centres a w x h window on a screenWidth x screenHeight screen.
// Either may be negative when the window is larger than the screen.
POINT CenteredPosition(int screenWidth, int screenHeight, int w, int h);

#endif
