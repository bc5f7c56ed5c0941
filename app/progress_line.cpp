// The converter's progress line: the files and megabytes done, the time
// and the estimate, laid out to the terminal's width and redrawn in place.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <vector>

#include "console.h"
#include "convert_batch.h"
#include "convert_texts.h"
#include "position.h"

namespace sonivel::convert {
namespace {

// Characters on screen, for UTF-8 text.
int Width(const std::string& text) {
    int n = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

std::string Megabytes(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / 1e6);
    return text;
}

}  // namespace

std::string ProgressText(int filesDone, int filesTotal, std::uint64_t bytesDone, std::uint64_t bytesTotal,
                         double elapsed, int columns) {
    const double fraction = bytesTotal > 0 ? static_cast<double>(bytesDone) / static_cast<double>(bytesTotal)
                            : filesTotal > 0 ? static_cast<double>(filesDone) / filesTotal
                                             : 1.0;
    const int percent = std::clamp(static_cast<int>(fraction * 100), 0, 100);
    const auto percentText = [](int p) {
        char text[8];
        std::snprintf(text, sizeof text, "%3d%%", p);
        return std::string(text);
    };
    // Counts so far are right-aligned under their totals' width.
    const auto aligned = [](const std::string& now, const std::string& total) {
        return std::string(static_cast<std::size_t>(std::max(Width(total) - Width(now), 0)), ' ') + now;
    };
    // The percentage stands after the data it counts.
    const auto bytesText = [&](std::uint64_t done, int p) {
        return aligned(Megabytes(done), Megabytes(bytesTotal)) + "/" + Megabytes(bytesTotal) + " MB " + percentText(p);
    };
    const std::string files =
        Format(kProgressFiles, {aligned(std::to_string(filesDone), std::to_string(filesTotal)), std::to_string(filesTotal)});
    const std::string bytes = bytesText(bytesDone, percent);
    const std::string time = FormatTime(elapsed);
    const std::string estimate =
        fraction > 0 && fraction < 1 ? Format(kEstimate, {FormatTime(elapsed * (1 - fraction) / fraction)}) : "";
    // Each part as wide as it can get in this run (the counts at their
    // totals, times under ten hours): the layout a width allows is then the
    // same for every frame, and a part never moves.
    const int widths[] = {Width(Format(kProgressFiles, {std::to_string(filesTotal), std::to_string(filesTotal)})),
                          Width(bytesText(bytesTotal, 100)), Width(FormatTime(35999.9)),
                          Width(Format(kEstimate, {FormatTime(35999.9)}))};
    const std::string parts[] = {files, bytes, time, estimate};
    // The layouts, best first: all four, then without the estimate, the
    // time, the file count; each with the bar where there is room for it.
    const std::vector<std::vector<int>> layouts = {{0, 1, 2, 3}, {0, 1, 2}, {0, 1}, {1}};
    const int room = std::max(columns - 1, 1);
    for (const std::vector<int>& layout : layouts) {
        int width = 0;
        for (int i : layout) width += widths[i] + (width ? 2 : 0);
        if (width > room) continue;
        std::string line;
        for (int i : layout) {
            if (!line.empty()) line += "  ";
            line += parts[i] + std::string(static_cast<std::size_t>(std::max(widths[i] - Width(parts[i]), 0)), ' ');
        }
        const int left = room - width - 3;
        if (left >= 10) {
            const int barWidth = std::min(left, 40);
            const int filled = static_cast<int>(fraction * barWidth);
            line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                   std::string(static_cast<std::size_t>(barWidth - filled), '.') + "] " + line;
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        return line;
    }
    return percentText(percent).substr(0, static_cast<std::size_t>(room));
}

double ProgressLine::Elapsed() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
}

void ProgressLine::Draw(int filesDone, int filesTotal, std::uint64_t bytesDone, std::uint64_t bytesTotal) {
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - drawnAt_ < std::chrono::milliseconds(100)) return;
    bytesShown_ = std::max(bytesShown_, std::min(bytesDone, bytesTotal));
    std::cerr << "\r" << ProgressText(filesDone, filesTotal, bytesShown_, bytesTotal, Elapsed(), TerminalColumns())
              << "\x1b[K" << std::flush;
    drawn_ = true;
    drawnAt_ = now;
}

void ProgressLine::Clear() {
    if (drawn_) std::cerr << "\r\x1b[K" << std::flush;
    drawn_ = false;
}

}  // namespace sonivel::convert
