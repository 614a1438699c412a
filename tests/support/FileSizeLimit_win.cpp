#include "support/TestSupport.h"

namespace tolvar::test {

// Windows has no limit on the size of a process's files; the tests that need one skip.
bool FileSizeLimit::available()
{
    return false;
}

FileSizeLimit::FileSizeLimit(qint64) {}

FileSizeLimit::~FileSizeLimit() = default;

}  // namespace tolvar::test
