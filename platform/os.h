// The few operating-system calls the windows make, in one place: a wake-up
// channel that any thread (or a signal handler) can poke and the event loop
// can watch, and the forwarding of termination requests to such a channel.
#pragma once

namespace sonivel {

class WakeChannel {
public:
    // Both ends non-blocking and closed on exec; IsOpen() is false where the
    // system has no such channel.
    WakeChannel();
    ~WakeChannel();
    WakeChannel(const WakeChannel&) = delete;
    WakeChannel& operator=(const WakeChannel&) = delete;

    bool IsOpen() const { return read_ >= 0 && write_ >= 0; }
    // The end to watch for reading (a QSocketNotifier's descriptor).
    int ReadEnd() const { return read_; }
    // Makes the read end readable. Safe in a signal handler; a full channel
    // is already readable, so nothing is lost.
    void Poke() const;
    // Empties the channel, after its pokes have been seen.
    void Drain() const;

private:
    int read_ = -1;
    int write_ = -1;
};

// Opens the file `path` (bytes, as the file system names it) for reading
// only when it is a regular file: a FIFO is not waited on, a device not
// read. The descriptor (blocking again) or -1; the caller closes it.
int OpenRegularFileForReading(const char* path);

// From now on a termination request (SIGTERM, SIGINT) pokes `channel`
// instead of ending the process. False where it cannot be arranged.
bool ForwardTerminationTo(const WakeChannel& channel);

}  // namespace sonivel
