// keepFreedMemory: a batch makes one workbook after another, each allocating and freeing buffers of
// tens to hundreds of kilobytes. By default glibc hands such memory back to the system at once and
// every workbook pays the page faults of taking it again (a fifth of a batch's time); kept, it is
// reused. The process keeps at most what one workbook needs, as before. Windows' heap keeps freed
// blocks for reuse on its own, so there it does nothing.
#pragma once

namespace tolvar {

void keepFreedMemory();

}  // namespace tolvar
