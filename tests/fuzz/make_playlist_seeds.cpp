// Seeds for the playlist fuzzer: the line endings and corner cases of the format.
#include <cstdio>
#include <string>

using namespace std::string_literals;

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string seeds[] = {"C:\\a.wav\r\nC:\\b.wav\r\n"s, "/a.wav\n/b.wav\n"s, "/a.wav\r/b.wav\r"s,
                                 "A\r\n\r\nB"s, "A\n\rB"s, "A\r\nB\r\n\r\n"s, ""s, "only"s,
                                 "x\0y\r\n"s, "\xc3\xa9t\xc3\xa9.wav\r\n"s,
                                 // other players' lists
                                 "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:12,A\r\nsub/a.wav\r\n../b.wav\r\n"s,
                                 "file:///music/caf%C3%A9.wav\nfile://localhost/x%0Ay.wav\nfile:relative\n"s,
                                 "caf\xe9.wav\n  spaced.wav \nC:\\Music\\c.wav\n"s,
                                 "[playlist]\nFile10=ten.wav\nFile2=two.wav\nfile1 = one.wav\nNumberOfEntries=3\n"s};
    int n = 0;
    for (const std::string& s : seeds) {
        const std::string path = std::string(argv[1]) + "/seed" + std::to_string(n++);
        if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
            std::fwrite(s.data(), 1, s.size(), f);
            std::fclose(f);
        }
    }
    std::printf("%d seeds written to %s\n", n, argv[1]);
    return 0;
}
