// The song-end finder: a walk over the row starts of a song that notices the first cycle.
#include "song_end.h"

#include "player.h"
#include "sequencer.h"
#include "sources.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace {

struct Position {
    int32_t order;
    int32_t row;
    bool operator==(const Position& other) const {
        return order == other.order && row == other.row;
    }
};

// The position the coming row tick takes: the order stays unless a jump, a break or the end of a
// pattern named another; the row is always named.
Position ComingPosition() {
    const Song& song = gPlayer.song;
    return {song.nextOrder >= 0 ? song.nextOrder : song.order,
            song.nextRow >= 0 ? song.nextRow : song.row};
}

void PutBytes(std::string& key, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) key.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// Everything the song's path depends on at a row start, packed: the order (below 256), the row
// and every loop start row (below a pattern's row count, so 16 bits), every loop counter (0..16).
std::string PathState(const Position& position) {
    uint32_t channels = gPlayer.song.channelCount;
    if (channels > uint32_t(kChannelCount)) channels = kChannelCount;
    std::string key;
    key.reserve(3 + 3 * channels);
    PutBytes(key, uint32_t(position.order), 1);
    PutBytes(key, uint32_t(position.row), 2);
    for (uint32_t c = 0; c < channels; ++c) {
        PutBytes(key, uint32_t(gPlayer.channels[c].loopRow), 2);
        PutBytes(key, uint32_t(gPlayer.channels[c].loopCount), 1);
    }
    return key;
}

// The row starts met so far, in order, with the frame each began at.
class RowStarts {
  public:
    // Records a row start. True when its state was met before; `repeatFrame` is then the frame
    // where the song started to repeat.
    bool Visit(const Position& position, uint64_t frame, uint64_t& repeatFrame) {
        size_t index = positions_.size();
        positions_.push_back(position);
        frames_.push_back(frame);
        auto seen = firstVisit_.emplace(PathState(position), index);
        if (seen.second) return false;
        repeatFrame = frames_[CycleStart(seen.first->second, index)];
        return true;
    }

  private:
    // From `again` on the rows repeat those from `first` on, one cycle earlier. Rows before it
    // that equal the rows one cycle earlier belong to the repetition too; the first of them is
    // where it starts.
    size_t CycleStart(size_t first, size_t again) const {
        size_t cycle = again - first;
        size_t start = again;
        while (start > cycle && positions_[start - 1] == positions_[start - 1 - cycle]) --start;
        return start;
    }

    std::vector<Position> positions_;
    std::vector<uint64_t> frames_;
    std::unordered_map<std::string, size_t> firstVisit_;
};

} // namespace

SongEnd WalkToSongEnd(uint64_t limit) {
    RowStarts rowStarts;
    uint64_t frames = 0;
    uint64_t repeatFrame = 0;
    while (frames < limit) {
        if (gPlayer.song.tick == 0 && rowStarts.Visit(ComingPosition(), frames, repeatFrame))
            return {SongEndKind::Repeat, repeatFrame};
        if (!RunTick()) return {SongEndKind::NoLoopEnd, frames / kBlockFrames * kBlockFrames};
        frames += uint32_t(gPlayer.song.tickFramesLeft);
    }
    return {SongEndKind::Cap, limit};
}

SongEnd FindSongEnd(const void* image, size_t size, uint64_t limit) {
    if (!StartOfflineRender(image, size, PLAY_FROM_MEMORY | PLAY_NO_LOOP))
        return {SongEndKind::NoLoopEnd, 0};
    SongEnd end = WalkToSongEnd(limit);
    StopPlayback();
    return end;
}
