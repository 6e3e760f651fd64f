// Where a once-through render of a song ends: at the player's own no-loop end, at the first row
// from which the song only repeats what it has played, or at a length cap.
//
// The song's path (which row follows which) depends only on the position and on each channel's
// pattern-loop row and counter: speed, tempo, volumes and notes change how rows sound and how
// long they last, never where the song goes next. So a row start met again with the same order,
// row and loop state of every channel begins a cycle that repeats for ever. The render then ends
// at the first row of that cycle's second pass: the earliest row from which every row played is
// the one played one cycle earlier. A pattern loop's returns are no repeat (their counters
// differ), and a loop start row left over from the previous pass does not delay the end when the
// next pass sets it again before it is read. A row played again at another speed or tempo counts
// as repeated: the once-through render plays every row of the cycle once.
#pragma once

#include <cstddef>
#include <cstdint>

enum class SongEndKind {
    NoLoopEnd, // the order list ran out: the player's own end of a no-loop song
    Repeat,    // the song starts to repeat itself
    Cap,       // neither came within the limit
};

struct SongEnd {
    SongEndKind kind;
    // The frames a PLAY_NO_LOOP render keeps: whole blocks up to the block of a no-loop end
    // (the player does not render that block), the exact start of the first repeated row's first
    // tick, or the limit.
    uint64_t frames;
};

// Runs the song gPlayer holds, from its start state with noLoop set, through the sequencer's own
// ticks (RunTick, as RenderBlock runs them) without mixing: the mixer never moves the position or
// changes a tick's length, so the frames counted are the frames RenderBlock renders. Leaves the
// song wherever it stopped.
SongEnd WalkToSongEnd(uint64_t limit);

// Starts the module image offline with PLAY_NO_LOOP, walks it and stops the player again. A
// module that does not start ends at once: NoLoopEnd with no frames.
SongEnd FindSongEnd(const void* image, size_t size, uint64_t limit);
