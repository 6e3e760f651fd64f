// xmrender [--seconds N] [--volume V] (IN.xm | --builtin) OUT.wav: renders a module through the
// player's RenderBlock into a WAV file (PCM, 48000 Hz, stereo, 16-bit) holding exactly the samples
// the wave device would get. By default once through the song: up to its no-loop end or to the
// row where it starts to repeat itself, at most 30 minutes; --seconds renders exactly N seconds
// of the song looping as the program plays it. OUT.wav "-" writes to standard output. Title,
// channels, duration and why the render ended there go to standard error.
#include "builtin_tune.h"
#include "module_image.h"
#include "player.h"
#include "song_end.h"
#include "sources.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

const uint32_t kSampleRate = 48000;
const uint64_t kLongestOnceThrough = uint64_t(30) * 60 * kSampleRate;
const double kLongestSeconds = 6 * 3600; // the RIFF sizes must fit 32 bits

struct Options {
    const char* input = nullptr;
    const char* output = nullptr;
    bool builtin = false;
    double seconds = 0; // 0: once through the song
    long volume = -1;   // -1: not given
};

// The usage text on `stream`; returns `status` for main to return.
int Usage(FILE* stream, int status) {
    std::fprintf(stream, "usage: xmrender [--seconds N] [--volume V] (IN.xm | --builtin) OUT.wav\n"
                         "       OUT.wav may be - for standard output\n");
    return status;
}

bool ParseNumber(const char* text, double& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text, &end);
    return errno == 0 && end != text && *end == 0;
}

bool ParseOptions(int argc, char** argv, Options& options) {
    std::vector<const char*> files;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        double number = 0;
        if (arg == "--builtin") {
            options.builtin = true;
        } else if ((arg == "--seconds" || arg == "--volume") && i + 1 < argc) {
            if (!ParseNumber(argv[++i], number)) return false;
            if (arg == "--seconds") {
                if (!(number > 0 && number <= kLongestSeconds)) return false;
                options.seconds = number;
            } else {
                if (!(number >= 0 && number <= 1e9) || number != long(number)) return false;
                options.volume = long(number);
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return false;
        } else {
            files.push_back(argv[i]);
        }
    }
    if (files.size() != (options.builtin ? 1u : 2u)) return false;
    options.input = options.builtin ? nullptr : files[0];
    options.output = files.back();
    return true;
}

// The module image to render, or a line on standard error saying why there is none.
bool ReadInput(const Options& options, std::string& image) {
    if (options.builtin) {
        if (kBuiltinTuneSize == 0) {
            std::fprintf(stderr, "xmrender: no built-in tune exists yet\n");
            return false;
        }
        image.assign(reinterpret_cast<const char*>(kBuiltinTune), kBuiltinTuneSize);
        return true;
    }
    if (!ReadFileBytes(options.input, image)) {
        std::fprintf(stderr, "xmrender: %s: cannot be read\n", options.input);
        return false;
    }
    LoadFailure outcome = ReadModuleImage(image.data(), image.size());
    if (outcome != LoadFailure::None) {
        std::fprintf(stderr, "xmrender: %s: not a module the player loads: %s\n", options.input,
                     LoadFailureText(outcome));
        return false;
    }
    ReleaseModuleImage();
    return true;
}

// Renders up to `limit` frames from the start of the song, handing each block's samples to
// `sink` (when given); returns the frames rendered. A no-loop song ends at its end-of-song stop.
template <typename Sink>
uint64_t Render(const std::string& image, uint32_t flags, uint64_t limit, Sink sink) {
    if (!StartOfflineRender(image.data(), image.size(), flags | PLAY_FROM_MEMORY)) return 0;
    uint64_t frames = 0;
    while (frames < limit) {
        uint32_t k = gPlayer.nextBlock;
        RenderBlock();
        if (gPlayer.heap == nullptr) break;
        uint64_t take = limit - frames < uint64_t(kBlockFrames) ? limit - frames : kBlockFrames;
        sink(gPlayer.outputBuffer + k * kBlockFrames * 2, static_cast<uint32_t>(take));
        frames += take;
    }
    StopPlayback();
    return frames;
}

void PutLe(std::string& bytes, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::string WavHeader(uint64_t frames) {
    uint32_t dataBytes = static_cast<uint32_t>(frames * 4);
    std::string header = "RIFF";
    PutLe(header, 36 + dataBytes, 4);
    header += "WAVEfmt ";
    PutLe(header, 16, 4);
    PutLe(header, 1, 2); // PCM
    PutLe(header, 2, 2);
    PutLe(header, kSampleRate, 4);
    PutLe(header, kSampleRate * 4, 4);
    PutLe(header, 4, 2);
    PutLe(header, 16, 2);
    header += "data";
    PutLe(header, dataBytes, 4);
    return header;
}

FILE* OpenOutput(const char* path) {
    if (std::strcmp(path, "-") != 0) return std::fopen(path, "wb");
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    return stdout;
}

// Writes the WAV: the header, then the frames rendered a second time (the render is the same
// every time, so the first pass gave the length).
bool WriteWav(const Options& options, const std::string& image, uint32_t flags, uint64_t frames) {
    FILE* out = OpenOutput(options.output);
    if (out == nullptr) {
        std::fprintf(stderr, "xmrender: %s: cannot be written\n", options.output);
        return false;
    }
    std::string bytes = WavHeader(frames);
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    Render(image, flags, frames, [&](const int16_t* samples, uint32_t count) {
        bytes.clear();
        for (uint32_t i = 0; i < count * 2; ++i) PutLe(bytes, static_cast<uint16_t>(samples[i]), 2);
        written = written && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    });
    written = (out == stdout ? std::fflush(out) == 0 : std::fclose(out) == 0) && written;
    if (!written) std::fprintf(stderr, "xmrender: %s: cannot be written\n", options.output);
    return written;
}

// Why a once-through render ended where it did, for the duration line.
const char* EndingText(SongEndKind kind) {
    if (kind == SongEndKind::NoLoopEnd) return ", at the song's end";
    if (kind == SongEndKind::Repeat) return ", where the song starts to repeat";
    return ", capped at 30 minutes";
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) return Usage(stdout, 0);
    if (!ParseOptions(argc, argv, options)) return Usage(stderr, 2);
    std::string image;
    if (!ReadInput(options, image)) return 1;
    if (options.volume >= 0) SetPlayerVolume(static_cast<uint32_t>(options.volume));
    uint32_t flags = options.seconds > 0 ? 0 : PLAY_NO_LOOP;
    uint64_t frames = uint64_t(std::llround(options.seconds * kSampleRate));
    const char* ending = "";
    if (options.seconds == 0) {
        SongEnd end = FindSongEnd(image.data(), image.size(), kLongestOnceThrough);
        frames = end.frames;
        ending = EndingText(end.kind);
    }
    if (!StartOfflineRender(image.data(), image.size(), flags | PLAY_FROM_MEMORY)) {
        std::fprintf(stderr, "xmrender: the module does not start\n");
        return 1;
    }
    std::fprintf(stderr, "title: %s\nchannels: %u\n", GetSongTitle(), gPlayer.song.channelCount);
    StopPlayback();
    if (!WriteWav(options, image, flags, frames)) return 1;
    std::fprintf(stderr, "duration: %.3f s (%llu frames)%s\n", double(frames) / kSampleRate,
                 static_cast<unsigned long long>(frames), ending);
    return 0;
}
