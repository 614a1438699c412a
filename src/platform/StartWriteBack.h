// startWriteBack: asks the system to start writing a file's data to the disk now, without waiting,
// so that a later flush (QSaveFile's commit) finds most of it written. What the program does in
// between (reading the workbook back to check it) then overlaps the disk's work. Where the system
// has no such request (Windows), it does nothing and the flush does it all.
#pragma once

namespace tolvar {

// handle: the open file's descriptor (QFileDevice::handle()).
void startWriteBack(int handle);

}  // namespace tolvar
