// Walking an XM file part by part with the loader's rules, to find where its data ends, which
// parts the song can use and which texts it stores.
#include "file_layout.h"

#include <algorithm>
#include <cstdio>

namespace {

const uint64_t kNameBytes = 22;

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
    // A name field of which the file stores `size` bytes at `at`, filled out with zero bytes.
    std::string Name(uint64_t at, uint64_t size) const {
        std::string name = Text(at, std::min(size, kNameBytes));
        name.resize(kNameBytes, '\0');
        return name;
    }
};

enum class Part { Orders, Pattern, Instrument, Sample };

// Records that a part ends at `end`. A part the file lacks bytes of is lost when the song uses
// it.
void Need(Walk& walk, uint64_t end, Part kind, bool used, const std::string& name) {
    XmFileLayout& layout = walk.layout;
    if (end > layout.dataEnd) layout.dataEnd = end;
    if (end <= walk.bytes.size()) return;
    // Past a missing cell or instrument header, sizes come from missing bytes.
    if (kind == Part::Pattern || kind == Part::Instrument) layout.exact = false;
    if (!used) return;
    if (layout.firstLost.empty()) layout.firstLost = name;
    layout.lostOrders |= kind == Part::Orders;
    layout.lostPatterns += kind == Part::Pattern;
    layout.lostInstruments += kind == Part::Instrument;
    layout.lostSamples += kind == Part::Sample;
}

// Where the file stops, when the part that ends at `end` is the first it lacks bytes of.
void NoteStop(Walk& walk, uint64_t end, const std::string& where) {
    if (end > walk.bytes.size() && walk.layout.unusedTail.empty())
        walk.layout.unusedTail = "the file stops " + where + ", so the song misses nothing";
}

void NoteInstrument(Walk& walk, uint8_t number) {
    std::vector<bool>& named = walk.layout.instrumentNamed;
    if (number >= 1 && number <= named.size()) named[number - 1] = true;
}

// The packed cell at `at`: notes the instrument it names; returns where the next cell starts.
uint64_t WalkCell(Walk& walk, uint64_t at) {
    uint8_t first = walk.Byte(at);
    if (!(first & 0x80)) {
        NoteInstrument(walk, walk.Byte(at + 1));
        return at + 5;
    }
    if (first & 2) NoteInstrument(walk, walk.Byte(at + 1 + (first & 1)));
    int present = 0;
    for (int bit = 0; bit < 5; ++bit) present += (first >> bit) & 1;
    return at + 1 + present;
}

// A stored pattern: its 9-byte header, then exactly rows x channels packed cells. Past the
// file's end each missing cell needs at least one byte and names no instrument.
void WalkPattern(Walk& walk, uint32_t number, uint32_t channels) {
    uint64_t start = walk.position;
    uint32_t rows = walk.Le(start + 5, 2);
    bool packed = walk.Le(start + 7, 2) != 0;
    walk.position += 9;
    uint64_t cells = packed ? uint64_t(rows) * channels : 0;
    for (; cells > 0 && walk.position < walk.bytes.size(); --cells)
        walk.position = WalkCell(walk, walk.position);
    walk.position += cells;
    std::string name = "pattern " + std::to_string(number);
    // Only the last stored pattern of a module that loads can lack bytes, and with it every
    // instrument.
    NoteStop(walk, walk.position,
             "inside " + name + ", which the song does not play; no pattern names an instrument");
    Need(walk, walk.position, Part::Pattern, walk.layout.patternPlayed[number], name);
}

// The data bytes of the sample whose header of `headerSize` bytes starts at `header`. Fields
// beyond the header's size are zero, as the loader leaves them.
uint64_t SampleDataBytes(const Walk& walk, uint64_t header, uint32_t headerSize) {
    auto field = [&](uint32_t offset) -> uint32_t {
        return offset < headerSize ? walk.Byte(header + offset) : 0;
    };
    uint32_t length = field(0) | field(1) << 8 | field(2) << 16 | field(3) << 24;
    bool sixteenBit = (field(14) >> 4) & 1;
    if (field(17) == 0xAD) return 16 + ((length >> sixteenBit) + 1) / 2;
    return length; // 16-bit data of an odd byte count still has its last byte read
}

