// Walking an XM file part by part with the loader's rules, to find where its data ends and which
// texts it stores.
#include "file_layout.h"

#include <algorithm>
#include <cstdio>

namespace {

// The file's bytes, read as zero past its end as the loader reads them.
struct Walk {
    const std::string& bytes;
    XmFileLayout& layout;
    uint64_t position;

    uint8_t Byte(uint64_t at) const { return at < bytes.size() ? uint8_t(bytes[at]) : 0; }
    uint32_t Le(uint64_t at, int size) const {
        uint32_t value = 0;
        for (int i = size - 1; i >= 0; --i) value = value << 8 | Byte(at + i);
        return value;
    }
    std::string Text(uint64_t at, uint64_t size) const {
        if (at >= bytes.size()) return "";
        return bytes.substr(at, size);
    }
};

enum class Part { Pattern, Instrument, Sample };

// Records that a part ends at `end`; a part past the file's end is counted as cut.
void Need(Walk& walk, uint64_t end, Part kind, const std::string& name) {
    XmFileLayout& layout = walk.layout;
    if (end > layout.dataEnd) layout.dataEnd = end;
    if (end <= walk.bytes.size()) return;
    if (layout.firstCut.empty()) layout.firstCut = name;
    int& count = kind == Part::Pattern      ? layout.cutPatterns
                 : kind == Part::Instrument ? layout.cutInstruments
                                            : layout.cutSamples;
    ++count;
    if (kind != Part::Sample) layout.exact = false; // later sizes came from missing headers
}

// A stored pattern: its 9-byte header, then exactly rows x channels packed cells. Past the
// file's end each missing cell needs at least one byte.
void WalkPattern(Walk& walk, uint32_t number, uint32_t channels) {
    uint64_t start = walk.position;
    uint32_t rows = walk.Le(start + 5, 2);
    bool packed = walk.Le(start + 7, 2) != 0;
    walk.position += 9;
    uint64_t cells = packed ? uint64_t(rows) * channels : 0;
    for (; cells > 0 && walk.position < walk.bytes.size(); --cells) {
        uint8_t first = walk.Byte(walk.position);
        int present = 0;
        for (int bit = 0; bit < 5; ++bit) present += (first >> bit) & 1;
        walk.position += first & 0x80 ? 1 + present : 5;
    }
    walk.position += cells;
    Need(walk, walk.position, Part::Pattern, "pattern " + std::to_string(number));
}

uint64_t SampleDataBytes(const Walk& walk, uint64_t header) {
    uint32_t length = walk.Le(header, 4);
    bool sixteenBit = (walk.Byte(header + 14) >> 4) & 1;
    if (walk.Byte(header + 17) == 0xAD) return 16 + ((length >> sixteenBit) + 1) / 2;
    return length; // 16-bit data of an odd byte count still has its last byte read
}

void WalkInstrument(Walk& walk, uint32_t number) {
    XmFileLayout& layout = walk.layout;
    uint64_t start = walk.position;
    uint32_t size = walk.Le(start, 4);
    int count = walk.Byte(start + 27);
    uint32_t headerSize = count != 0 ? walk.Le(start + 29, 4) : 0;
    std::string name = "instrument " + std::to_string(number);
    layout.instrumentNames.push_back(size >= 26 ? walk.Text(start + 4, 22) : "");
    layout.sampleNames.emplace_back();
    uint64_t headEnd = start + (count != 0 ? 241 : 29);
    walk.position = start + size + uint64_t(count) * headerSize;
    Need(walk, headEnd > walk.position ? headEnd : walk.position, Part::Instrument, name);
    for (int k = 0; k < count; ++k) {
        uint64_t header = start + size + uint64_t(k) * headerSize;
        layout.sampleNames.back().push_back(
            headerSize > 18 ? walk.Text(header + 18, std::min<uint64_t>(headerSize - 18, 22)) : "");
        walk.position += SampleDataBytes(walk, header);
        Need(walk, walk.position, Part::Sample,
             "the data of sample " + std::to_string(k + 1) + " of " + name);
    }
}

std::string Counted(int count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

} // namespace

XmFileLayout WalkXmFile(const std::string& bytes) {
    XmFileLayout layout;
    Walk walk{bytes, layout, 0};
    layout.standardId = bytes.compare(0, 17, "Extended Module: ") == 0;
    layout.version = static_cast<uint16_t>(walk.Le(58, 2));
    layout.moduleName = walk.Text(17, 20);
    layout.trackerName = walk.Text(38, 20);
    uint32_t songLength = walk.Le(64, 2);
    layout.dataEnd = 80 + songLength;
    walk.position = 60 + uint64_t(walk.Le(60, 4));
    uint32_t channels = walk.Byte(68);
    for (uint32_t p = 0, stored = walk.Le(70, 2); p < stored; ++p) WalkPattern(walk, p, channels);
    for (uint32_t i = 1, count = walk.Byte(72); i <= count; ++i) WalkInstrument(walk, i);
    if (layout.dataEnd > bytes.size() && layout.firstCut.empty()) {
        layout.firstCut = "the order table";
        layout.exact = false;
    }
    return layout;
}

std::string CutShortText(const XmFileLayout& layout, uint64_t fileSize) {
    if (layout.dataEnd <= fileSize) return "";
    std::string lost;
    for (const std::string& part :
         {layout.cutPatterns ? Counted(layout.cutPatterns, "pattern", "patterns") : "",
          layout.cutInstruments
              ? Counted(layout.cutInstruments, "instrument header", "instrument headers")
              : "",
          layout.cutSamples ? Counted(layout.cutSamples, "sample's data", "samples' data") : ""})
        if (!part.empty()) lost += (lost.empty() ? "" : ", ") + part;
    return "the file ends " + std::string(layout.exact ? "" : "at least ") +
           std::to_string(layout.dataEnd - fileSize) + " bytes before its module does; lost from " +
           layout.firstCut + " on: " + lost + " (played as silence or empty)";
}

std::string VersionText(const XmFileLayout& layout) {
    if (!layout.standardId || layout.version == 0x0104) return "";
    char version[16];
    std::snprintf(version, sizeof version, "%u.%02x", layout.version >> 8, layout.version & 0xFF);
    return "the file is an XM of version " + std::string(version) +
           ", and only the version 1.04 layout is read";
}

std::string RefusalText(const std::string& rule, const XmFileLayout& layout) {
    std::string version = VersionText(layout);
    return version.empty() ? rule : version + " (" + rule + ")";
}

bool HasText(const std::string& text) {
    return text.find_first_not_of('\0') != std::string::npos;
}
