// kestrin-rom's commands on images made by the ROM builder, through its
// command line, with the JSON output parsed back.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli.h"
#include "cli_run.h"
#include "editing_state.h"
#include "model_test_support.h"
#include "rom_builder.h"
#include "part_streams.h"
#include "song_tables.h"

namespace kestrin::rom_tool {
namespace {

using demo::RomBuilder;
using Json = nlohmann::json;
using testing_support::ReadFile;
using testing_support::TempFolder;

// One part in set 1 at the start of the music bank, the one part of song
// 01. Every other song lists part 20 of its set, whose entry 0 gives a
// header of its own: a part of one end byte near the end of the bank.
RomBuilder OnePartRom() {
  RomBuilder rom;
  demo::PartStreams part;
  part.square1 = {0x84, 0x30, 0x7E, 0x00};
  part.square2 = {0x8C, 0x31, 0x7E};
  rom.AddPart(SongSet::One, part);
  for (const SongSet set : {SongSet::One, SongSet::Two}) {
    const std::uint8_t low = set == SongSet::One ? 0x00 : 0x01;
    rom.Poke(LayoutOf(set).headerAreaBase, std::vector<std::uint8_t>{0x10, low, 0xBF, 0, 0, 0, 0});
    rom.Poke(0x39F10 + low, 0x00);
    for (int index = 1; index <= 15; ++index) {
      if (set == SongSet::Two || index > 1) rom.SetSong(set, index, 0x20, 0x20, 0x20);
    }
  }
  return rom;
}

// The part's header lies at header entry 7 of set 1's header area.
constexpr std::int32_t kPart0Header = 0x3877C + 7;

class KestrinRomCliTest : public ::testing::Test {
 protected:
  std::string Write(const RomBuilder& rom, const std::string& name) {
    const std::string path = folder_ / name;
    EXPECT_TRUE(rom.WriteTo(path));
    return path;
  }

  Json CheckJson(const RomBuilder& rom, int expectedCode) {
    const CliRun run = Cli({"check", Write(rom, "check.nes"), "--json"});
    EXPECT_EQ(run.code, expectedCode) << run.out << run.err;
    return Json::parse(run.out);
  }

  TempFolder folder_;
};

TEST_F(KestrinRomCliTest, CheckFindsNothingInTheDemoRom) {
  const CliRun run = Cli({"check", Write(demo::BuildDemoRom(), "demo.nes")});
  EXPECT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("no problems found"), std::string::npos);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(CheckJson(demo::BuildDemoRom(), 0)["problems"].size(), 0u);
}

TEST_F(KestrinRomCliTest, CheckReportsSongsOutOfOrder) {
  RomBuilder rom = demo::BuildDemoRom();
  rom.SetSong(SongSet::One, 2, 4, 3, 3);
  rom.SetSong(SongSet::Two, 0x0F, 0, 1, 2);
  const Json problems = CheckJson(rom, 1)["problems"];
  ASSERT_EQ(problems.size(), 2u) << problems.dump(1);
  EXPECT_EQ(problems[0]["kind"], "song order");
  EXPECT_EQ(problems[0]["text"],
            "song 02-Stone Road (set 1, index 2): first part 4 is higher than last part 3, the game may not work "
            "properly");
  EXPECT_EQ(problems[1]["text"],
            "song 0F (set 2, index F): loop part 2 is out of the song's parts 0 to 1, the game may not work properly");
}

TEST_F(KestrinRomCliTest, CheckReportsAPartWhoseOffsetsDoNotAscend) {
  RomBuilder rom = OnePartRom();
  rom.Poke(kPart0Header + 4, 0x09);  // Triangle offset above the Square2 offset (7)
  const Json problems = CheckJson(rom, 1)["problems"];
  ASSERT_EQ(problems.size(), 1u) << problems.dump(1);
  EXPECT_EQ(problems[0]["kind"], "part cannot be loaded");
  EXPECT_EQ(problems[0]["text"].get<std::string>().rfind("song 01, line 1 (entry 7, part 0): cannot be loaded", 0), 0u);
  EXPECT_EQ(problems[0]["places"], Json::parse(R"j([{"song": "01", "line": 1, "entry": 7, "part": 0,
                                                     "text": "song 01, line 1 (entry 7, part 0)"}])j"));
}

