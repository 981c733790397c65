// Bad input for the ROM loader: paths that are no regular file are refused
// at once (never a hang on a pipe or a device), unusual path characters
// work both ways, and only the exact ROM size is ever accepted.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "editing_state.h"
#include "music_bank.h"
#include "rom_file.h"

namespace kestrin {
namespace {

namespace fs = std::filesystem;

class LoaderBadInput : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("kestrin-load-" + std::to_string(getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  // Loads `path` into a state that already holds an image, and checks that
  // a refusal kept that image.
  bool LoadKeepingOld(const std::string& path) {
    EditingState state;
    state.romImage.assign(static_cast<std::size_t>(kRomSize), 0x5A);
    state.romSize = kRomSize;
    ::testing::internal::CaptureStdout();
    const bool loaded = LoadRom(state, path);
    lastReport_ = ::testing::internal::GetCapturedStdout();
    if (!loaded) {
      EXPECT_EQ(state.romImage, std::vector<std::uint8_t>(static_cast<std::size_t>(kRomSize), 0x5A));
      EXPECT_EQ(state.romSize, kRomSize);
    }
    return loaded;
  }

  fs::path folder_;
  std::string lastReport_;
};

TEST_F(LoaderBadInput, FolderPipeAndDevicesAreRefusedAtOnce) {
  EXPECT_FALSE(LoadKeepingOld(folder_.string()));
  EXPECT_FALSE(LoadKeepingOld((folder_ / "sub.nes").string()));  // missing
  EXPECT_EQ(lastReport_, "Apparently, this file doesn't even exist!\n");

  const fs::path pipe = folder_ / "pipe.nes";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_FALSE(LoadKeepingOld(pipe.string()));  // a hang here fails the suite's timeout
  EXPECT_FALSE(LoadKeepingOld("/dev/zero"));
  EXPECT_FALSE(LoadKeepingOld("/dev/null"));
  EXPECT_EQ(lastReport_, "Doesn't look like Kestrin rom...\n");
}

TEST_F(LoaderBadInput, NonAsciiAndBlankPathsOpenAndSave) {
  for (const std::string name : {"mes chansons é.nes", "песни ROM.nes", "曲 データ.nes", " lead blank.nes"}) {
    const fs::path path = folder_ / fs::u8path(name);
    {
      std::vector<std::uint8_t> image(static_cast<std::size_t>(kRomSize), 0x33);
      std::ofstream out(path, std::ios::binary);
      out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    }
    EditingState state;
    ASSERT_TRUE(LoadRom(state, path.string())) << name;
    state.romImage[0x38010] = 0x77;
    ASSERT_TRUE(WriteImage(state, path.string())) << name;
    EditingState reread;
    ASSERT_TRUE(LoadRom(reread, path.string())) << name;
    EXPECT_EQ(reread.romImage, state.romImage) << name;
    ASSERT_EQ(WriteBackup(state, path.string()).outcome, BackupOutcome::Written) << name;
    EXPECT_TRUE(fs::exists(folder_ / fs::u8path(BackupPath(name)))) << name;
  }
}

TEST_F(LoaderBadInput, OnlyTheExactSizeIsAccepted) {
  const fs::path path = folder_ / "sized.nes";
  { std::ofstream touch(path, std::ios::binary); }
  std::vector<std::uintmax_t> sizes;
  for (std::uintmax_t size = 0; size <= 0x1000; ++size) sizes.push_back(size);
  for (std::uintmax_t size = 0x1000; size < 0x5F000; size += 0x1001) sizes.push_back(size);
  for (std::uintmax_t size = 0x5F000; size <= 0x60011; ++size) sizes.push_back(size);
  EditingState state;
  state.romImage.assign(static_cast<std::size_t>(kRomSize), 0x5A);
  state.romSize = kRomSize;
  int accepted = 0;
  for (const std::uintmax_t size : sizes) {
    fs::resize_file(path, size);
    ::testing::internal::CaptureStdout();
    const bool loaded = LoadRom(state, path.string());
    const std::string report = ::testing::internal::GetCapturedStdout();
    if (loaded) {
      ++accepted;
      state.romImage.assign(static_cast<std::size_t>(kRomSize), 0x5A);
    } else {
      EXPECT_EQ(report, "Doesn't look like Kestrin rom...\n") << "size " << size;
    }
    EXPECT_EQ(loaded, size == static_cast<std::uintmax_t>(kRomSize)) << "size " << size;
    EXPECT_EQ(state.romSize, kRomSize);
    EXPECT_EQ(state.romImage.size(), static_cast<std::size_t>(kRomSize));
    EXPECT_EQ(state.romImage[0x38010], 0x5A) << "size " << size;
  }
  EXPECT_EQ(accepted, 1);
}

// A file that shrinks between being measured and being read delivers fewer
// bytes than its size; the read then fails with the loader's text.
TEST(LoaderRead, FewerBytesThanMeasuredFailWithTheShortReadText) {
  for (const std::size_t arrive : {std::size_t{0}, std::size_t{16}, std::size_t{393231}, std::size_t{393232}}) {
    std::istringstream file(std::string(arrive, '\x3C'));
    std::string report = "unchanged";
    ::testing::internal::CaptureStdout();
    const auto image = ReadWholeFile(file, 393232, &report);
    const std::string printed = ::testing::internal::GetCapturedStdout();
    if (arrive == 393232) {
      ASSERT_TRUE(image.has_value());
      EXPECT_EQ(*image, std::vector<std::uint8_t>(393232, 0x3C));
      EXPECT_EQ(printed, "");
      EXPECT_EQ(report, "unchanged");
    } else {
      EXPECT_FALSE(image.has_value()) << arrive;
      EXPECT_EQ(printed, "Error copying file into buffer\n") << arrive;
      EXPECT_EQ(report, "Error copying file into buffer\n") << arrive;
    }
  }
}

}  // namespace
}  // namespace kestrin
