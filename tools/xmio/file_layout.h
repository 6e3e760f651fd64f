// What an XM file holds beyond the records the player's loader keeps: where its parts end, which
// of them the song can use, and the texts the loader never reads. Walked the way the loader reads
// the file, for files it loads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct XmFileLayout {
    bool standardId = false;                           // begins "Extended Module: "
    uint16_t version = 0;                              // Version number, as stored
    std::string moduleName;                            // the 20 bytes of Module name, as stored
    std::string trackerName;                           // the 20 bytes of Tracker name, as stored
    std::vector<std::string> instrumentNames;          // 22 bytes each, zero where none is stored
    std::vector<std::vector<std::string>> sampleNames; // per instrument, as many as it declares

    // What the song can use: the stored patterns the order table names within the song length,
    // and the instruments that some cell of a stored pattern names (index number - 1).
    std::vector<bool> patternPlayed, instrumentNamed;

    uint64_t dataEnd = 0; // where the module's last part ends (at least there when cut short)
    // The file ends before dataEnd. `exact` says whether the headers of every part were there,
    // so that dataEnd is exact.
    bool exact = true;
    // Where the file stops and why the song misses nothing, for a file that lacks only parts the
    // song cannot use: "the file stops inside instrument 11 of 31; ...".
    std::string unusedTail;
    // The missing parts the song uses: the first of them and how many of each kind.
    std::string firstLost;
    bool lostOrders = false;
    int lostPatterns = 0, lostInstruments = 0, lostSamples = 0;
};

// The layout of the `bytes` of a module that the loader accepts.
XmFileLayout WalkXmFile(const std::string& bytes);

// Empty unless the file lacks bytes of a part the song uses; otherwise one line on what is
// missing, such as "the file ends 716 bytes before its module does; lost from the data of sample
// 1 of instrument 12 on: 2 samples' data (played as silence or empty)".
std::string CutShortText(const XmFileLayout& layout, uint64_t fileSize);

// Empty unless the file ends before its module does and lacks only parts the song cannot use;
// otherwise the note that says so (the layout's unusedTail).
std::string TrimmedTailText(const XmFileLayout& layout, uint64_t fileSize);

// Empty for a file in the version 1.04 layout the loader reads (or without the identification
// text); otherwise a line naming the version, for refusals and warnings.
std::string VersionText(const XmFileLayout& layout);

// Why the loader refused the file: its `rule`, led by VersionText when the version explains it.
std::string RefusalText(const std::string& rule, const XmFileLayout& layout);

// True when `text` holds any byte other than zero.
bool HasText(const std::string& text);
