// The modeless progress dialog, its hand-painted bar and its message pump.
#include "progress/progress.h"
