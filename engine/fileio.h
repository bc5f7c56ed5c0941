// Plain binary file I/O with 64-bit offsets and checked results. Every call
// that can fail says so; nothing here throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace sonivel {

// A path from a UTF-8 name, and a path's UTF-8 name. Names are UTF-8
// throughout the program; on Windows the file system's names are UTF-16, and
// a plain conversion would go through the ANSI code page and lose every
// character outside it.
std::filesystem::path PathFromUtf8(const std::string& utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

// Whether two names lead to the same file (the same file under another
// name, a link, another spelling of the path); false when either is missing.
bool SameFile(const std::string& a, const std::string& b);

// Random access to a run of bytes: a file on disk, or memory in tests.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Total length in bytes.
    virtual std::int64_t Size() const = 0;
    // Reads up to n bytes at offset into dst. Returns the count read (short
    // at the end of the source) or -1 on an I/O error.
    virtual std::int64_t ReadAt(std::int64_t offset, void* dst, std::size_t n) = 0;
};

class MemorySource final : public ByteSource {
public:
    MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::int64_t Size() const override { return static_cast<std::int64_t>(size_); }
    std::int64_t ReadAt(std::int64_t offset, void* dst, std::size_t n) override;

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

// An owned file handle with positioned reads and writes (no file position
// is kept, so nothing is sought and nothing is buffered: what WriteAt wrote
// is in the operating system when it returns, and survives the process
// being killed). Move-only; closes on destruction (without reporting:
// callers that care about the close's result call Close themselves).
class File final : public ByteSource {
public:
    File() = default;
    ~File() override;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens an existing regular file for reading.
    static File OpenRead(const std::string& path);
    // Creates or empties a file for reading and writing.
    static File Create(const std::string& path);

    bool IsOpen() const;
    std::int64_t Size() const override;
    std::int64_t ReadAt(std::int64_t offset, void* dst, std::size_t n) override;
    // Writes all n bytes at offset; false when not all could be written.
    bool WriteAt(std::int64_t offset, const void* src, std::size_t n);
    // Closes the handle; false when the system reports a failed write.
    bool Close();

private:
#ifdef _WIN32
    explicit File(std::FILE* f) : f_(f) {}
    std::FILE* f_ = nullptr;
#else
    explicit File(int fd) : fd_(fd) {}
    int fd_ = -1;
#endif
};

// Removes a file; false if it could not be removed.
bool RemoveFile(const std::string& path);

}  // namespace sonivel