// Instrument `number` of `instruments`: its header, sample headers and sample data.
void WalkInstrument(Walk& walk, uint32_t number, uint32_t instruments) {
    XmFileLayout& layout = walk.layout;
    uint64_t start = walk.position;
    uint32_t size = walk.Le(start, 4);
    int count = walk.Byte(start + 27);
    uint32_t headerSize = count != 0 ? walk.Le(start + 29, 4) : 0;
    bool used = layout.instrumentNamed[number - 1];
    std::string name = "instrument " + std::to_string(number);
    layout.instrumentNames.push_back(walk.Name(start + 4, size >= 26 ? kNameBytes : 0));
    layout.sampleNames.emplace_back();
    uint64_t headEnd = start + (count != 0 ? 241 : 29);
    walk.position = start + size + uint64_t(count) * headerSize;
    uint64_t end = std::max(headEnd, walk.position);
    Need(walk, end, Part::Instrument, used, name);
    for (int k = 0; k < count; ++k) {
        uint64_t header = start + size + uint64_t(k) * headerSize;
        layout.sampleNames.back().push_back(
            walk.Name(header + 18, headerSize - std::min(headerSize, 18u)));
        walk.position += SampleDataBytes(walk, header, headerSize);
        end = std::max(end, walk.position);
        Need(walk, walk.position, Part::Sample, used,
             "the data of sample " + std::to_string(k + 1) + " of " + name);
    }
    NoteStop(walk, end,
             (start < walk.bytes.size() ? "inside " : "before ") + name + " of " +
                 std::to_string(instruments) + "; no pattern names it" +
                 (number < instruments ? " or any instrument after it" : ""));
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
    uint32_t songLength = walk.Le(64, 2), stored = walk.Le(70, 2), instruments = walk.Byte(72);
    layout.patternPlayed.assign(stored, false);
    for (uint32_t i = 0; i < songLength && i < 256; ++i)
        if (walk.Byte(80 + i) < stored) layout.patternPlayed[walk.Byte(80 + i)] = true;
    layout.instrumentNamed.assign(instruments, false);
    Need(walk, 80 + songLength, Part::Orders, true, "the order table");
    walk.position = 60 + uint64_t(walk.Le(60, 4));
    uint32_t channels = walk.Byte(68);
    for (uint32_t p = 0; p < stored; ++p) WalkPattern(walk, p, channels);
    for (uint32_t i = 1; i <= instruments; ++i) WalkInstrument(walk, i, instruments);
    return layout;
}

std::string CutShortText(const XmFileLayout& layout, uint64_t fileSize) {
    if (layout.dataEnd <= fileSize || layout.firstLost.empty()) return "";
    std::string lost;
    for (const std::string& part :
         {std::string(layout.lostOrders ? "order entries" : ""),
          layout.lostPatterns ? Counted(layout.lostPatterns, "pattern", "patterns") : "",
          layout.lostInstruments
              ? Counted(layout.lostInstruments, "instrument header", "instrument headers")
              : "",
          layout.lostSamples ? Counted(layout.lostSamples, "sample's data", "samples' data") : ""})
        if (!part.empty()) lost += (lost.empty() ? "" : ", ") + part;
    return "the file ends " + std::string(layout.exact ? "" : "at least ") +
           std::to_string(layout.dataEnd - fileSize) + " bytes before its module does; lost from " +
           layout.firstLost + " on: " + lost + " (played as silence or empty)";
}

std::string TrimmedTailText(const XmFileLayout& layout, uint64_t fileSize) {
    if (layout.dataEnd <= fileSize || !layout.firstLost.empty()) return "";
    return layout.unusedTail;
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
