// Module sources (memory, resource, file) and the player's private heap.
#include "render_support.h"
#include "sources.h"
#include "test_paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#ifndef _WIN32
#include "posix/resource_registry.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

const char kSixteen[] = "0123456789ABCDEF";

// What the start does before the loader runs: choose the source, take the size and base, open.
void OpenSource(uint32_t flags, const void* source, UINT_PTR parameter) {
    PrepareModuleSource(parameter, flags);
    OpenModuleSource(source);
}

#ifndef _WIN32
// On Windows the same bytes come from sources_test.rc.
const bool kRegistered =
    RegisterResourceImage(nullptr, MAKEINTRESOURCEA(201), RT_RCDATA, kSixteen, 16) &&
    RegisterResourceImage(nullptr, "SIXTEEN", RT_RCDATA, kSixteen, 16);
#endif

TEST(MemorySource, ReadsStopAtTheGivenSizeAndKeepTheRestOfTheDestination) {
    OpenSource(PLAY_FROM_MEMORY, kSixteen, 6); // the image is longer than the size given
    char buffer[10];
    std::memset(buffer, '*', sizeof buffer);
    gPlayer.activeSource.read(buffer, 10);
    EXPECT_EQ(std::string(buffer, 10), "012345****");
    EXPECT_EQ(gPlayer.sourcePosition, 10);
}

TEST(MemorySource, ReadAtTheEndCopiesNothingAndKeepsThePosition) {
    OpenSource(PLAY_FROM_MEMORY, kSixteen, 16);
    EXPECT_EQ(gPlayer.activeSource.seek(16, 0), 16);
    char buffer[4] = {'*', '*', '*', '*'};
    gPlayer.activeSource.read(buffer, 4);
    EXPECT_EQ(std::string(buffer, 4), "****");
    EXPECT_EQ(gPlayer.sourcePosition, 16);
}

TEST(MemorySource, ReadNearTheEndCopiesWhatIsLeftAndMovesTheWholeCount) {
    OpenSource(PLAY_FROM_MEMORY, kSixteen, 16);
    gPlayer.activeSource.seek(6, 0);
    char buffer[16];
    std::memset(buffer, '*', sizeof buffer);
    gPlayer.activeSource.read(buffer, 16);
    EXPECT_EQ(std::string(buffer, 16), "6789ABCDEF******");
    EXPECT_EQ(gPlayer.sourcePosition, 22);
}

TEST(MemorySource, SeeksRelativeBackwardAndRefusesTargetsBeyondTheEnd) {
    OpenSource(PLAY_FROM_MEMORY, kSixteen, 16);
    char buffer[8];
    gPlayer.activeSource.read(buffer, 8);
    EXPECT_EQ(gPlayer.activeSource.seek(-4, 1), 4);
    EXPECT_EQ(gPlayer.sourcePosition, 4);
    EXPECT_EQ(gPlayer.activeSource.seek(17, 0), 17); // returned, but not taken
    EXPECT_EQ(gPlayer.sourcePosition, 4);
    EXPECT_EQ(gPlayer.activeSource.seek(12, 1), 16); // exactly the end is allowed
    EXPECT_EQ(gPlayer.sourcePosition, 16);
}

TEST(MemorySource, ANegativePositionNeverReadsBeforeTheImage) {
    OpenSource(PLAY_FROM_MEMORY, kSixteen + 4, 12);
    EXPECT_EQ(gPlayer.activeSource.seek(-4, 0), -4);
    char buffer[8];
    std::memset(buffer, '*', sizeof buffer);
    gPlayer.activeSource.read(buffer, 8);
    EXPECT_EQ(std::string(buffer, 8), "****4567");
    EXPECT_EQ(gPlayer.sourcePosition, 4);
    std::memset(buffer, '*', sizeof buffer);
    gPlayer.activeSource.seek(-100, 1);
    gPlayer.activeSource.read(buffer, 8); // wholly before the image
    EXPECT_EQ(std::string(buffer, 8), "********");
}

TEST(MemorySource, HugeCountsDoNotWrapThePosition) {
    OpenSource(PLAY_FROM_MEMORY, kSixteen, 16);
    gPlayer.activeSource.seek(15, 0);
    char buffer[1];
    gPlayer.activeSource.read(buffer, 1);
    EXPECT_EQ(buffer[0], 'F');
    EXPECT_EQ(gPlayer.activeSource.seek(INT32_MAX, 1), INT32_MAX);
    EXPECT_EQ(gPlayer.sourcePosition, 16);
}

TEST(SourceSelection, FlagsChooseMemoryBeforeFileBeforeResource) {
    struct Case {
        uint32_t flags;
        const ModuleSource* expected;
    } cases[] = {{1, &MemorySource},   {3, &MemorySource},        {2, &FileSource},
                 {0, &ResourceSource}, {8 | 16, &ResourceSource}, {1 | 8, &MemorySource}};
    for (const Case& c : cases) {
        SelectModuleSource(c.flags);
        EXPECT_EQ(gPlayer.activeSource.read, c.expected->read) << "flags " << c.flags;
        EXPECT_EQ(gPlayer.activeSource.open, c.expected->open) << "flags " << c.flags;
    }
}

