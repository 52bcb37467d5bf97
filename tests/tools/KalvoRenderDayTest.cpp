// kalvo-render on a post-production day: several cards decoded into one
// folder with names from the takes' metadata, and batches run again.

#include "TestFiles.h"
#include "tools/kalvo-render/cli/DisplayWidth.h"
#include "tools/kalvo-render/files/TakeMetadata.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using testfiles::ScratchDir;

namespace
{

constexpr uint64_t kRate = 48000;

std::vector<std::string> dayArgs(std::vector<std::string> inputs, const std::vector<std::string>& more)
{
    inputs.insert(inputs.end(), {"--tracks", "MID,SIDE,REAR"});
    inputs.insert(inputs.end(), more.begin(), more.end());
    return inputs;
}

ino_t inode(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

} // namespace

TEST(TakeMetadata, TimecodeLabelsAtTheTakesFrameRate)
{
    using render::timecodeText;
    // 14:03:07 and 12 frames at 25 fps (a frame is 1920 samples at 48 kHz).
    const uint64_t at = (14 * 3600 + 3 * 60 + 7) * kRate + 12 * 1920;
    EXPECT_EQ(timecodeText(at, 48000, "25/1", "NDF"), "14-03-07-12");
    EXPECT_EQ(timecodeText(at, 48000, "", ""), "14-03-07");
    // 29.97 drop-frame: the minute's first two labels are skipped, but every
    // tenth minute's; 17982 frames are exactly ten minutes of labels.
    auto at2997 = [](uint64_t frame) { return (frame * 1001 * kRate + 29999) / 30000; };
    EXPECT_EQ(timecodeText(at2997(1799), 48000, "30000/1001", "DF"), "00-00-59-29");
    EXPECT_EQ(timecodeText(at2997(1800), 48000, "30000/1001", "DF"), "00-01-00-02");
    EXPECT_EQ(timecodeText(at2997(17982), 48000, "30000/1001", "DF"), "00-10-00-00");
    EXPECT_EQ(timecodeText(at2997(17982), 48000, "30000/1001", "NDF"), "00-09-59-12");
}

TEST(KalvoRenderDay, TwoCardsWithTheSameTakeNamesGoIntoOneFolderNamedFromTheirMetadata)
{
    ScratchDir dir;
    testfiles::Take take;
    for (const char* card : {"card1", "card2"})
    {
        ASSERT_EQ(::mkdir(dir.file(card).c_str(), 0755), 0);
        take.scene = card == std::string("card1") ? "12" : "14";
        take.timeReference = (14 * 3600 + 3 * 60 + 7) * kRate + 12 * 1920;
        ASSERT_TRUE(testfiles::writeTake(dir.file(card) + "/T001.WAV", take));
    }
    const std::vector<std::string> cards = {dir.file("card1"), dir.file("card2")};
    auto collide = testfiles::runTool(dir, dayArgs(cards, {"--out-dir", dir.file("day")}));
    EXPECT_EQ(collide.exitCode, 1);
    EXPECT_NE(collide.err.find("--name \"{folder}_{name}.{layout}\""), std::string::npos) << collide.err;

    auto named = testfiles::runTool(dir, dayArgs(cards, {"--out-dir", dir.file("day"), "--name",
                                                         "{tape}_S{scene}T{take}_{date}_{timecode}"}));
    EXPECT_EQ(named.exitCode, 0) << named.err;
    EXPECT_EQ(ScratchDir::listOf(dir.file("day")),
              (std::vector<std::string>{"DAY04_S12T3_2026-12-08_14-03-07-12.wav",
                                        "DAY04_S14T3_2026-12-08_14-03-07-12.wav"}));
    auto byFolder = testfiles::runTool(
        dir, dayArgs(cards, {"--out-dir", dir.file("day2"), "--name", "{folder}-{name}", "-q"}));
    EXPECT_EQ(byFolder.exitCode, 0) << byFolder.err;
    EXPECT_EQ(ScratchDir::listOf(dir.file("day2")),
              (std::vector<std::string>{"card1-T001.wav", "card2-T001.wav"}));

    // A field a take lacks stops the batch before anything is written.
    take.ixml = false;
    ASSERT_TRUE(testfiles::writeTake(dir.file("card2/T002.WAV"), take));
    for (const auto& c : std::vector<std::pair<std::string, std::string>>{
             {"{project}", "'" + dir.file("card1/T001.WAV") +
                               "' has no {project} for --name: its iXML chunk "
                               "names no PROJECT"},
             {"{scene}",
              "'" + dir.file("card2/T002.WAV") + "' has no {scene} for --name: it has no iXML chunk"}})
    {
        auto missing =
            testfiles::runTool(dir, dayArgs(cards, {"--out-dir", dir.file("day3"), "--name", c.first}));
        EXPECT_EQ(missing.exitCode, 1);
        EXPECT_NE(missing.err.find(c.second), std::string::npos) << missing.err;
        EXPECT_EQ(::access(dir.file("day3").c_str(), F_OK), -1) << "nothing written";
    }
}

TEST(KalvoRenderDay, ABatchRunAgainIntoTheCardsFolderDecodesOnlyTheTakes)
{
    ScratchDir dir;
    ASSERT_EQ(::mkdir(dir.file("card").c_str(), 0755), 0);
    testfiles::Take take;
    for (const char* name : {"card/T001.WAV", "card/T002.WAV"})
        ASSERT_TRUE(testfiles::writeTake(dir.file(name), take));
    const std::vector<std::string> here = {dir.file("card"), "--out-dir", dir.file("card")};
    auto first = testfiles::runTool(dir, dayArgs(here, {}));
    ASSERT_EQ(first.exitCode, 0) << first.err;
    const std::vector<std::string> decoded = {"T001.5.1.wav", "T001.WAV", "T002.5.1.wav", "T002.WAV"};
    ASSERT_EQ(ScratchDir::listOf(dir.file("card")), decoded);
    const ino_t before = inode(dir.file("card/T001.5.1.wav"));

    // Without a word on them, outputs that exist are all named before anything starts.
    auto again = testfiles::runTool(dir, dayArgs(here, {}));
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("2 files an earlier decode wrote are not decoded again"), std::string::npos)
        << again.err;
    EXPECT_NE(
        again.err.find("2 outputs exist already; --overwrite replaces them, --skip-existing keeps them"),
        std::string::npos)
        << again.err;
    EXPECT_NE(again.err.find("\n  " + dir.file("card/T001.5.1.wav") + "\n  " + dir.file("card/T002.5.1.wav")),
              std::string::npos)
        << again.err;

