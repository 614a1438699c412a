// ReplacingFile: a file written beside the one it replaces and put in its place in one step, so
// that the older file stays whole until the new one is: written, flushed to the disk, renamed over
// it. Until commit() the new file is nobody's, and the object's end discards it. The new file takes
// the older one's permissions. What is replaced is the name in its folder: a symbolic link there
// is replaced by the file, never written through. An older file that may not be written, a folder,
// and a device, pipe or socket of the name are refused.
// On POSIX the new file has no name until it is complete where the file system allows (nothing is
// left behind by a process that dies half-way), and the disk starts on the data as soon as it is
// written, so that work done before commit() overlaps the disk's. Windows writes a new file beside
// the target and moves it over the name.
#pragma once

#include <QString>
#include <memory>

namespace tolvar {

class ReplacingFile {
public:
    // Named: the new file has a name from the start, as where the file system cannot make one
    // without (some network shares); the tests take that way on purpose.
    enum class Aside { Unnamed, Named };
    explicit ReplacingFile(const QString& path, Aside aside = Aside::Unnamed);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Makes the new file with all of the bytes in it. False, with errorString(), when it cannot.
    bool write(const char* data, qint64 size);
    // Flushes the new file to the disk and puts it in the older one's place. False, with
    // errorString(), when it cannot; the older file is then as it was.
    bool commit();
    QString errorString() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace tolvar