TEST(ResourceSource, FindsTheResourceByIdOrNameAndReadsItLikeMemory) {
    const char* names[] = {MAKEINTRESOURCEA(201), "SIXTEEN", "sixteen"};
    for (const char* name : names) {
        OpenSource(0, name, 0);
        EXPECT_EQ(gPlayer.sourceFailed, 0);
        EXPECT_EQ(gPlayer.sourceSize, 16);
        char buffer[20];
        std::memset(buffer, '*', sizeof buffer);
        gPlayer.activeSource.read(buffer, 20);
        EXPECT_EQ(std::string(buffer, 20), "0123456789ABCDEF****");
        gPlayer.activeSource.close();
    }
}

TEST(ResourceSource, AMissingResourceIsReportedAndReadsNothing) {
    OpenSource(0, MAKEINTRESOURCEA(999), 0);
    EXPECT_EQ(gPlayer.sourceFailed, 1);
    char buffer[4] = {'*', '*', '*', '*'};
    gPlayer.activeSource.read(buffer, 4);
    EXPECT_EQ(std::string(buffer, 4), "****");
    gPlayer.activeSource.close();
}

#ifdef _WIN64
// tune_module.dll is based above 4 GiB: the resource source must name its module by the whole
// handle. The tune it holds plays as the same bytes play from memory.
TEST(ResourceSource, AModuleAbove4GiBLoadsAndPlays) {
    HMODULE module = LoadLibraryA("tune_module.dll");
    ASSERT_NE(module, nullptr) << GetLastError();
    ASSERT_NE(reinterpret_cast<uintptr_t>(module) >> 32, 0u) << module;
    HRSRC resource = FindResourceA(module, "TUNE", MAKEINTRESOURCEA(10));
    ASSERT_NE(resource, nullptr);
    std::string image(static_cast<const char*>(LoadResource(module, resource)),
                      SizeofResource(module, resource));
    std::vector<int16_t> played =
        RenderOfflineFrom("TUNE", reinterpret_cast<UINT_PTR>(module), 0, kBlockCount);
    EXPECT_EQ(played, RenderOffline(image, kBlockCount));
    EXPECT_TRUE(std::any_of(played.begin(), played.end(), [](int16_t s) { return s != 0; }));
    FreeLibrary(module);
}
#endif

TEST(FileSource, ReadsAndSeeksARealFile) {
    std::string path = SourcePath("tests/data/sixteen.bin");
    OpenSource(PLAY_FROM_FILE, path.c_str(), 0);
    ASSERT_EQ(gPlayer.sourceFailed, 0);
    char buffer[4];
    gPlayer.activeSource.read(buffer, 4);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    EXPECT_EQ(gPlayer.activeSource.seek(-2, 1), 2);
    gPlayer.activeSource.read(buffer, 4);
    EXPECT_EQ(std::string(buffer, 4), "2345");
    EXPECT_EQ(gPlayer.activeSource.seek(14, 0), 14);
    std::memset(buffer, '*', sizeof buffer);
    gPlayer.activeSource.read(buffer, 4);
    EXPECT_EQ(std::string(buffer, 4), "EF**");
    gPlayer.activeSource.close();
}

#ifndef _WIN32
// Windows opens a file of any size; so must the stand-in on 32-bit builds, whose plain open()
// refuses files past 2 GiB. (The sparse file takes no disk space.)
TEST(FileSource, OpensAFileLargerThan2GiB) {
    const std::string path = BinaryPath("tests/three-gib.bin");
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    ASSERT_EQ(::ftruncate(fd, off_t(3) << 30), 0) << std::strerror(errno);
    ::close(fd);
    OpenSource(PLAY_FROM_FILE, path.c_str(), 0);
    EXPECT_EQ(gPlayer.sourceFailed, 0);
    char buffer[4] = {'*', '*', '*', '*'};
    gPlayer.activeSource.read(buffer, 4);
    EXPECT_EQ(std::string(buffer, 4), std::string(4, '\0'));
    gPlayer.activeSource.close();
    std::remove(path.c_str());
}
#endif

TEST(FileSource, AMissingFileIsReportedAndReadsNothing) {
    OpenSource(PLAY_FROM_FILE, "no-such-module.xm", 0);
    EXPECT_EQ(gPlayer.sourceFailed, 1);
    char buffer[4] = {'*', '*', '*', '*'};
    gPlayer.activeSource.read(buffer, 4);
    EXPECT_EQ(std::string(buffer, 4), "****");
    gPlayer.activeSource.close();
}

TEST(PlayerHeap, BlocksAreZeroFilledAndTheHeapGoesAsAWhole) {
    ASSERT_TRUE(CreatePlayerHeap());
    for (int i = 0; i < 2; ++i) {
        auto* block = static_cast<unsigned char*>(PlayerAlloc(4096));
        ASSERT_NE(block, nullptr);
        for (int b = 0; b < 4096; ++b) ASSERT_EQ(block[b], 0) << "block " << i << " byte " << b;
        std::memset(block, 0xFF, 4096);
    }
    EXPECT_GE(PlatformHeapBytes(gPlayer.heap), 8192u);
    DestroyPlayerHeap();
    EXPECT_EQ(gPlayer.heap, nullptr);
    EXPECT_EQ(PlayerAlloc(16), nullptr); // no heap, no block
    DestroyPlayerHeap();                 // nothing to destroy: nothing happens
    EXPECT_EQ(gPlayer.heap, nullptr);
}

} // namespace