TEST_F(KestrinRomCliTest, CheckReportsAStreamWithoutItsEndByte) {
  RomBuilder rom = OnePartRom();
  // Part address 0xBFF0 starts the part 16 bytes before the end of the bank;
  // all four offsets 0: Square 1 alone, and no zero until far beyond.
  rom.Poke(kPart0Header + 1, std::vector<std::uint8_t>{0xF0, 0xBF, 0, 0, 0, 0});
  for (std::int32_t at = 0x3A000; at <= 0x3A00F; ++at) rom.Poke(at, 0x30);
  rom.Poke(0x3A020, 0x00);
  const Json problems = CheckJson(rom, 1)["problems"];
  ASSERT_EQ(problems.size(), 1u) << problems.dump(1);
  EXPECT_EQ(problems[0]["kind"], "no end byte");
  EXPECT_EQ(problems[0]["text"],
            "song 01, line 1 (entry 7, part 0): Square 1 at 0x3A000 has no end byte inside the music bank");
}

TEST_F(KestrinRomCliTest, CheckReportsOverlappingStreams) {
  RomBuilder rom = OnePartRom();
  rom.Poke(kPart0Header + 4, 0x03);  // Square 2 begins on Square 1's end byte
  const Json problems = CheckJson(rom, 1)["problems"];
  ASSERT_EQ(problems.size(), 1u) << problems.dump(1);
  EXPECT_EQ(problems[0]["kind"], "streams overlap");
  EXPECT_EQ(problems[0]["text"],
            "song 01, line 1 (entry 7, part 0): Square 1 (0x38010, 4 bytes) and Square 2 (0x38013, 4 bytes) overlap");
}

TEST_F(KestrinRomCliTest, CheckReportsStreamsOfTwoPartsThatOverlap) {
  RomBuilder rom = OnePartRom();
  rom.AddPart(SongSet::One, demo::PartStreams{});
  rom.SetSong(SongSet::One, 1, 0, 1, 0);
  // Part 1 now starts on part 0's Noise byte (0x38019); its Square 1 runs
  // on through part 0's DMC end byte.
  rom.Poke(kPart0Header + 7 + 1, std::vector<std::uint8_t>{0x09, 0xA0});
  const Json problems = CheckJson(rom, 1)["problems"];
  ASSERT_EQ(problems.size(), 2u) << problems.dump(1);
  EXPECT_EQ(problems[0]["kind"], "streams overlap");
  EXPECT_EQ(problems[0]["text"],
            "song 01, line 1 (entry 7, part 0) Noise (0x38019, 1 byte) and song 01, line 2 (entry E, part 1) "
            "Square 1 (0x38019, 2 bytes) overlap");
  EXPECT_EQ(problems[1]["text"],
            "song 01, line 2 (entry E, part 1) Square 1 (0x38019, 2 bytes) and song 01, line 1 (entry 7, part 0) "
            "DMC (0x3801A, 1 byte) overlap");
}

TEST_F(KestrinRomCliTest, SongsPrintWhatTheDataLayerHolds) {
  const RomBuilder rom = demo::BuildDemoRom();
  const CliRun run = Cli({"songs", Write(rom, "demo.nes"), "--json"});
  ASSERT_EQ(run.code, 0) << run.err;
  const Json songs = Json::parse(run.out);
  ASSERT_EQ(songs.size(), 26u);
  // The first song's three parts get header entries 7, 14 and 21.
  EXPECT_EQ(songs[0]["parts"], Json({7, 14, 21}));
  EXPECT_EQ(songs[14]["song"], "0F");
  EXPECT_EQ(songs[14]["set"], 2);
  EXPECT_EQ(songs[14]["index"], 15);
  EXPECT_EQ(songs[25]["index"], 11);

  EditingState state;
  state.romImage = rom.Image();
  state.romSize = kRomSize;
  for (const Json& song : songs) {
    const SongSet set = song["set"] == 1 ? SongSet::One : SongSet::Two;
    ASSERT_TRUE(GetSongParts(state, set, song["index"].get<int>()));
    EXPECT_EQ(song["first"], state.firstPart);
    EXPECT_EQ(song["last"], state.lastPart);
    EXPECT_EQ(song["loop"], state.loopPart);
    EXPECT_EQ(song["parts"].get<std::vector<std::int32_t>>(), state.songPartList);
  }
  const CliRun text = Cli({"songs", folder_ / "demo.nes"});
  EXPECT_EQ(text.out.substr(0, text.out.find('\n')),
            "01-Morning Field     set 1  index 1   first 0   last 2   loop 1   parts 7 E 15");
}

