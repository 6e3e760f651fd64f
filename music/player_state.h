// The player's records: the loaded module (song, patterns, cells, instruments, samples), the
// mixer's voices, the sequencer's channels, and the one global PlayerState that holds them all.
#pragma once

#include "platform.h"

#include <atomic>
#include <cstdint>

// ---- The loaded module. Built by LoadModule on the private heap; read-only while playing
// ---- except for the playback fields of Song and a sample's finetune (effect E5y).

struct Cell {
    uint8_t note;         // 0 none, 1..96 notes, 97 and above key-off
    uint8_t instrument;   // 1..instrumentCount, 0 none
    uint8_t volumeColumn; // as read
    uint8_t effect;       // as read
    uint8_t parameter;    // as read
};
static_assert(sizeof(Cell) == 5, "cells are stored back to back, 5 bytes each");

struct Pattern {
    uint16_t rowCount;
    uint16_t packedSize;
    Cell* cells; // rowCount x channelCount, row-major
};

struct EnvelopePoint {
    uint16_t x; // tick
    uint16_t y; // value 0..64
};

// A sample record and its frames share one allocation. `data` points at frame 0; the frames are
// signed 16-bit, followed by the guard frame at loopStart + loopLength and two spare slots. One
// zero frame also lies just before frame 0 (data[-1]), so that an interpolation that starts a
// fraction of a frame before the first frame still reads inside the allocation.
struct Sample {
    uint32_t length;     // frames
    uint32_t loopStart;  // frames; 0 when there is no loop
    uint32_t loopLength; // frames; equal to length when there is no loop
    uint8_t volume;
    int8_t finetune;
    uint8_t is16Bit;
    uint8_t panning;
    int8_t relativeNote;
    uint8_t packing;  // 0xAD = 4-bit packed data in the file
    uint8_t loopType; // 0 none, 1 forward, 2 ping-pong, 3 as read
    int16_t* data;
};

struct Instrument {
    Sample* samples[16];
    uint8_t sampleMap[96];
    EnvelopePoint volumeEnvelope[12];
    EnvelopePoint panningEnvelope[12];
    uint8_t volumePointCount, panningPointCount;
    uint8_t volumeSustain, volumeLoopStart, volumeLoopEnd;
    uint8_t panningSustain, panningLoopStart, panningLoopEnd;
    uint8_t volumeType; // bit 0 on, bit 1 sustain, bit 2 loop
    uint8_t panningType;
    uint8_t vibratoType, vibratoSweep, vibratoDepth, vibratoRate;
    uint16_t fadeout; // twice the file's value, modulo 65536
};

// Size of the block PlayModule reads before LoadModule: the XM header up to and including a
// full 256-entry order table.
const int kModuleHeaderBytes = 336;

struct Song {
    uint8_t header[kModuleHeaderBytes]; // the first bytes of the module, as read by the start

    Pattern* patterns;
    Instrument* instruments; // same allocation, directly behind the pattern table
    uint32_t channelCount;   // 1..32
    uint16_t songLength;     // 1..256
    uint16_t restartPosition;
    uint16_t patternCount;
    uint16_t instrumentCount; // 0..255
    uint16_t flags;           // bit 0: linear frequency table
    uint16_t defaultTempo;
    uint16_t defaultBpm;
    uint8_t orderTable[256];

    // Playback fields, owned by the sequencer and the render path.
    int32_t tickFramesLeft;
    int32_t globalVolume; // 0..64
    int32_t tick;
    int32_t speed;
    int32_t order;
    int32_t row;
    int32_t patternDelay;
    int32_t nextOrder; // -1 for none
    int32_t nextRow;   // -1 for none
    uint8_t globalVolumeSlide;
    uint32_t samplesPerTick;
    uint32_t elapsedMs;
};

// ---- Mixer state (one per voice; channel c drives voice c or c + 32).

struct Voice {
    uint32_t index;
    int32_t volume;      // 0..128
    int32_t panning;     // 0..255
    int32_t startOffset; // frame where the next note on this voice starts
    int32_t rightVolume; // target gain, 255 = 1.0
    int32_t leftVolume;
    uint32_t position; // whole frames
    uint64_t step;     // 32.32 fixed point frames per output frame, below 256
    int32_t rampRightTarget;
    int32_t rampLeftTarget;
    float rampRightStep;
    float rampLeftStep;
    Sample* sample;    // null = idle
    uint32_t fraction; // 2^-32 frame units
    uint32_t backward; // 1 while moving backward in a ping-pong loop
    int32_t currentRight;
    int32_t currentLeft;
    int32_t rampFrames;
};

// ---- Sequencer state (one per channel).

enum ChannelFlags : uint8_t {
    UpdatePitch = 1 << 0,
    UpdateVolume = 1 << 1,
    UpdatePanning = 1 << 2,
    TriggerNote = 1 << 3,
    RestartVoice = 1 << 4,
};

