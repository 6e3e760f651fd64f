// The steps that several effects and the volume column share: vibrato, tremolo, tone
// portamento and tremor.
#include "effects.h"

namespace {

// round(|sin(p x 2 pi / 64)| x 256) for |p| = 0..16; positions 17..32 mirror it.
const uint16_t kSineMagnitude[17] = {0,   25,  50,  74,  98,  121, 142, 162, 181,
                                     198, 213, 226, 237, 245, 251, 255, 256};

int32_t SineMagnitude(int32_t p) {
    int32_t a = p < 0 ? -p : p;
    return kSineMagnitude[a <= 16 ? a : 32 - a];
}

// A waveform position brought into -32..31 (a position above 31 is reduced by 64).
int32_t WrapPosition(int32_t p) {
    return ((p + 32) & 63) - 32;
}

int32_t VibratoMagnitude(int32_t p, int32_t waveform) {
    switch (waveform) {
    case 0:
        return SineMagnitude(p);
    case 1:
        return p >= 0 ? 8 * p : -8 * p - 1;
    default:
        return 255;
    }
}

// The ramp at -32 would continue to -1; it is taken as 0 there, so that position changes
// nothing rather than turning the ramp's sign.
int32_t TremoloMagnitude(int32_t p, int32_t waveform) {
    switch (waveform) {
    case 1:
        return p >= 0 ? 8 * p : p > -32 ? 255 + 8 * p : 0;
    case 2:
        return 255;
    default:
        return SineMagnitude(p);
    }
}

} // namespace

void ApplyVibrato(Channel& channel) {
    int32_t p = WrapPosition(int32_t(channel.vibratoPosition));
    int32_t m = VibratoMagnitude(p, channel.waveControl & 3);
    int32_t d = ((m * channel.vibratoDepth) >> 5) & ~3;
    channel.periodOffset = p >= 0 ? -d : d;
    channel.flags |= UpdatePitch;
}

void AdvanceVibrato(Channel& channel) {
    channel.vibratoPosition = int8_t(WrapPosition(channel.vibratoPosition + channel.vibratoSpeed));
}

void ApplyTremolo(Channel& channel) {
    int32_t p = WrapPosition(int32_t(channel.tremoloPosition));
    int32_t m = TremoloMagnitude(p, (channel.waveControl >> 4) & 3);
    int32_t d = (m * channel.tremoloDepth) >> 6;
    if (p >= 0)
        channel.volumeOffset = channel.volume + d > 64 ? 64 - channel.volume : d;
    else
        channel.volumeOffset = -d < -channel.volume ? -channel.volume : -d;
    channel.tremoloPosition = int8_t(WrapPosition(p + channel.tremoloSpeed));
    channel.flags |= UpdateVolume;
}

void ApplyTonePortamento(Channel& channel) {
    int32_t s = 4 * channel.portaSpeed;
    if (channel.period > channel.portaTarget) {
        int32_t slid = channel.period - s;
        channel.period = slid > channel.portaTarget ? slid : channel.portaTarget;
    } else {
        int32_t slid = channel.period + s;
        channel.period = slid < channel.portaTarget ? slid : channel.portaTarget;
    }
    channel.flags |= UpdatePitch;
}

void ApplyTremor(Channel& channel) {
    channel.flags |= UpdateVolume;
    if (channel.tremorCounter > channel.tremorOn) channel.volumeOffset = -channel.volume;
    if (channel.tremorCounter > channel.tremorOn + channel.tremorOff)
        channel.tremorCounter = 0;
    else
        channel.tremorCounter += 1;
}
