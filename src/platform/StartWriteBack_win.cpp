#include "platform/StartWriteBack.h"

namespace tolvar {

// Windows writes back on its own schedule; FlushFileBuffers at commit waits for all of it.
void startWriteBack(int) {}

}  // namespace tolvar