struct Channel {
    uint8_t flags;
    uint8_t key; // note - 1 of the last note given without tone portamento
    uint8_t instrument;
    Voice* voice;
    int32_t period;
    int32_t volume;
    int32_t volumeOffset;
    int32_t periodOffset;
    int32_t panning;
    int32_t volumeEnvelopeTick;
    int32_t volumeEnvelopePoint;
    int32_t volumeEnvelopeSlope; // 16.16 per tick
    int32_t panningEnvelopePoint;
    int32_t panningEnvelopeTick;
    int32_t panningEnvelopeSlope; // 16.16 per tick
    int32_t autoVibratoSweep;
    int32_t autoVibratoPosition;
    uint8_t keyOff;
    uint8_t volumeEnvelopeDone;
    uint8_t panningEnvelopeDone;
    int32_t volumeEnvelopeFixed;  // 16.16
    int32_t volumeEnvelopeValue;  // 0..64
    int32_t panningEnvelopeFixed; // 16.16
    int32_t panningEnvelopeValue; // 0..64, 32 = centre
    int32_t fadeoutVolume;        // 0..65536
    int32_t notePeriod;
    int32_t sampleOffset;
    int32_t portaTarget;
    int32_t loopRow;
    int32_t loopCount;
    uint8_t noteIndex;
    uint8_t lastEffect;
    uint8_t portaDownSpeed, portaUpSpeed;
    uint8_t extraFineDownSpeed, extraFineUpSpeed;
    uint8_t volumeSlideSpeed;
    uint8_t panningSlideSpeed;
    uint8_t retrigVolume, retrigInterval;
    uint8_t portaSpeed;
    int8_t vibratoPosition; // -32..31
    uint8_t vibratoSpeed, vibratoDepth;
    int8_t tremoloPosition; // -32..31
    uint8_t tremoloSpeed, tremoloDepth;
    uint8_t tremorCounter, tremorOn, tremorOff;
    uint8_t waveControl; // low nibble vibrato control, high nibble tremolo control
    int8_t fineVolumeSlide;
    uint8_t finePortaUpSpeed, finePortaDownSpeed;
};

// ---- The module source: four operations over a memory image, a resource or a file.

struct ModuleSource {
    void (*open)(const void* source);
    void (*read)(void* destination, int32_t bytes);
    int32_t (*seek)(int32_t offset, int32_t mode); // mode 0 from the start, 1 from here
    void (*close)();
    // Nonzero for an image of sourceSize bytes (memory, resource), whose seek refuses a target
    // beyond its end; zero for a file, whose end shows only in its position after a short read.
    uint8_t imageOfKnownSize;
};

// ---- Output buffering.

const int kBlockCount = 16;
const int kBlockFrames = 1024;
const int kBlockBytes = kBlockFrames * 4;
const int kOutputBytes = kBlockCount * kBlockBytes;
const int kVoiceCount = 64;
const int kChannelCount = 32;

// The render thread writes these while the caller's thread may read them: relaxed atomics keep
// the unlocked hand-over well defined without costing anything on the platforms we build for.
struct BlockStats {
    std::atomic<uint32_t> levels; // mean |left| in the high 16 bits, mean |right| in the low 16
    std::atomic<uint32_t> timeMs; // elapsedMs right after the block was rendered
};

// The caller's thread may read `device` (through the address PlayModule returns) and the title
// (through GetSongTitle) while the render thread ends the song; these are atomic too.
struct PlayerState {
    std::atomic<HWAVEOUT> device;
    HANDLE heap;
    std::atomic<HANDLE> renderThread;
    uint32_t nextBlock;
    std::atomic<uint32_t> stopRequest;
    MMTIME playCursor;
    WAVEHDR waveHeader;
    int16_t outputBuffer[kOutputBytes / 2];
    float mixBuffer[kBlockCount][kBlockFrames * 2];
    uint8_t noLoop;
    std::atomic<uint8_t> paused;
    std::atomic<int32_t> volumeDivisor; // 16 = full volume; 0 = never set
    std::atomic<uint8_t> statsIndex;
    BlockStats blockStats[kBlockCount];
    char songTitle[21]; // written only while no render thread runs
    // What GetSongTitle hands out: songTitle while its song is loaded, null once released. The
    // end of a song on the render thread clears this pointer and leaves the characters alone.
    std::atomic<const char*> loadedTitle;

    // Source state.
    ModuleSource activeSource;
    int32_t sourceSize;
    UINT_PTR sourceParameter; // PlayModule's parameter whole: a resource source's module handle
    int32_t sourcePosition;
    const uint8_t* sourceBase;
    HANDLE sourceFile;
    uint8_t sourceFailed; // the source could not be opened: every read is without effect

    Voice voices[kVoiceCount];
    Channel channels[kChannelCount];
    Song song;
};

extern PlayerState gPlayer;
