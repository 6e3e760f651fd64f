// From loaded records back to the description of an XM image.
#include "snapshot_plan.h"
#include "module_image.h"

#include <cstring>

namespace {

const uint8_t kPackedSample = 0xAD;

std::string Counted(size_t count, const std::string& thing) {
    return std::to_string(count) + " " + thing + (count == 1 ? "" : "s");
}

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

XmSamplePlan DescribeSample(const SampleSnapshot& sample) {
    const Sample& fields = sample.fields;
    XmSamplePlan plan;
    plan.length = fields.length << fields.is16Bit;
    if (fields.loopType != 0) {
        plan.loopStart = fields.loopStart << fields.is16Bit;
        plan.loopLength = fields.loopLength << fields.is16Bit;
    }
    plan.volume = fields.volume;
    plan.finetune = fields.finetune;
    plan.type = static_cast<uint8_t>(fields.loopType | fields.is16Bit << 4);
    plan.panning = fields.panning;
    plan.relativeNote = fields.relativeNote;
    plan.packing = fields.packing;
    plan.data = EncodeFrames(sample);
    return plan;
}

void DescribeEnvelope(XmEnvelopePlan& plan, const EnvelopePoint* points, uint8_t count,
                      uint8_t sustain, uint8_t loopStart, uint8_t loopEnd, uint8_t type) {
    std::memcpy(plan.points, points, sizeof plan.points);
    plan.count = count;
    plan.sustain = sustain;
    plan.loopStart = loopStart;
    plan.loopEnd = loopEnd;
    plan.type = type;
}

XmInstrumentPlan DescribeInstrument(const InstrumentSnapshot& instrument) {
    const Instrument& fields = instrument.fields;
    XmInstrumentPlan plan;
    std::memcpy(plan.sampleMap, fields.sampleMap, sizeof plan.sampleMap);
    DescribeEnvelope(plan.volume, fields.volumeEnvelope, fields.volumePointCount,
                     fields.volumeSustain, fields.volumeLoopStart, fields.volumeLoopEnd,
                     fields.volumeType);
    DescribeEnvelope(plan.panning, fields.panningEnvelope, fields.panningPointCount,
                     fields.panningSustain, fields.panningLoopStart, fields.panningLoopEnd,
                     fields.panningType);
    plan.vibratoType = fields.vibratoType;
    plan.vibratoSweep = fields.vibratoSweep;
    plan.vibratoDepth = fields.vibratoDepth;
    plan.vibratoRate = fields.vibratoRate;
    plan.fadeout = static_cast<uint16_t>(fields.fadeout / 2); // the load doubles it again
    for (const SampleSnapshot& sample : instrument.samples)
        plan.samples.push_back(DescribeSample(sample));
    return plan;
}

XmPatternPlan DescribePattern(const PatternSnapshot& pattern) {
    XmPatternPlan plan;
    plan.rows = pattern.rowCount;
    plan.data = PackCells(pattern.cells.data(), pattern.cells.size());
    if (plan.data.find_first_not_of('\x80') == std::string::npos) plan.data.clear();
    if (plan.data.size() > 0xFFFF) plan.packedSizeField = 0xFFFF; // any nonzero size reads all
    return plan;
}

} // namespace

XmModulePlan PlanFromSnapshot(const ModuleSnapshot& module, XmLayout layout) {
    XmModulePlan plan;
    plan.layout = layout;
    plan.name = module.title;
    plan.orders = module.orders;
    plan.restartPosition = module.restartPosition;
    plan.channels = static_cast<uint16_t>(module.channelCount);
    plan.flags = module.flags;
    plan.tempo = module.defaultTempo;
    plan.bpm = module.defaultBpm;
    for (const PatternSnapshot& pattern : module.patterns)
        plan.patterns.push_back(DescribePattern(pattern));
    for (const InstrumentSnapshot& instrument : module.instruments)
        plan.instruments.push_back(DescribeInstrument(instrument));
    return plan;
}

void KeepFileTexts(XmModulePlan& plan, const XmFileLayout& file, const std::string& bytes) {
    plan.name = file.moduleName;
    if (plan.layout != XmLayout::Standard) return;
    if (HasText(file.trackerName)) plan.trackerName = file.trackerName;
    for (size_t i = 0; i < plan.instruments.size() && i < file.instrumentNames.size(); ++i) {
        XmInstrumentPlan& instrument = plan.instruments[i];
        instrument.name = file.instrumentNames[i];
        const std::vector<std::string>& names = file.sampleNames[i];
        for (size_t k = 0; k < instrument.samples.size() && k < names.size(); ++k)
            instrument.samples[k].name = names[k];
    }
    if (file.dataEnd < bytes.size()) plan.trailing = bytes.substr(file.dataEnd);
}

std::string DroppedTexts(XmLayout layout, const XmFileLayout& file, const std::string& bytes) {
    if (layout == XmLayout::Standard) return "";
    int instrumentNames = 0, sampleNames = 0;
    for (size_t i = 0; i < file.instrumentNames.size(); ++i) {
        instrumentNames += HasText(file.instrumentNames[i]);
        for (const std::string& name : file.sampleNames[i]) sampleNames += HasText(name);
    }
    std::vector<std::string> dropped;
    std::string tracker = file.trackerName.substr(0, file.trackerName.find_last_not_of(" ") + 1);
    if (HasText(tracker))
        dropped.push_back("the tracker name \"" + tracker.substr(0, tracker.find('\0')) + "\"");
    if (instrumentNames) dropped.push_back(Counted(instrumentNames, "instrument name"));
    if (sampleNames) dropped.push_back(Counted(sampleNames, "sample name"));
    if (file.dataEnd < bytes.size())
        dropped.push_back(Counted(bytes.size() - file.dataEnd, "byte") +
                          " behind the module's data (such as a song message)");
    std::string text;
    for (const std::string& item : dropped) text += (text.empty() ? "" : ", ") + item;
    return text;
}

std::string RewriteModule(const ModuleSnapshot& module, const XmFileLayout& file,
                          const std::string& bytes, XmLayout layout, std::string& image) {
    XmModulePlan plan = PlanFromSnapshot(module, layout);
    KeepFileTexts(plan, file, bytes);
    image = WriteXm(plan);
    if (!LoadModuleImage(image.data(), image.size())) return "does not load";
    std::string difference = FirstDifference(module, TakeSnapshot());
    return difference.empty() ? "" : "differs in " + difference;
}
