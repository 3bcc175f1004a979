#pragma once

#include <QtGlobal>

#include <sys/resource.h>

// While one of these lives, the kernel refuses to let any file of this process grow past
// `maxBytes`: a write that crosses the limit stores what fits and then fails. Tests run as root,
// whom file permissions do not stop; this limit stops root all the same. The signal the kernel
// would send instead of failing the write is ignored meanwhile.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t maxBytes);
    ~FileSizeLimit();
    Q_DISABLE_COPY_MOVE(FileSizeLimit)

private:
    rlimit saved{};
    void (*previousHandler)(int) = nullptr;
};