TEST_F(KestrinRomCliTest, PartShowsTheHeaderStreamsAndDecodedSquareBytes) {
  const CliRun run = Cli({"part", Write(OnePartRom(), "one.nes"), "--song", "01", "--line", "1", "--json"});
  ASSERT_EQ(run.code, 0) << run.err;
  const Json part = Json::parse(run.out);
  EXPECT_EQ(part["name"], "song 01, line 1 (entry 7, part 0)");
  EXPECT_EQ(part["song"], "01");
  EXPECT_EQ(part["line"], 1);
  EXPECT_EQ(part["entry"], 7);
  EXPECT_EQ(part["part"], 0);
  EXPECT_EQ(part["set"], 1);
  EXPECT_EQ(part["header_position"], 0x38783);
  // Packed: Square 1 4 bytes, Square 2 3, then 2, 1 and the DMC end byte.
  EXPECT_EQ(part["header"]["bytes"], Json({0x10, 0x00, 0xA0, 0x07, 0x04, 0x09, 0x0A}));
  EXPECT_EQ(part["part_start"], 0x38010);
  std::vector<int> lengths;
  for (const Json& s : part["streams"]) lengths.push_back(s["length"].get<int>());
  EXPECT_EQ(lengths, (std::vector<int>{4, 3, 2, 1, 1}));

  const Json& square1 = part["square1"];
  ASSERT_EQ(square1.size(), 4u);
  EXPECT_EQ(square1[0]["kind"], "properties");
  EXPECT_EQ(square1[0]["instrument"], 8);
  EXPECT_EQ(square1[0]["length_code"], 4);
  EXPECT_EQ(square1[0]["duration"], 1.0);
  EXPECT_EQ(square1[1]["note"], "C4");
  EXPECT_EQ(square1[2]["kind"], "rest");
  EXPECT_EQ(square1[3]["kind"], "end");
  // Length code 12 lasts 8 units; 0x31 is C4 too (odd bytes share a pitch).
  EXPECT_EQ(part["square2"][0]["duration"], 8.0);
  EXPECT_EQ(part["square2"][1]["note"], "C4");

  const CliRun text = Cli({"part", folder_ / "one.nes", "--set", "1", "--part", "0"});
  EXPECT_EQ(text.out.rfind("set 1 part 0 (entry 7), header at 0x38783: 10 00 A0 07 04 09 0A\n"
                           "  Tempo 10, Part Address A000 (part start 0x38010)", 0), 0u) << text.out;
  EXPECT_NE(text.out.find("  loaded by song 01, line 1 (entry 7, part 0)\n"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("      0  84  props 84 (Instr. 8, length 4, duration 1)\n"), std::string::npos);
}

TEST_F(KestrinRomCliTest, DiffAttributesEachChangedByte) {
  const RomBuilder original = OnePartRom();
  RomBuilder edited = original;
  edited.Poke(0x3887C + 15 + 2, 0x01);  // last part of set 1 index 2
  edited.Poke(kPart0Header + 0, 0x20);   // tempo
  edited.Poke(0x38011, 0x34);            // Square 1 byte 1: C4 -> D4
  const std::string before = Write(original, "before.nes");
  const CliRun run = Cli({"diff", before, Write(edited, "after.nes"), "--json"});
  EXPECT_EQ(run.code, 0) << run.out << run.err;
  const Json changes = Json::parse(run.out)["changes"];
  ASSERT_EQ(changes.size(), 3u);
  EXPECT_EQ(changes[0]["offset"], 0x38011);
  EXPECT_EQ(changes[0]["roles"][0]["text"], "Square 1 byte 1 of song 01, line 1 (entry 7, part 0): C4 \u2192 D4");
  EXPECT_EQ(changes[1]["offset"], 0x38783);
  EXPECT_EQ(changes[1]["roles"][0]["text"], "Tempo (header byte 0) of song 01, line 1 (entry 7, part 0)");
  EXPECT_EQ(changes[2]["offset"], 0x3888D);
  EXPECT_EQ(changes[2]["roles"][0]["text"], "song table set 1 index 2 (02-Stone Road) last part");

  // Songs 02 to 0E all list part 20 of set 1: its part table byte is each one's line.
  RomBuilder retabled = original;
  retabled.Poke(0x38750 + 0x20, 0x0E);
  const Json entry = Json::parse(Cli({"diff", before, Write(retabled, "retabled.nes"), "--json"}).out)["changes"][0];
  EXPECT_EQ(entry["offset"], 0x38770);
  const std::string text = entry["roles"][0]["text"];
  EXPECT_EQ(text.rfind("part list entry of song 02, line 1 and song 03, line 1 and ", 0), 0u) << text;
  EXPECT_EQ(text.substr(text.size() - 25), "song 0E, line 1 (part 20)") << text;
  EXPECT_EQ(entry["roles"][0]["places"].size(), 13u);

  edited.Poke(0x00100, 0x00);  // program code: never written by the editor
  const CliRun outside = Cli({"diff", before, Write(edited, "after.nes")});
  EXPECT_EQ(outside.code, 1);
  EXPECT_NE(outside.out.find("0x00100"), std::string::npos);
  EXPECT_NE(outside.out.find("outside the music data"), std::string::npos);
}

TEST_F(KestrinRomCliTest, PatchesWrittenByTheCommandsRebuildTheEditedRom) {
  RomBuilder edited = demo::BuildDemoRom();
  edited.Poke(0x38011, 0x7E);
  const std::string original = Write(demo::BuildDemoRom(), "clean.nes");
  const std::string target = Write(edited, "edited.nes");
  for (const std::string format : {"ips", "bps"}) {
    const std::string patch = folder_ / ("p." + format);
    const std::string out = folder_ / ("out-" + format + ".nes");
    ASSERT_EQ(Cli({format, original, target, "-o", patch}).code, 0);
    const CliRun applied = Cli({"apply", original, patch, "-o", out});
    ASSERT_EQ(applied.code, 0) << applied.err;
    EXPECT_EQ(ReadFile(out), edited.Image());
  }
}

TEST_F(KestrinRomCliTest, BadInputsGiveOneErrorLineTheirExitCodeAndNoOutput) {
  const std::string clean = Write(demo::BuildDemoRom(), "clean.nes");
  RomBuilder other = demo::BuildDemoRom();
  other.Poke(0x38011, 0x7E);
  const std::string edited = Write(other, "edited.nes");
  const std::string bps = folder_ / "p.bps";
  ASSERT_EQ(Cli({"bps", clean, edited, "-o", bps}).code, 0);
  auto patchBytes = ReadFile(bps);
  const std::string out = folder_ / "out.nes";

  const auto expectError = [&](const std::vector<std::string>& args, int code, const std::string& words) {
    const CliRun run = Cli(args);
    EXPECT_EQ(run.code, code) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find(words), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(out));
  };
  expectError({"check", folder_ / "missing.nes"}, 2, "Apparently, this file doesn't even exist!");
  testing_support::WriteFile(folder_ / "short.nes", std::vector<std::uint8_t>(1000, 1));
  expectError({"songs", folder_ / "short.nes"}, 2, "Doesn't look like Kestrin rom...");
  expectError({"apply", edited, bps, "-o", out}, 2, "another file");
  patchBytes.resize(patchBytes.size() - 5);
  testing_support::WriteFile(folder_ / "cut.bps", patchBytes);
  expectError({"apply", clean, folder_ / "cut.bps", "-o", out}, 2, "cut.bps");
  testing_support::WriteFile(folder_ / "cut.ips", std::vector<std::uint8_t>{'P', 'A', 'T', 'C', 'H', 0, 0});
  expectError({"apply", clean, folder_ / "cut.ips", "-o", out}, 2, "cut short");
  expectError({"apply", clean, bps}, 4, "output");
  expectError({"part", clean, "--set", "3", "--part", "0"}, 4, "--set");
  expectError({"part", clean, "--set", "1", "--part", "G"}, 4, "no part number");
  expectError({"apply", clean, bps, "-o", clean}, 4, "overwrite an input");
  EXPECT_EQ(ReadFile(clean), demo::BuildDemoRom().Image());

  // Each kind of input that is no file gets words of its own.
  std::filesystem::create_directory(folder_ / "folder.nes");
  expectError({"check", folder_ / "folder.nes"}, 2, "folder.nes: is a folder, not a file");
  expectError({"check", "/dev/null"}, 2, "/dev/null: is a device, not a file");
  std::filesystem::create_symlink(folder_ / "loop.nes", folder_ / "loop.nes");
  expectError({"check", folder_ / "loop.nes"}, 2, "loop.nes: cannot be read: ");
  if (::geteuid() != 0) {  // the superuser reads whatever the mode says
    std::filesystem::copy_file(clean, folder_ / "locked.nes");
    std::filesystem::permissions(folder_ / "locked.nes", std::filesystem::perms::none);
    expectError({"check", folder_ / "locked.nes"}, 2, "locked.nes: cannot be read: Permission denied");
  }

  // Commands, songs, lines and part numbers the ROM or the tool lacks.
  expectError({"frobnicate", clean}, 4,
              "unknown command 'frobnicate'; the commands are check, songs, part, diff, export, import, ips, bps, "
              "apply");
  expectError({"part", clean, "--set", "1", "--part", "2C"}, 4,
              "part 2C lies past the part table of set 1, which holds parts 0 to 2B");
  expectError({"export", clean, "--set", "2", "--part", "2D"}, 4, "which holds parts 0 to 2C");
  expectError({"part", clean, "--song", "01", "--line", "4"}, 4, "song 01 has no line 4: its part list has 3 lines");
  expectError({"part", clean, "--song", "11", "--line", "1"}, 4, "the song list has no song '11'");
  expectError({"part", clean, "--song", "01"}, 4, "--song and --line go together");
  expectError({"export", clean, "--song", "01", "--line", "1", "--set", "1"}, 4, "cannot go with");

  const CliRun version = Cli({"--version"});
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.out.rfind("kestrin-rom", 0), 0u);
  const CliRun help = Cli({"--help"});
  EXPECT_EQ(help.code, 0);
  for (const char* words : {"Exit codes:", "--song 01 --line 2", "first part + line - 1", "--set 1 --part 1",
                            "\"song 01, line 2 (entry E, part 1)\""}) {
    EXPECT_NE(help.out.find(words), std::string::npos) << words;
  }
}

