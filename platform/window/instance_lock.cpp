// Owns the single-instance lock of a window class: a file lock that the
// class's windows hold, so that another process can find them. Calls POSIX
// only.
#include "platform/window/window_internal.h"

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace {

// The instance lock of a window class: a file lock named after the class,
// released by the system when the process ends however it ends.
std::string InstanceLockPath(const std::string& className)
{
    const char* dir = std::getenv("ZARVO_INSTANCE_DIR");
    if (dir == nullptr || *dir == '\0') dir = std::getenv("XDG_RUNTIME_DIR");
    if (dir == nullptr || *dir == '\0') dir = "/tmp";
    std::string path = std::string(dir) + "/zarvo-" + std::to_string(getuid()) + "-";
    static const char hex[] = "0123456789abcdef";
    for (unsigned char c : className) {
        path.push_back(hex[c >> 4]);
        path.push_back(hex[c & 15]);
    }
    return path + ".lock";
}

} // namespace

int TakeInstanceLock(const std::string& className)
{
    int fd = open(InstanceLockPath(className).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool IsInstanceLockHeldElsewhere(const std::string& className)
{
    int fd = open(InstanceLockPath(className).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
    close(fd);
    return held;
}

void ReleaseInstanceLock(int fd)
{
    if (fd >= 0) close(fd);
}
