// Builds wave files byte by byte for tests: canonical files in any format,
// and arbitrary chunk layouts for the reader's corner cases.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sonivel::test {

using Bytes = std::vector<std::uint8_t>;

struct Format {
    std::uint16_t tag = 1;
    std::uint16_t channels = 1;
    std::uint32_t rate = 22050;
    std::uint16_t bits = 16;

    std::uint16_t BlockAlign() const { return static_cast<std::uint16_t>(channels * (bits / 8)); }
    std::uint32_t ByteRate() const { return rate * BlockAlign(); }
};

void Put16(Bytes& b, std::uint16_t v);
void Put32(Bytes& b, std::uint32_t v);
void PutId(Bytes& b, const char* id);

// A fmt chunk payload with explicit fields (16 bytes: the 14 of the record
// and bits per sample).
Bytes FmtPayload(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                 std::uint32_t byteRate, std::uint16_t blockAlign, std::uint16_t bits);
Bytes FmtPayload(const Format& f);
// The extensible layout of `f` (40 bytes): sub-format `subFormat` (1 for PCM)
// with the standard GUID tail, `validBits` (0: f.bits) and the usual speaker
// mask.
Bytes ExtensibleFmtPayload(const Format& f, std::uint16_t subFormat = 1, std::uint16_t validBits = 0);

class RiffBuilder {
public:
    // Appends a chunk; a pad byte follows an odd payload unless pad is false.
    RiffBuilder& Chunk(const char* id, const Bytes& payload, bool pad = true);
    // Appends a chunk header whose size field differs from the payload given.
    RiffBuilder& ChunkWithSize(const char* id, std::uint32_t size, const Bytes& payload);
    RiffBuilder& Fmt(const Format& f) { return Chunk("fmt ", FmtPayload(f)); }
    RiffBuilder& Data(const Bytes& samples) { return Chunk("data", samples); }
    RiffBuilder& Raw(const Bytes& bytes);

    // The whole file: "RIFF", size (the true one unless riffSize is given), form.
    Bytes Build(const char* form = "WAVE") const;
    Bytes Build(std::uint32_t riffSize, const char* form = "WAVE") const;

private:
    Bytes body_;
};

// A canonical 44-byte-header wave file.
Bytes MakeWave(const Format& f, const Bytes& samples);

// Deterministic pseudo-random sample bytes (whole frames of the format).
Bytes NoiseSamples(const Format& f, std::size_t frames, std::uint32_t seed = 1);

// A temporary folder removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    std::string Write(const std::string& name, const Bytes& bytes) const;
    // A wave file whose data chunk claims `dataBytes` of silence that the
    // file system holds as a hole: a long recording without a large disk.
    std::string WriteSparseWave(const std::string& name, const Format& f, std::uint32_t dataBytes) const;

private:
    std::string path_;
};

Bytes ReadAll(const std::string& path);

}  // namespace sonivel::test
