// The embedded firmware image, the transfer settings and the transfer header.
#include "transfer/firmware_image.h"
