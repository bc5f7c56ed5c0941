#include "fileio.h"

#include <filesystem>

#include <cstring>
#include <utility>

#ifdef _WIN32
#define SONIVEL_FSEEK _fseeki64
#define SONIVEL_FTELL _ftelli64
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#define SONIVEL_FSEEK fseeko
#define SONIVEL_FTELL ftello
#endif

namespace sonivel {

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

std::int64_t MemorySource::ReadAt(std::int64_t offset, void* dst, std::size_t n) {
    if (offset < 0) return -1;
    if (static_cast<std::uint64_t>(offset) >= size_) return 0;
    const std::size_t avail = size_ - static_cast<std::size_t>(offset);
    const std::size_t count = n < avail ? n : avail;
    if (count > 0) std::memcpy(dst, data_ + offset, count);
    return static_cast<std::int64_t>(count);
}

File::~File() {
    if (f_) std::fclose(f_);
}

File::File(File&& other) noexcept : f_(std::exchange(other.f_, nullptr)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        if (f_) std::fclose(f_);
        f_ = std::exchange(other.f_, nullptr);
    }
    return *this;
}

File File::OpenRead(const std::string& path) {
    if (path.empty()) return File();
#ifdef _WIN32
    return File(std::fopen(path.c_str(), "rb"));
#else
    // Only regular files: a folder cannot be read, and opening a named pipe
    // or a device could block or never end. O_NONBLOCK keeps the open itself
    // from waiting for a writer; it is cleared once the type is known.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return File();
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return File();
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* f = fdopen(fd, "rb");
    if (!f) ::close(fd);
    return File(f);
#endif
}

File File::Create(const std::string& path) {
    if (path.empty()) return File();
    return File(std::fopen(path.c_str(), "w+b"));
}

std::int64_t File::Size() const {
    if (!f_) return -1;
#ifdef _WIN32
    const std::int64_t here = SONIVEL_FTELL(f_);
    if (here < 0 || SONIVEL_FSEEK(f_, 0, SEEK_END) != 0) return -1;
    const std::int64_t size = SONIVEL_FTELL(f_);
    SONIVEL_FSEEK(f_, here, SEEK_SET);
    return size;
#else
    // Buffered writes count too: the size is what the file will hold.
    std::fflush(f_);
    struct stat st {};
    if (fstat(fileno(f_), &st) != 0) return -1;
    return static_cast<std::int64_t>(st.st_size);
#endif
}

std::int64_t File::ReadAt(std::int64_t offset, void* dst, std::size_t n) {
    if (!Seek(offset)) return -1;
    return Read(dst, n);
}

std::int64_t File::Read(void* dst, std::size_t n) {
    if (!f_) return -1;
    const std::size_t got = std::fread(dst, 1, n, f_);
    if (got < n && std::ferror(f_)) {
        std::clearerr(f_);
        return -1;
    }
    return static_cast<std::int64_t>(got);
}

bool File::Write(const void* src, std::size_t n) {
    if (!f_) return false;
    return std::fwrite(src, 1, n, f_) == n;
}

bool File::Seek(std::int64_t offset) {
    if (!f_ || offset < 0) return false;
    return SONIVEL_FSEEK(f_, offset, SEEK_SET) == 0;
}

bool File::Flush() {
    return f_ && std::fflush(f_) == 0;
}

bool File::Close() {
    if (!f_) return true;
    const bool ok = std::fclose(f_) == 0;
    f_ = nullptr;
    return ok;
}

bool RemoveFile(const std::string& path) {
    return std::remove(path.c_str()) == 0;
}

}  // namespace sonivel
