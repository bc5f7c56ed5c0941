#include "wave_builder.h"

#include "wavefmt.h"

#include <algorithm>
#include <random>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace sonivel::test {

void Put16(Bytes& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutId(Bytes& b, const char* id) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(id[i]));
}

Bytes FmtPayload(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                 std::uint32_t byteRate, std::uint16_t blockAlign, std::uint16_t bits) {
    Bytes p;
    Put16(p, tag);
    Put16(p, channels);
    Put32(p, rate);
    Put32(p, byteRate);
    Put16(p, blockAlign);
    Put16(p, bits);
    return p;
}

Bytes FmtPayload(const Format& f) {
    return FmtPayload(f.tag, f.channels, f.rate, f.ByteRate(), f.BlockAlign(), f.bits);
}

Bytes ExtensibleFmtPayload(const Format& f, std::uint16_t subFormat, std::uint16_t validBits) {
    Bytes p = FmtPayload(0xFFFE, f.channels, f.rate, f.ByteRate(), f.BlockAlign(), f.bits);
    Put16(p, 22);
    Put16(p, validBits ? validBits : f.bits);
    Put32(p, f.channels == 2 ? 3u : 4u);  // front left and right, or front centre
    Put16(p, subFormat);
    for (const std::uint8_t b : {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71})
        p.push_back(b);
    return p;
}

RiffBuilder& RiffBuilder::Chunk(const char* id, const Bytes& payload, bool pad) {
    PutId(body_, id);
    Put32(body_, static_cast<std::uint32_t>(payload.size()));
    body_.insert(body_.end(), payload.begin(), payload.end());
    if (pad && (payload.size() & 1)) body_.push_back(0);
    return *this;
}

RiffBuilder& RiffBuilder::ChunkWithSize(const char* id, std::uint32_t size, const Bytes& payload) {
    PutId(body_, id);
    Put32(body_, size);
    body_.insert(body_.end(), payload.begin(), payload.end());
    return *this;
}

RiffBuilder& RiffBuilder::Raw(const Bytes& bytes) {
    body_.insert(body_.end(), bytes.begin(), bytes.end());
    return *this;
}

Bytes RiffBuilder::Build(const char* form) const {
    return Build(static_cast<std::uint32_t>(body_.size() + 4), form);
}

Bytes RiffBuilder::Build(std::uint32_t riffSize, const char* form) const {
    Bytes file;
    PutId(file, "RIFF");
    Put32(file, riffSize);
    PutId(file, form);
    file.insert(file.end(), body_.begin(), body_.end());
    return file;
}

Bytes MakeWave(const Format& f, const Bytes& samples) {
    return RiffBuilder().Fmt(f).Data(samples).Build();
}

Bytes NoiseSamples(const Format& f, std::size_t frames, std::uint32_t seed) {
    Bytes out(frames * f.BlockAlign());
    std::uint32_t x = seed * 2654435761u + 12345u;
    for (auto& byte : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        byte = static_cast<std::uint8_t>(x >> 11);
    }
    return out;
}

TempDir::TempDir() {
#ifdef _WIN32
    // No mkdtemp: a random name, made only if it is not there yet.
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const auto candidate = std::filesystem::temp_directory_path() / ("sonivel-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) path_ = candidate.string();
    }
    if (path_.empty()) throw std::runtime_error("no temporary folder could be made");
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "sonivel-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
#endif
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::Write(const std::string& name, const Bytes& bytes) const {
    const std::string path = File(name);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::string TempDir::WriteSparseWave(const std::string& name, const Format& f, std::uint32_t dataBytes) const {
    Bytes header = MakeWave(f, Bytes());
    StoreLE32(&header[4], static_cast<std::uint32_t>(header.size()) - 8 + dataBytes);
    StoreLE32(&header[header.size() - 4], dataBytes);
    const std::string path = Write(name, header);
    std::filesystem::resize_file(path, header.size() + dataBytes);
    return path;
}

Bytes ReadAll(const std::string& path) {
    // In one read: byte by byte through a stream iterator is slow in
    // unoptimised builds, and the tests read whole converted trees.
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return {};
    Bytes bytes(static_cast<std::size_t>(std::max<std::streamoff>(in.tellg(), 0)));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return bytes;
}

}  // namespace sonivel::test
