// xmrender [--seconds N] [--volume V] (IN.xm | --builtin) OUT.wav: renders a module through the
// player's RenderBlock into a WAV file (PCM, 48000 Hz, stereo, 16-bit) holding exactly the samples
// the wave device would get. By default once through the song: up to its no-loop end or to the
// row where it starts to repeat itself, at most 30 minutes; --seconds renders exactly N seconds
// of the song looping as the program plays it. IN.xm "-" reads standard input, OUT.wav "-"
// writes to standard output. Title, channels, duration and why the render ended there go to
// standard error.
#include "builtin_tune.h"
#include "module_image.h"
#include "module_input.h"
#include "player.h"
#include "song_end.h"
#include "sources.h"
#include "tool_files.h"
#include "tool_main.h"
#include "tool_options.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

const uint32_t kSampleRate = 48000;
const uint64_t kLongestOnceThrough = uint64_t(30) * 60 * kSampleRate;
const double kLongestSeconds = 6 * 3600; // the RIFF sizes must fit 32 bits

struct Options {
    std::string input;
    std::string output;
    bool builtin = false;
    double seconds = 0; // 0: once through the song
    long volume = -1;   // -1: not given
};

const char kHelp[] =
    "Usage: xmrender [--seconds N] [--volume V] (IN.xm | --builtin) OUT.wav\n"
    "Render an XM module through the player's own render path into a WAV file: PCM, 48000 Hz,\n"
    "stereo, 16-bit, exactly the samples the program sends to the wave device. Title, channels\n"
    "and duration go to standard error.\n"
    "\n"
    "By default the song is rendered once through: up to where a song played without looping\n"
    "ends, or to the first row where it starts to repeat itself (a break or jump back to a row\n"
    "already played in the same state), at most 30 minutes; the duration line says which.\n"
    "\n"
    "      --builtin    render the program's built-in tune instead of IN.xm\n"
    "      --seconds N  render exactly N seconds (above 0, at most 21600), the song looping\n"
    "                   as the program plays it\n"
    "      --volume V   the player's volume, a whole number from 0 (silent) to 64 (full, the\n"
    "                   default); not linear: the output is 16/(80-V) of full, so 48 is half\n"
    "  -h, --help       print this help and exit\n"
    "      --version    print the version and exit\n"
    "\n"
    "IN.xm or OUT.wav of - is standard input or output (name a file called \"-\" as ./-).\n"
    "OUT.wav may not be IN.xm (compared as files, not names); an existing OUT.wav is replaced\n"
    "only once the new file is complete, and a failed write leaves no partial file.\n"
    "\n"
    "Exit status: 0 when OUT.wav was written, 1 when it was not, 2 for a usage error.\n";

bool ParseNumber(const std::string& text, double& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && end != text.c_str() && *end == 0;
}

// One option's value into `options`; empty when it is valid, else why not.
std::string TakeValue(const std::string& name, const std::string& text, Options& options) {
    double number = 0;
    bool parsed = ParseNumber(text, number);
    if (name == "--seconds") {
        if (!parsed || !(number > 0 && number <= kLongestSeconds))
            return "--seconds '" + text + "': not a number of seconds above 0 and at most 21600";
        options.seconds = number;
    } else {
        if (!parsed || !(number >= 0 && number <= 64) || number != std::floor(number))
            return "--volume '" + text + "': not a whole number from 0 to 64";
        options.volume = long(number);
    }
    return "";
}

// The command line into `options`; empty when it is complete and valid, else why not.
std::string ParseOptions(const CommandLine& line, Options& options) {
    for (const auto& option : line.options) {
        if (option.first == "--builtin") {
            options.builtin = true;
            continue;
        }
        std::string fault = TakeValue(option.first, option.second, options);
        if (!fault.empty()) return fault;
    }
    size_t wanted = options.builtin ? 1 : 2;
    if (line.files.size() < wanted)
        return line.files.empty() ? "no OUT.wav given" : "no OUT.wav given after IN.xm";
    if (line.files.size() > wanted)
        return options.builtin ? "IN.xm given with --builtin" : "more than IN.xm and OUT.wav given";
    options.input = options.builtin ? "" : line.files[0];
    options.output = line.files.back();
    return "";
}

