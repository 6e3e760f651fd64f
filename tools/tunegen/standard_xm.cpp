// The standard XM layout, little-endian, as trackers write it.
#include "standard_xm.h"

#include <cstring>

namespace {

const uint32_t kHeaderSize = 276;     // from the header size field to the end of the order table
const uint32_t kInstrumentSize = 263; // with the reserved tail
const uint32_t kSampleHeaderSize = 40;

class Writer {
  public:
    void Byte(uint32_t value) { bytes_.push_back(static_cast<uint8_t>(value)); }
    void Word(uint32_t value) {
        Byte(value);
        Byte(value >> 8);
    }
    void Dword(uint32_t value) {
        Word(value);
        Word(value >> 16);
    }
    // `size` bytes: the text, then zero bytes.
    void Text(const std::string& text, size_t size) {
        for (size_t i = 0; i < size; ++i) Byte(i < text.size() ? text[i] : 0);
    }
    void Zeros(size_t count) { bytes_.insert(bytes_.end(), count, 0); }
    std::vector<uint8_t>& Bytes() { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
};

void WriteHeader(const Score& score, Writer& out) {
    out.Text("Extended Module: ", 17);
    out.Text(score.title, 20);
    out.Byte(0x1A);
    out.Text("linkmend tunegen", 20);
    out.Word(0x0104);
    out.Dword(kHeaderSize);
    out.Word(static_cast<uint32_t>(score.order.size()));
    out.Word(0); // restart position
    out.Word(static_cast<uint32_t>(score.channels.size()));
    out.Word(static_cast<uint32_t>(score.patterns.size()));
    out.Word(static_cast<uint32_t>(score.instruments.size()));
    out.Word(0); // Amiga frequency table
    out.Word(static_cast<uint32_t>(score.speed));
    out.Word(static_cast<uint32_t>(score.bpm));
    for (size_t i = 0; i < 256; ++i) out.Byte(i < score.order.size() ? score.order[i] : 0);
}

// A cell with every field is written whole; any other cell as a mask byte and its fields.
void PackCell(const ScoreCell& cell, std::vector<uint8_t>& data) {
    const uint8_t fields[5] = {cell.note, cell.instrument, cell.volume, cell.effect,
                               cell.parameter};
    uint8_t mask = 0;
    for (int i = 0; i < 5; ++i)
        if (fields[i] != 0) mask |= static_cast<uint8_t>(1 << i);
    if (mask == 0x1F) {
        data.insert(data.end(), fields, fields + 5);
        return;
    }
    data.push_back(static_cast<uint8_t>(0x80 | mask));
    for (int i = 0; i < 5; ++i)
        if (fields[i] != 0) data.push_back(fields[i]);
}

void WritePattern(const ScorePattern& pattern, Writer& out) {
    std::vector<uint8_t> data;
    for (const ScoreCell& cell : pattern.cells) PackCell(cell, data);
    out.Dword(9); // pattern header length
    out.Byte(0);  // packing type
    out.Word(kPatternRows);
    out.Word(static_cast<uint32_t>(data.size()));
    out.Bytes().insert(out.Bytes().end(), data.begin(), data.end());
}

// Instrument header, its one sample header and the sample's data as 8-bit differences.
void WriteInstrument(const ScoreInstrument& instrument, const SynthSample& sample, Writer& out) {
    out.Dword(kInstrumentSize);
    out.Text(instrument.name, 22);
    out.Byte(0); // instrument type
    out.Word(1); // one sample
    out.Dword(kSampleHeaderSize);
    out.Zeros(96); // every note plays sample 0
    out.Zeros(96); // volume and panning envelope points
    out.Zeros(10); // point counts, sustain and loop points, envelope types: all off
    out.Zeros(4);  // auto-vibrato off
    out.Word(0);   // no fade-out
    out.Zeros(kInstrumentSize - 241);

    const uint32_t length = static_cast<uint32_t>(sample.frames.size());
    out.Dword(length);
    out.Dword(sample.loopStart);
    out.Dword(sample.loopLength);
    out.Byte(sample.volume);
    out.Byte(static_cast<uint8_t>(sample.finetune));
    out.Byte(sample.loopLength > 0 ? 1 : 0); // forward loop or none, 8-bit
    out.Byte(sample.panning);
    out.Byte(static_cast<uint8_t>(sample.relativeNote));
    out.Byte(0); // not packed
    out.Text(instrument.name, 22);

    int8_t previous = 0;
    for (int8_t frame : sample.frames) {
        out.Byte(static_cast<uint8_t>(frame - previous));
        previous = frame;
    }
}

} // namespace

std::vector<uint8_t> WriteStandardXm(const Score& score, const std::vector<SynthSample>& samples) {
    Writer out;
    WriteHeader(score, out);
    for (const ScorePattern& pattern : score.patterns) WritePattern(pattern, out);
    for (size_t i = 0; i < score.instruments.size(); ++i)
        WriteInstrument(score.instruments[i], samples[i], out);
    return out.Bytes();
}
