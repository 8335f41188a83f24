#pragma once

#include <QtGlobal>

#include <functional>
#include <sys/resource.h>

// While it lives, no file of this process can grow beyond the given size:
// a write past it fails (EFBIG), as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();

    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_previous {};
    void (*m_previousHandler)(int) = nullptr;
};

// Runs the function in a child process that the system kills as soon as it
// writes a file past the given size, as a crash or a power cut would interrupt
// it. True when the child died that way.
bool runKilledAtFileSize(qint64 bytes, const std::function<void()>& function);