// The module image to render, or a line on standard error saying why there is none. A module
// cut short is rendered as the player plays it, after a line saying what its song lacks; one
// that lacks only parts the song cannot use is rendered without a word.
bool ReadInput(const Options& options, std::string& image) {
    if (options.builtin) {
        if (kBuiltinTuneSize == 0) {
            std::fprintf(stderr, "xmrender: no built-in tune exists yet\n");
            return false;
        }
        image.assign(reinterpret_cast<const char*>(kBuiltinTune), kBuiltinTuneSize);
        return true;
    }
    const char* in = options.input.c_str();
    ModuleInput input = ReadModuleInput(options.input);
    ReleaseModuleImage();
    std::string fault = InputFault(input, "not a module the player loads");
    if (!fault.empty()) {
        std::fprintf(stderr, "xmrender: %s: %s\n", in, fault.c_str());
        return false;
    }
    if (!input.cutShort.empty())
        std::fprintf(stderr, "xmrender: %s: warning: cut short: %s\n", in, input.cutShort.c_str());
    image = std::move(input.bytes);
    return true;
}

// Renders up to `limit` frames from the start of the song, handing each block's samples to
// `sink`, which answers false to end the render at once; returns the frames rendered (and
// handed on). A no-loop song ends at its end-of-song stop.
template <typename Sink>
uint64_t Render(const std::string& image, uint32_t flags, uint64_t limit, Sink sink) {
    if (!StartOfflineRender(image.data(), image.size(), flags | PLAY_FROM_MEMORY)) return 0;
    uint64_t frames = 0;
    while (frames < limit) {
        uint32_t k = gPlayer.nextBlock;
        RenderBlock();
        if (gPlayer.heap == nullptr) break;
        uint64_t take = limit - frames < uint64_t(kBlockFrames) ? limit - frames : kBlockFrames;
        if (!sink(gPlayer.outputBuffer + k * kBlockFrames * 2, static_cast<uint32_t>(take))) break;
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

// Writes the WAV: the header, then the frames rendered a second time (the render is the same
// every time, so the first pass gave the length). The file takes its name only when complete;
// the first failed write ends the render and removes what was written.
bool WriteWav(const Options& options, const std::string& image, uint32_t flags, uint64_t frames) {
    OutputFile out;
    std::string bytes = WavHeader(frames);
    bool written = out.Open(options.output) && out.Write(bytes.data(), bytes.size());
    if (written) {
        uint64_t rendered =
            Render(image, flags, frames, [&](const int16_t* samples, uint32_t count) {
                bytes.clear();
                for (uint32_t i = 0; i < count * 2; ++i)
                    PutLe(bytes, static_cast<uint16_t>(samples[i]), 2);
                return out.Write(bytes.data(), bytes.size());
            });
        written = rendered == frames && out.Commit();
    }
    if (!written)
        std::fprintf(stderr, "xmrender: %s: cannot be written: %s\n", options.output.c_str(),
                     out.Why().empty() ? "the render stopped early" : out.Why().c_str());
    return written;
}

// Why a once-through render ended where it did, for the duration line.
const char* EndingText(SongEndKind kind) {
    if (kind == SongEndKind::NoLoopEnd) return ", at the song's end";
    if (kind == SongEndKind::Repeat) return ", where the song starts to repeat";
    return ", capped at 30 minutes";
}

} // namespace

int ToolMain(int argc, char** argv) {
    ToolDescription tool{"xmrender", kHelp, {"--builtin"}, {"--seconds", "--volume"}};
    CommandLine line;
    int status = SplitCommandLine(argc, argv, tool, line);
    if (status >= 0) return status;
    Options options;
    std::string fault = ParseOptions(line, options);
    if (!fault.empty()) return UsageError(tool.name, fault);
    if (!options.builtin && SameFile(options.input, options.output)) {
        std::fprintf(stderr, "xmrender: %s: is the same file as IN.xm, which it would destroy\n",
                     options.output.c_str());
        return 1;
    }
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