    auto skip = testfiles::runTool(dir, dayArgs(here, {"--skip-existing"}));
    EXPECT_EQ(skip.exitCode, 0) << skip.err;
    EXPECT_NE(skip.out.find("kept: T001.5.1.wav exists"), std::string::npos) << skip.out;
    EXPECT_NE(skip.out.find("0 of 2 files decoded into " + dir.file("card") + " (2 kept as they were)"),
              std::string::npos)
        << skip.out;
    EXPECT_EQ(inode(dir.file("card/T001.5.1.wav")), before);

    auto overwrite = testfiles::runTool(dir, dayArgs(here, {"--overwrite"}));
    EXPECT_EQ(overwrite.exitCode, 0) << overwrite.err;
    EXPECT_NE(inode(dir.file("card/T001.5.1.wav")), before) << "replaced through a temporary file";
    EXPECT_EQ(ScratchDir::listOf(dir.file("card")), decoded);

    // Decodes named otherwise are known by the coding history they carry.
    auto stereo = testfiles::runTool(dir, dayArgs(here, {"--layout", "stereo", "--name", "mix_{name}"}));
    EXPECT_EQ(stereo.exitCode, 0) << stereo.err;
    EXPECT_EQ(ScratchDir::listOf(dir.file("card")),
              (std::vector<std::string>{"T001.5.1.wav", "T001.WAV", "T002.5.1.wav", "T002.WAV",
                                        "mix_T001.wav", "mix_T002.wav"}));
}

TEST(KalvoRenderDay, TheTableLinesUpPathsByTheColumnsTheyTakeNotTheirBytes)
{
    // An umlaut written as one character and as O with a combining mark, and
    // characters two columns wide, all 8 and 4 columns whatever their bytes.
    EXPECT_EQ(render::displayWidth("\xC3\x96hringen"), 8);
    EXPECT_EQ(render::displayWidth("O\xCC\x88hringen"), 8);
    EXPECT_EQ(render::displayWidth("\xE9\x8C\xB2\xE9\x9F\xB3"), 4);

    ScratchDir dir;
    const std::string card = dir.file("Karte 01");
    const std::string day = card + "/DAY04 Wald \xE2\x80\x93 \xC3\x96hringen";
    ASSERT_EQ(::mkdir(card.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(day.c_str(), 0755), 0);
    testfiles::Take take;
    for (const char* name : {"/T001.WAV", "/O\xCC\x88hr.WAV", "/\xE9\x8C\xB2\xE9\x9F\xB3.WAV"})
        ASSERT_TRUE(testfiles::writeTake(day + name, take));
    auto run = testfiles::runTool(dir, dayArgs({day}, {"--out-dir", dir.file("out")}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // Where the peak column ends, in columns, on the header and on each file's line.
    std::vector<int> ends;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);)
    {
        const size_t at = line.find(line.rfind("peak") != std::string::npos ? "peak" : "dBFS");
        if (at != std::string::npos && line.find("files decoded") == std::string::npos)
            ends.push_back(render::displayWidth(line.substr(0, at + 4)));
    }
    ASSERT_EQ(ends.size(), 4u) << run.out;
    for (int end : ends)
        EXPECT_EQ(end, ends[0]) << run.out;
}