TEST_F(KestrinRomCliTest, CheckFindsNoKestrinRomInAFileOfZeros) {
  testing_support::WriteFile(folder_ / "zeros.nes", std::vector<std::uint8_t>(393232, 0));
  const CliRun run = Cli({"check", folder_ / "zeros.nes", "--json"});
  EXPECT_EQ(run.code, 1);
  const Json problems = Json::parse(run.out)["problems"];
  ASSERT_EQ(problems.size(), 3u) << problems.dump(1);
  EXPECT_EQ(problems[0]["text"],
            "the file does not begin with the iNES header (\"NES\" 1A): its first bytes are 00 00 00 00");
  // Every song lists part 0, whose header of zeros gives part address 0.
  for (const std::size_t k : {1u, 2u}) {
    EXPECT_EQ(problems[k]["kind"], "part address outside the music bank");
    EXPECT_EQ(problems[k]["places"].size(), k == 1 ? 14u : 12u);
    EXPECT_NE(problems[k]["text"].get<std::string>().find(": part address 0 points outside the music bank"),
              std::string::npos);
  }
  const CliRun text = Cli({"check", folder_ / "zeros.nes"});
  EXPECT_EQ(text.out.substr(text.out.rfind(": ")), ": 3 problems found\n");
}

TEST_F(KestrinRomCliTest, DiffNamesEveryLineThatReachesAByte) {
  // Song 0B's second line shows the part of song 01's third line again.
  const RomBuilder original = demo::BuildDemoRom();
  EditingState state;
  state.romImage = original.Image();
  state.romSize = kRomSize;
  ASSERT_TRUE(GetSongParts(state, SongSet::One, 0x0B));
  const std::int32_t shared = state.firstPart + 1;
  const std::int32_t entry = state.songPartList[1];
  ASSERT_TRUE(GetSongParts(state, SongSet::One, 0x01));
  ASSERT_EQ(state.songPartList[2], entry);
  ASSERT_TRUE(LoadPart(state, state.firstPart + 2));

  RomBuilder edited = original;
  edited.Poke(state.streamPosition[0] + 1, 0x7E);
  const CliRun run = Cli({"diff", Write(original, "a.nes"), Write(edited, "b.nes"), "--json"});
  ASSERT_EQ(run.code, 0) << run.err;
  const Json role = Json::parse(run.out)["changes"][0]["roles"][0];
  char expected[160];
  std::snprintf(expected, sizeof expected,
                "Square 1 byte 1 of song 01, line 3 (entry %X, part 2) and song 0B, line 2 (entry %X, part %X): ",
                static_cast<unsigned>(entry), static_cast<unsigned>(entry), static_cast<unsigned>(shared));
  EXPECT_EQ(role["text"].get<std::string>().rfind(expected, 0), 0u) << role["text"];
  EXPECT_EQ(role["places"].size(), 2u);
}

}  // namespace
}  // namespace kestrin::rom_tool
