// From loaded records back to the description of an XM image.
#include "snapshot_spec.h"

#include <cstring>

namespace {

const uint8_t kPackedSample = 0xAD;

std::string EncodeFrames(const SampleSnapshot& sample) {
    const Sample& fields = sample.fields;
    if (fields.packing != kPackedSample)
        return fields.is16Bit ? EncodeDifferences16(sample.Data(), fields.length)
                              : EncodeDifferences8(sample.Data(), fields.length);
    // Packed data decodes to an even count of frames; a guard frame inside them is rewritten
    // by every load, so its own value is free.
    size_t decoded = (fields.length + 1) / 2 * 2;
    bool guarded = fields.length != 0 && (fields.loopType == 1 || fields.loopType == 2);
    size_t guard = guarded ? fields.loopStart + fields.loopLength : decoded;
    return EncodePacked(sample.Data(), decoded, guard);
}

XmSampleSpec DescribeSample(const SampleSnapshot& sample) {
    const Sample& fields = sample.fields;
    XmSampleSpec spec;
    spec.length = fields.length << fields.is16Bit;
    if (fields.loopType != 0) {
        spec.loopStart = fields.loopStart << fields.is16Bit;
        spec.loopLength = fields.loopLength << fields.is16Bit;
    }
    spec.volume = fields.volume;
    spec.finetune = fields.finetune;
    spec.type = static_cast<uint8_t>(fields.loopType | fields.is16Bit << 4);
    spec.panning = fields.panning;
    spec.relativeNote = fields.relativeNote;
    spec.packing = fields.packing;
    spec.data = EncodeFrames(sample);
    return spec;
}

void DescribeEnvelope(XmEnvelopeSpec& spec, const EnvelopePoint* points, uint8_t count,
                      uint8_t sustain, uint8_t loopStart, uint8_t loopEnd, uint8_t type) {
    std::memcpy(spec.points, points, sizeof spec.points);
    spec.count = count;
    spec.sustain = sustain;
    spec.loopStart = loopStart;
    spec.loopEnd = loopEnd;
    spec.type = type;
}

XmInstrumentSpec DescribeInstrument(const InstrumentSnapshot& instrument) {
    const Instrument& fields = instrument.fields;
    XmInstrumentSpec spec;
    std::memcpy(spec.sampleMap, fields.sampleMap, sizeof spec.sampleMap);
    DescribeEnvelope(spec.volume, fields.volumeEnvelope, fields.volumePointCount,
                     fields.volumeSustain, fields.volumeLoopStart, fields.volumeLoopEnd,
                     fields.volumeType);
    DescribeEnvelope(spec.panning, fields.panningEnvelope, fields.panningPointCount,
                     fields.panningSustain, fields.panningLoopStart, fields.panningLoopEnd,
                     fields.panningType);
    spec.vibratoType = fields.vibratoType;
    spec.vibratoSweep = fields.vibratoSweep;
    spec.vibratoDepth = fields.vibratoDepth;
    spec.vibratoRate = fields.vibratoRate;
    spec.fadeout = static_cast<uint16_t>(fields.fadeout / 2); // the load doubles it again
    for (const SampleSnapshot& sample : instrument.samples)
        spec.samples.push_back(DescribeSample(sample));
    return spec;
}

XmPatternSpec DescribePattern(const PatternSnapshot& pattern) {
    XmPatternSpec spec;
    spec.rows = pattern.rowCount;
    spec.data = PackCells(pattern.cells.data(), pattern.cells.size());
    if (spec.data.find_first_not_of('\x80') == std::string::npos) spec.data.clear();
    if (spec.data.size() > 0xFFFF) spec.packedSizeField = 0xFFFF; // any nonzero size reads all
    return spec;
}

} // namespace

XmModuleSpec SpecFromSnapshot(const ModuleSnapshot& module, XmLayout layout) {
    XmModuleSpec spec;
    spec.layout = layout;
    spec.name = module.title;
    spec.orders = module.orders;
    spec.restartPosition = module.restartPosition;
    spec.channels = static_cast<uint16_t>(module.channelCount);
    spec.flags = module.flags;
    spec.tempo = module.defaultTempo;
    spec.bpm = module.defaultBpm;
    for (const PatternSnapshot& pattern : module.patterns)
        spec.patterns.push_back(DescribePattern(pattern));
    for (const InstrumentSnapshot& instrument : module.instruments)
        spec.instruments.push_back(DescribeInstrument(instrument));
    return spec;
}
