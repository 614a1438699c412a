// keepFreedMemory: a batch makes one workbook after another, each allocating and freeing buffers of
// tens to hundreds of kilobytes. By default the C library hands such memory back to the system at
// once and every workbook pays the page faults of taking it again (a fifth of a batch's time);
// kept, it is reused. The process keeps at most what one workbook needs, as before.
#pragma once

namespace tolvar {

void keepFreedMemory();

}  // namespace tolvar
