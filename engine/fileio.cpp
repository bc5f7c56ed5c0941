#include "fileio.h"

#include <filesystem>

#include <cstring>
#include <utility>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace sonivel {

std::filesystem::path PathFromUtf8(const std::string& utf8) {
#ifdef _WIN32
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
#else
    return std::filesystem::path(utf8);
#endif
}

std::string Utf8FromPath(const std::filesystem::path& path) {
#ifdef _WIN32
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
#else
    return path.string();
#endif
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(PathFromUtf8(a), PathFromUtf8(b), ec) && !ec;
}

std::int64_t MemorySource::ReadAt(std::int64_t offset, void* dst, std::size_t n) {
    if (offset < 0) return -1;
    if (static_cast<std::uint64_t>(offset) >= size_) return 0;
    const std::size_t avail = size_ - static_cast<std::size_t>(offset);
    const std::size_t count = n < avail ? n : avail;
    if (count > 0) std::memcpy(dst, data_ + offset, count);
    return static_cast<std::int64_t>(count);
}

#ifdef _WIN32

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
    // Only regular files: a folder cannot be read.
    const std::wstring wide = PathFromUtf8(path).wstring();
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return File();
    return File(_wfopen(wide.c_str(), L"rb"));
}

File File::Create(const std::string& path) {
    if (path.empty()) return File();
    return File(_wfopen(PathFromUtf8(path).wstring().c_str(), L"w+b"));
}

bool File::IsOpen() const { return f_ != nullptr; }

std::int64_t File::Size() const {
    if (!f_ || std::fflush(f_) != 0 || _fseeki64(f_, 0, SEEK_END) != 0) return -1;
    return _ftelli64(f_);
}

std::int64_t File::ReadAt(std::int64_t offset, void* dst, std::size_t n) {
    if (!f_ || offset < 0 || _fseeki64(f_, offset, SEEK_SET) != 0) return -1;
    const std::size_t got = std::fread(dst, 1, n, f_);
    if (got < n && std::ferror(f_)) {
        std::clearerr(f_);
        return -1;
    }
    return static_cast<std::int64_t>(got);
}

bool File::WriteAt(std::int64_t offset, const void* src, std::size_t n) {
    if (!f_ || offset < 0 || _fseeki64(f_, offset, SEEK_SET) != 0) return false;
    return std::fwrite(src, 1, n, f_) == n && std::fflush(f_) == 0;
}

bool File::Close() {
    if (!f_) return true;
    const bool ok = std::fclose(f_) == 0;
    f_ = nullptr;
    return ok;
}

#else

File::~File() {
    if (fd_ >= 0) ::close(fd_);
}

File::File(File&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

File File::OpenRead(const std::string& path) {
    if (path.empty()) return File();
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
    return File(fd);
}

File File::Create(const std::string& path) {
    if (path.empty()) return File();
    return File(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
}

bool File::IsOpen() const { return fd_ >= 0; }

std::int64_t File::Size() const {
    struct stat st {};
    if (fd_ < 0 || fstat(fd_, &st) != 0) return -1;
    return static_cast<std::int64_t>(st.st_size);
}

std::int64_t File::ReadAt(std::int64_t offset, void* dst, std::size_t n) {
    if (fd_ < 0 || offset < 0) return -1;
    auto* out = static_cast<std::uint8_t*>(dst);
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(fd_, out + got, n - got, static_cast<off_t>(offset + static_cast<std::int64_t>(got)));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        if (r == 0) break;  // the end of the file
        got += static_cast<std::size_t>(r);
    }
    return static_cast<std::int64_t>(got);
}

bool File::WriteAt(std::int64_t offset, const void* src, std::size_t n) {
    if (fd_ < 0 || offset < 0) return false;
    const auto* in = static_cast<const std::uint8_t*>(src);
    std::size_t put = 0;
    while (put < n) {
        const ssize_t w = ::pwrite(fd_, in + put, n - put, static_cast<off_t>(offset + static_cast<std::int64_t>(put)));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        put += static_cast<std::size_t>(w);
    }
    return true;
}

bool File::Close() {
    if (fd_ < 0) return true;
    const bool ok = ::close(std::exchange(fd_, -1)) == 0;
    return ok;
}

#endif

bool RemoveFile(const std::string& path) {
#ifdef _WIN32
    return _wremove(PathFromUtf8(path).wstring().c_str()) == 0;
#else
    return std::remove(path.c_str()) == 0;
#endif
}

}  // namespace sonivel
