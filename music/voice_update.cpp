// Note periods of both frequency tables and the voice update: a channel's state becomes its
// voice's sample, start position, gains and 32.32 step.
#include "sequencer.h"

#include "envelopes.h"

#include <cmath>
#include <cstdlib>

namespace {

const float kTwelfth = 0.0833333358f;               // 1/12 in single precision
const float kLinearUnit = 0.0013020834f;            // 1/768 in single precision
const float kVolumeScale = 7.4214767664670944e-09f; // 255 x 2^-35 in single precision
const int32_t kAmigaClock = 14317056;
const int64_t kLowestFrequency = 100;
const int64_t kOutputRate = 48000;
// The mixer needs a step below 256 frames per output frame.
const int64_t kHighestFrequency = 256 * kOutputRate - 1;

// Rounding to nearest with ties to even, the floating-point unit's default mode.
int64_t RoundEven(double value) {
    return std::llrint(value);
}

// Amiga-table period k semitones below note index 132, whose period is 13.375 before rounding.
int32_t AmigaTablePeriod(int32_t k) {
    return int32_t(RoundEven(13.375 * std::pow(2.0, double(k) * double(kTwelfth))));
}

int32_t FloorDivide(int32_t value, int32_t divisor) {
    int32_t quotient = value / divisor;
    return (value % divisor != 0 && (value < 0) != (divisor < 0)) ? quotient - 1 : quotient;
}

// Frequency in Hz of the channel's period and offset; 0 when the period and offset add to 0.
int64_t ChannelFrequency(const Channel& channel) {
    int64_t q = int64_t(channel.period) + channel.periodOffset;
    if (q == 0) return 0;
    int64_t hz = kAmigaClock / q;
    if (gPlayer.song.flags & 1) {
        double exponent =
            double(4608 - int64_t(channel.period) + channel.periodOffset) * double(kLinearUnit);
        double raw = 13.375 * 625.2710571289062 * std::pow(2.0, exponent);
        // A result beyond the signed 32-bit range plays at the lowest pitch.
        hz = raw < 2147483647.5 ? RoundEven(raw) : 0;
    }
    if (hz < kLowestFrequency) return kLowestFrequency;
    return hz > kHighestFrequency ? kHighestFrequency : hz;
}

// 32.32 frames per output frame for a frequency in Hz.
uint64_t StepFromFrequency(int64_t hz) {
    uint64_t whole = uint64_t(hz / kOutputRate);
    uint64_t fraction = ((uint64_t(hz % kOutputRate) << 32) + whole) / uint64_t(kOutputRate);
    return (whole << 32) | fraction;
}

// Starts the note on a fresh voice: a voice still holding a sample passes its settings to its
// partner and is ramped down to silence where it plays.
void TriggerVoice(Channel& channel, Sample& sample) {
    Voice* voice = channel.voice;
    if (voice->sample != nullptr) {
        Voice& partner = gPlayer.voices[(voice->index + kVoiceCount / 2) % kVoiceCount];
        partner.volume = voice->volume;
        partner.panning = voice->panning;
        partner.startOffset = voice->startOffset;
        partner.rightVolume = voice->rightVolume;
        partner.leftVolume = voice->leftVolume;
        partner.position = voice->position;
        partner.step = voice->step;
        partner.rampRightTarget = voice->rampRightTarget;
        partner.rampLeftTarget = voice->rampLeftTarget;
        partner.rampRightStep = voice->rampRightStep;
        partner.rampLeftStep = voice->rampLeftStep;
        voice->volume = voice->rightVolume = voice->leftVolume = 0;
        voice = channel.voice = &partner;
    }
    voice->sample = &sample;
    voice->fraction = voice->backward = 0;
    voice->currentRight = voice->currentLeft = voice->rampFrames = 0;
    voice->position = uint32_t(voice->startOffset);
    voice->startOffset = 0;
}

// Final volume 0..128 from the channel volume, its offset, envelope, fade-out and global volume.
int32_t FinalVolume(const Channel& channel) {
    int64_t product = int64_t(channel.volume + channel.volumeOffset) * channel.volumeEnvelopeValue *
                      channel.fadeoutVolume * gPlayer.song.globalVolume;
    int64_t volume = RoundEven(double(product) * double(kVolumeScale));
    return int32_t(volume < 0 ? 0 : volume > 128 ? 128 : volume);
}

void SetVoiceVolume(Voice& voice, const Channel& channel) {
    int32_t volume = FinalVolume(channel);
    voice.volume = volume;
    voice.rightVolume = volume * voice.panning / 255;
    voice.leftVolume = volume * (255 - voice.panning) / 255;
}

// The channel's panning may have slid anywhere in the 32-bit range (volume column), so the sum is
// taken in 64 bits before it is clamped.
void SetVoicePanning(Voice& voice, const Channel& channel) {
    int64_t room = (128 - std::llabs(int64_t(channel.panning) - 128)) >> 5;
    int64_t panning = channel.panning + (channel.panningEnvelopeValue - 32) * room;
    if (panning < 0) panning = 0;
    if (panning > 255) panning = 255;
    voice.panning = int32_t(panning);
    voice.rightVolume = voice.volume * panning / 255;
    voice.leftVolume = voice.volume * (255 - panning) / 255;
}

} // namespace

int32_t AmigaPeriod(int32_t noteIndex, const Sample& sample) {
    int32_t neighbour = sample.finetune >= 0 ? noteIndex + 1 : noteIndex - 1;
    int32_t p0 = AmigaTablePeriod(132 - noteIndex);
    int32_t p1 = AmigaTablePeriod(132 - neighbour);
    return p0 + FloorDivide(std::abs(int32_t(sample.finetune)) * (p1 - p0), 128);
}

int32_t LinearPeriod(int32_t noteIndex, const Sample& sample) {
    return 7680 - 64 * noteIndex - sample.finetune / 2;
}

void UpdateVoice(Channel& channel, Sample& sample, const Instrument& instrument) {
    ApplyAutoVibrato(channel, instrument);
    if (channel.flags & TriggerNote) TriggerVoice(channel, sample);
    Voice& voice = *channel.voice;
    channel.volume = channel.volume < 0 ? 0 : channel.volume > 64 ? 64 : channel.volume;
    if (channel.flags & UpdateVolume) SetVoiceVolume(voice, channel);
    if (channel.flags & UpdatePanning) SetVoicePanning(voice, channel);
    if (channel.flags & RestartVoice) voice.startOffset = voice.position = voice.fraction = 0;
    if (channel.flags & UpdatePitch) {
        int64_t hz = ChannelFrequency(channel);
        if (hz != 0) voice.step = StepFromFrequency(hz);
    }
}
