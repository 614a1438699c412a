#include "support/TestSupport.h"

#include <sys/resource.h>
#include <csignal>

namespace tolvar::test {

bool FileSizeLimit::available()
{
    return true;
}

FileSizeLimit::FileSizeLimit(qint64 bytes)
{
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    old_ = static_cast<qint64>(limit.rlim_cur);
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    // The write fails with EFBIG instead of the process being ended.
    std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit()
{
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(old_);
    setrlimit(RLIMIT_FSIZE, &limit);
}

}  // namespace tolvar::test
