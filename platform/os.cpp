#include "os.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace sonivel {

#ifndef _WIN32

WakeChannel::WakeChannel() {
    int fds[2];
    if (pipe(fds) != 0) return;
    for (int fd : fds) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    read_ = fds[0];
    write_ = fds[1];
}

WakeChannel::~WakeChannel() {
    if (read_ >= 0) close(read_);
    if (write_ >= 0) close(write_);
}

void WakeChannel::Poke() const {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(write_, &byte, 1);  // a full pipe already wakes
}

void WakeChannel::Drain() const {
    char drain[64];
    while (read(read_, drain, sizeof drain) > 0) {
    }
}

int OpenRegularFileForReading(const char* path) {
    // The check is made on the open file, so nothing can swap it in between.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

namespace {
const WakeChannel* terminationChannel = nullptr;
void OnTerminate(int) {
    if (terminationChannel) terminationChannel->Poke();
}
}  // namespace

bool ForwardTerminationTo(const WakeChannel& channel) {
    if (!channel.IsOpen()) return false;
    terminationChannel = &channel;
    struct sigaction action {};
    action.sa_handler = OnTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return sigaction(SIGTERM, &action, nullptr) == 0 && sigaction(SIGINT, &action, nullptr) == 0;
}

#else

WakeChannel::WakeChannel() = default;
WakeChannel::~WakeChannel() = default;
void WakeChannel::Poke() const {}
void WakeChannel::Drain() const {}
bool ForwardTerminationTo(const WakeChannel&) { return false; }
int OpenRegularFileForReading(const char*) { return -1; }

#endif

}  // namespace sonivel
