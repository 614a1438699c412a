#include "platform/StartWriteBack.h"

#include <fcntl.h>

namespace tolvar {

void startWriteBack(int handle)
{
#ifdef SYNC_FILE_RANGE_WRITE
    // A hint only: where it fails, the flush at commit writes everything as before.
    (void)sync_file_range(handle, 0, 0, SYNC_FILE_RANGE_WRITE);
#else
    (void)handle;
#endif
}

}  // namespace tolvar
