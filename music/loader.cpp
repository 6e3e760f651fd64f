// The module loader: walks an XM image (standard or compacted layout) front to back through the
// active source and builds the song, pattern, instrument and sample records on the player's heap.
// Whatever the file declares, every record access stays inside the blocks allocated for it.
#include "loader.h"
#include "sources.h"

#include <cstring>

namespace {

const uint32_t kLongestSample = 1u << 22; // frames
const int kEnvelopePoints = 12;
const int kMaxSamples = 16;
const uint32_t kLargestSampleHeader = 40;
const int kInstrumentHead = 33;  // Instrument size through Sample header size
const int kInstrumentBody = 208; // Sample number for all notes through Volume fadeout
const uint8_t kPackedSample = 0xAD;

// One load's own state, which the load owns and returns its outcome from.
struct ModuleLoad {
    LoadFailure failure;
    // Where the load stands in the module, counted here: the sources report nothing about short
    // reads, so a module that ends early is found by comparing this count with what the source
    // has.
    int64_t position;
    // The source is an image of sourceSize bytes (the source table says so); otherwise a file,
    // whose own position stays behind the count when a read came up short.
    bool imageOfKnownSize;
};

int Fail(ModuleLoad& load, LoadFailure why) {
    load.failure = why;
    return 0;
}

uint16_t Le16(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

uint32_t Le32(const uint8_t* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// Reads on at the load's position. Nothing is read from an image once the position has reached
// its end (a refused seek may have left the source elsewhere): the destination keeps its zero
// bytes, as for any byte the module lacks.
void Read(ModuleLoad& load, void* destination, uint32_t bytes) {
    if (!load.imageOfKnownSize || load.position < gPlayer.sourceSize)
        gPlayer.activeSource.read(destination, static_cast<int32_t>(bytes));
    load.position += bytes;
}

// True once a read asked for bytes beyond the module's end.
bool PastEnd(const ModuleLoad& load) {
    if (!load.imageOfKnownSize) return gPlayer.activeSource.seek(0, 1) < load.position;
    return load.position > gPlayer.sourceSize;
}

// Moves to `target`, counted from the module's start; false when no source can stand there.
// Seeking to an absolute position keeps the file source right even after a short read.
bool SeekTo(ModuleLoad& load, int64_t target) {
    if (target < 0 || target > INT32_MAX) return false;
    gPlayer.activeSource.seek(static_cast<int32_t>(target), 0);
    load.position = target;
    return true;
}

// How many bytes of the header block the module really had.
int64_t HeaderBytesPresent(const ModuleLoad& load) {
    if (!load.imageOfKnownSize) return gPlayer.activeSource.seek(0, 1);
    return gPlayer.sourceSize < kModuleHeaderBytes ? gPlayer.sourceSize : kModuleHeaderBytes;
}

// The bytes 0x20..0x7F of the 20-byte Module name, in order; zero bytes do not end the copy.
void CopyTitle(const uint8_t* name) {
    int length = 0;
    for (int i = 0; i < 20; ++i)
        if (name[i] >= 0x20 && name[i] <= 0x7F) gPlayer.songTitle[length++] = char(name[i]);
    gPlayer.songTitle[length] = 0;
}

// ---- Patterns.

void ReadCell(ModuleLoad& load, Cell& cell, uint8_t instrumentCount) {
    uint8_t fields[5] = {};
    Read(load, fields, 1);
    if (fields[0] & 0x80) {
        uint8_t present = fields[0];
        fields[0] = 0;
        for (int bit = 0; bit < 5; ++bit)
            if (present & (1 << bit)) Read(load, &fields[bit], 1);
    } else {
        Read(load, &fields[1], 4);
    }
    cell = Cell{fields[0], fields[1], fields[2], fields[3], fields[4]};
    if (cell.instrument > instrumentCount) cell.instrument = 0;
}

// Exactly rowCount x channelCount cells, whatever Packed pattern data size says. Cells beyond
// the module's end would read as zero bytes, that is as empty cells, so reading stops there.
void UnpackCells(ModuleLoad& load, Pattern& pattern) {
    const Song& song = gPlayer.song;
    Cell* cell = pattern.cells;
    for (uint32_t row = 0; row < pattern.rowCount && !PastEnd(load); ++row)
        for (uint32_t channel = 0; channel < song.channelCount; ++channel)
            ReadCell(load, *cell++, static_cast<uint8_t>(song.instrumentCount));
}

bool AllocateCells(Pattern& pattern) {
    pattern.cells = static_cast<Cell*>(
        PlayerAlloc(uint32_t(pattern.rowCount) * gPlayer.song.channelCount * sizeof(Cell)));
    return pattern.cells != nullptr;
}

// One stored pattern: the 9-byte header, whatever its length field says, then its cells.
int LoadPattern(ModuleLoad& load, Pattern& pattern) {
    uint8_t header[9] = {};
    Read(load, header, sizeof header);
    if (PastEnd(load)) return Fail(load, LoadFailure::Truncated);
    pattern.rowCount = Le16(header + 5);
    pattern.packedSize = Le16(header + 7);
    if (gPlayer.song.channelCount == 0) return Fail(load, LoadFailure::ChannelCount);
    if (pattern.rowCount == 0) return Fail(load, LoadFailure::EmptyPattern);
    if (!AllocateCells(pattern)) return Fail(load, LoadFailure::OutOfMemory);
    if (pattern.packedSize != 0) UnpackCells(load, pattern);
    return 1;
}

// ---- Instruments.

// Keeps an envelope within its 12 stored points and switches off an envelope of fewer than 2
// points. The sustain and loop indices stay as read: one at or past the count is never reached,
// so the envelope runs to its last point and holds there, and the envelope step ignores a loop
// whose start lies there.
void SecureEnvelope(uint8_t& count, uint8_t& type) {
    if (count > kEnvelopePoints) count = kEnvelopePoints;
    if (count < 2) type = 0;
}

void ReadEnvelope(EnvelopePoint* points, const uint8_t* bytes) {
    for (int i = 0; i < kEnvelopePoints; ++i)
        points[i] = EnvelopePoint{Le16(bytes + 4 * i), Le16(bytes + 4 * i + 2)};
}

// The 208 bytes from Sample number for all notes through Volume fadeout.
void ReadInstrumentBody(Instrument& instrument, const uint8_t* body) {
    for (int i = 0; i < 96; ++i) instrument.sampleMap[i] = body[i];
    ReadEnvelope(instrument.volumeEnvelope, body + 96);
    ReadEnvelope(instrument.panningEnvelope, body + 144);
    instrument.volumePointCount = body[192];
    instrument.panningPointCount = body[193];
    instrument.volumeSustain = body[194];
    instrument.volumeLoopStart = body[195];
    instrument.volumeLoopEnd = body[196];
    instrument.panningSustain = body[197];
    instrument.panningLoopStart = body[198];
    instrument.panningLoopEnd = body[199];
    instrument.volumeType = body[200];
    instrument.panningType = body[201];
    instrument.vibratoType = body[202];
    instrument.vibratoSweep = body[203];
    instrument.vibratoDepth = body[204];
    instrument.vibratoRate = body[205];
    instrument.fadeout = Le16(body + 206);
}

void FinishInstrument(Instrument& in) {
    in.fadeout = static_cast<uint16_t>(in.fadeout * 2);
    SecureEnvelope(in.volumePointCount, in.volumeType);
    SecureEnvelope(in.panningPointCount, in.panningType);
}

// ---- Samples.

// A sample header converted to frames, before its record exists.
struct SampleHeader {
    Sample fields;
    bool oddDataByte; // 16-bit data of an odd byte count: one byte follows the last frame
};

// No loop, or a loop inside the sample: the guard frame and every loop read stay in its slots.
void NormaliseLoop(Sample& sample) {
    if (sample.loopType == 0 || sample.loopLength == 0 || sample.loopStart >= sample.length) {
        sample.loopType = 0;
        sample.loopStart = 0;
        sample.loopLength = sample.length;
    } else if (sample.loopLength > sample.length - sample.loopStart) {
        sample.loopLength = sample.length - sample.loopStart;
    }
}

// `bytes` holds the header's first Sample header size bytes; the rest stays zero.
int ConvertSampleHeader(ModuleLoad& load, const uint8_t* bytes, SampleHeader& header) {
    Sample& sample = header.fields;
    sample.is16Bit = (bytes[14] >> 4) & 1;
    sample.length = Le32(bytes) >> sample.is16Bit;
    if (sample.length >= kLongestSample) return Fail(load, LoadFailure::SampleTooLong);
    sample.loopStart = Le32(bytes + 4) >> sample.is16Bit;
    sample.loopLength = Le32(bytes + 8) >> sample.is16Bit;
    sample.loopType = bytes[14] & 3;
    NormaliseLoop(sample);
    sample.volume = bytes[12];
    sample.finetune = static_cast<int8_t>(bytes[13]);
    sample.panning = bytes[15];
    sample.relativeNote = static_cast<int8_t>(bytes[16]);
    sample.packing = bytes[17];
    header.oddDataByte = sample.is16Bit && sample.packing != kPackedSample && (bytes[0] & 1);
    return 1;
}

// One block: the record, one zero frame before frame 0, then length + 3 frame slots.
Sample* AllocateSample(const Sample& fields) {
    uint32_t bytes = sizeof(Sample) + (fields.length + 4) * sizeof(int16_t);
    auto* block = static_cast<uint8_t*>(PlayerAlloc(bytes));
    if (block == nullptr) return nullptr;
    auto* sample = reinterpret_cast<Sample*>(block);
    *sample = fields;
    sample->data = reinterpret_cast<int16_t*>(block + sizeof(Sample)) + 1;
    return sample;
}

// 4-bit packed data, decoded forward in place: the packed bytes lie at the top of the frame
// area, where each decoded pair of frames lands below the bytes still to be read.
void DecodePacked(ModuleLoad& load, Sample& sample) {
    int8_t table[16] = {};
    Read(load, table, sizeof table);
    uint32_t packedBytes = (sample.length + 1) / 2;
    uint8_t* packed = reinterpret_cast<uint8_t*>(sample.data + sample.length + 3) - packedBytes;
    Read(load, packed, packedBytes);
    uint8_t value = 0;
    for (uint32_t i = 0; i < packedBytes; ++i) {
        uint8_t pair = packed[i];
        value = static_cast<uint8_t>(value + table[pair & 15]);
        sample.data[2 * i] = static_cast<int16_t>(static_cast<int8_t>(value) * 256);
        value = static_cast<uint8_t>(value + table[pair >> 4]);
        sample.data[2 * i + 1] = static_cast<int16_t>(static_cast<int8_t>(value) * 256);
    }
    // The last packed bytes still lie in the spare slots behind the decoded frames.
    for (uint32_t slot = 2 * packedBytes; slot < sample.length + 3; ++slot) sample.data[slot] = 0;
}

// 8-bit or 16-bit differences, read into the frame area and summed in place. The frame area
// holds little-endian 16-bit differences before the sum: 8-bit bytes are widened into them.
void DecodeDifferences(ModuleLoad& load, Sample& sample, bool oddDataByte) {
    auto* bytes = reinterpret_cast<uint8_t*>(sample.data);
    Read(load, bytes, sample.length << sample.is16Bit);
    if (oddDataByte) {
        uint8_t unused;
        Read(load, &unused, 1);
    }
    if (!sample.is16Bit)
        for (uint32_t i = sample.length; i-- > 0;) {
            bytes[2 * i + 1] = bytes[i];
            bytes[2 * i] = 0;
        }
    uint16_t sum = 0;
    for (uint32_t i = 0; i < sample.length; ++i) {
        sum = static_cast<uint16_t>(sum + (bytes[2 * i] | bytes[2 * i + 1] << 8));
        sample.data[i] = static_cast<int16_t>(sum);
    }
}

// The frame behind the loop end, towards which the mixer interpolates at the end of the loop.
void WriteGuardFrame(Sample& sample) {
    if (sample.length == 0) return;
    uint32_t end = sample.loopStart + sample.loopLength;
    if (sample.loopType == 1) sample.data[end] = sample.data[sample.loopStart];
    if (sample.loopType == 2) sample.data[end] = sample.data[end - 1];
}

// The sample headers behind an instrument header, then the data of each sample in turn.
int LoadSamples(ModuleLoad& load, Instrument& instrument, int count, uint32_t headerSize) {
    bool oddDataByte[kMaxSamples] = {};
    for (int k = 0; k < count; ++k) {
        uint8_t bytes[kLargestSampleHeader] = {};
        Read(load, bytes, headerSize);
        SampleHeader header = {};
        if (!ConvertSampleHeader(load, bytes, header)) return 0;
        instrument.samples[k] = AllocateSample(header.fields);
        if (instrument.samples[k] == nullptr) return Fail(load, LoadFailure::OutOfMemory);
        oddDataByte[k] = header.oddDataByte;
    }
    // Data beyond the module's end would decode to zero frames, which the samples hold already.
    for (int k = 0; k < count && !PastEnd(load); ++k) {
        Sample& sample = *instrument.samples[k];
        if (sample.packing == kPackedSample)
            DecodePacked(load, sample);
        else
            DecodeDifferences(load, sample, oddDataByte[k]);
        WriteGuardFrame(sample);
    }
    return 1;
}

int LoadInstrument(ModuleLoad& load, Instrument& instrument) {
    int64_t start = load.position;
    uint8_t head[kInstrumentHead] = {};
    Read(load, head, sizeof head);
    uint32_t instrumentSize = Le32(head);
    int count = head[27];
    uint32_t sampleHeaderSize = Le32(head + 29);
    if (count != 0) {
        if (sampleHeaderSize > kLargestSampleHeader)
            return Fail(load, LoadFailure::SampleHeaderSize);
        if (count > kMaxSamples) return Fail(load, LoadFailure::TooManySamples);
        uint8_t body[kInstrumentBody] = {};
        Read(load, body, sizeof body);
        ReadInstrumentBody(instrument, body);
    }
    // Over the reserved tail, or back when the header is shorter than what was read.
    if (!SeekTo(load, start + instrumentSize)) return Fail(load, LoadFailure::Truncated);
    FinishInstrument(instrument);
    if (count == 0) return 1;
    return LoadSamples(load, instrument, count, sampleHeaderSize);
}

// ---- The song.

// Song fields from the header block; channelCount is 0 when the module declares too many.
void ReadSongFields(const uint8_t* header) {
    Song& song = gPlayer.song;
    song.songLength = Le16(header + 64);
    song.restartPosition = Le16(header + 66);
    song.channelCount = header[68] > kChannelCount ? 0 : header[68];
    song.instrumentCount = header[72];
    song.flags = Le16(header + 74);
    song.defaultTempo = Le16(header + 76);
    song.defaultBpm = Le16(header + 78);
    for (int i = 0; i < 256; ++i) song.orderTable[i] = header[80 + i];
}

int AllocateTables(ModuleLoad& load, uint16_t storedPatterns) {
    Song& song = gPlayer.song;
    int highest = 0;
    for (int i = 0; i < song.songLength; ++i)
        if (song.orderTable[i] > highest) highest = song.orderTable[i];
    song.patternCount =
        static_cast<uint16_t>(highest + 1 > storedPatterns ? highest + 1 : storedPatterns);
    uint32_t patternBytes = song.patternCount * uint32_t(sizeof(Pattern));
    auto* block = static_cast<uint8_t*>(
        PlayerAlloc(patternBytes + song.instrumentCount * uint32_t(sizeof(Instrument))));
    if (block == nullptr) return Fail(load, LoadFailure::OutOfMemory);
    song.patterns = reinterpret_cast<Pattern*>(block);
    song.instruments = reinterpret_cast<Instrument*>(block + patternBytes);
    return 1;
}

// Patterns that exist only because the order table names them: 64 empty rows each.
int AddNamedPatterns(ModuleLoad& load, uint16_t storedPatterns) {
    Song& song = gPlayer.song;
    for (uint32_t number = storedPatterns; number < song.patternCount; ++number) {
        Pattern& pattern = song.patterns[number];
        pattern.rowCount = 64;
        pattern.packedSize = 0;
        if (!AllocateCells(pattern)) return Fail(load, LoadFailure::OutOfMemory);
    }
    return 1;
}

// Steps 1 to 11 of the load; zero when it fails, with the reason in load.failure.
int LoadRecords(ModuleLoad& load) {
    uint8_t* header = gPlayer.song.header;
    // Header bytes the module lacks count as zero, whatever the block held before.
    int64_t headerBytes = HeaderBytesPresent(load);
    if (headerBytes < 0) headerBytes = 0;
    std::memset(header + headerBytes, 0, size_t(kModuleHeaderBytes - headerBytes));
    CopyTitle(header + 17);
    if (headerBytes < 80) return Fail(load, LoadFailure::Truncated);
    if (!SeekTo(load, 60 + int64_t(Le32(header + 60)))) return Fail(load, LoadFailure::Truncated);
    ReadSongFields(header);
    Song& song = gPlayer.song;
    if (song.songLength == 0 || song.songLength > 256) return Fail(load, LoadFailure::SongLength);
    uint16_t storedPatterns = Le16(header + 70);
    if (!AllocateTables(load, storedPatterns)) return 0;
    if (storedPatterns == 0) return Fail(load, LoadFailure::NoPatterns);
    for (uint32_t number = 0; number < storedPatterns; ++number)
        if (!LoadPattern(load, song.patterns[number])) return 0;
    if (!AddNamedPatterns(load, storedPatterns)) return 0;
    // Instruments beyond the module's end would read as zero bytes: empty, as they are already.
    for (uint32_t number = 0; number < song.instrumentCount && !PastEnd(load); ++number)
        if (!LoadInstrument(load, song.instruments[number])) return 0;
    return 1;
}

} // namespace

LoadFailure ReadModule() {
    ModuleLoad load = {LoadFailure::None, kModuleHeaderBytes,
                       gPlayer.activeSource.imageOfKnownSize != 0};
    LoadRecords(load);
    return load.failure;
}

int LoadModule() {
    return ReadModule() == LoadFailure::None ? 1 : 0;
}
