// What an XM file holds beyond the records the player's loader keeps: where its parts end, and
// the texts the loader never reads. Walked the way the loader reads the file, for files it loads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct XmFileLayout {
    bool standardId = false;                           // begins "Extended Module: "
    uint16_t version = 0;                              // Version number, as stored
    std::string moduleName;                            // the 20 bytes of Module name, as stored
    std::string trackerName;                           // the 20 bytes of Tracker name, as stored
    std::vector<std::string> instrumentNames;          // 22 bytes each ("" where none is stored)
    std::vector<std::vector<std::string>> sampleNames; // per instrument, as many as stored

    uint64_t dataEnd = 0; // where the module's last part ends (at least there when cut short)
    // Cut short: the file ends before dataEnd. `exact` says whether the headers of every part
    // were there, so that dataEnd is exact; `firstCut` names the first part the file lacks
    // bytes of; the counts say how many parts of each kind lack bytes.
    bool exact = true;
    std::string firstCut;
    int cutPatterns = 0, cutInstruments = 0, cutSamples = 0;
};

// The layout of the `bytes` of a module that the loader accepts.
XmFileLayout WalkXmFile(const std::string& bytes);

// Empty when the file holds all of its module; otherwise one line on what is missing, such as
// "the file ends 716 bytes before its module does; lost from the data of sample 1 of
// instrument 12 on: 2 samples' data (played as silence)".
std::string CutShortText(const XmFileLayout& layout, uint64_t fileSize);

// Empty for a file in the version 1.04 layout the loader reads (or without the identification
// text); otherwise a line naming the version, for refusals and warnings.
std::string VersionText(const XmFileLayout& layout);

// Why the loader refused the file: its `rule`, led by VersionText when the version explains it.
std::string RefusalText(const std::string& rule, const XmFileLayout& layout);

// True when `text` holds any byte other than zero.
bool HasText(const std::string& text);
