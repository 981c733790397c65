// The build-id a fatal report lists for each module, read from the module's
// headers in memory: a made-up module image, whole and with each way its
// headers can fail to lead to a build-id; and the link address of a frame,
// read from the module's file.
#include <elf.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "elf_reading.h"

namespace kestrin::crash {
namespace {

constexpr std::size_t kNotesAt = 0x100;
constexpr std::uint64_t kLoadAddress = 0x400000;

// A module as the loader maps it and as its file holds it: the ELF header, a
// note segment listed before the loaded segment that starts at file offset 0,
// and two notes, an ABI tag and then the build-id de ad be ef 01 02 ... 10.
struct ModuleImage {
  std::vector<std::uint64_t> words = std::vector<std::uint64_t>(0x200 / 8);  // 8-byte aligned
  unsigned char* bytes = reinterpret_cast<unsigned char*>(words.data());
  std::size_t size = 0x200;

  Elf64_Ehdr& Header() { return *reinterpret_cast<Elf64_Ehdr*>(bytes); }
  Elf64_Phdr& Segment(int i) { return reinterpret_cast<Elf64_Phdr*>(bytes + sizeof(Elf64_Ehdr))[i]; }
  Elf64_Nhdr& BuildIdNote() { return *reinterpret_cast<Elf64_Nhdr*>(bytes + kNotesAt + 32); }

  ModuleImage() {
    Elf64_Ehdr& header = Header();
    std::memcpy(header.e_ident, ELFMAG, SELFMAG);
    header.e_ident[EI_CLASS] = ELFCLASS64;
    header.e_phoff = sizeof(Elf64_Ehdr);
    header.e_phentsize = sizeof(Elf64_Phdr);
    header.e_phnum = 2;
    Segment(0) = Elf64_Phdr{PT_NOTE, 0, kNotesAt, kLoadAddress + kNotesAt, 0, 68, 68, 4};
    Segment(1) = Elf64_Phdr{PT_LOAD, 0, 0, kLoadAddress, 0, size, size, 0x1000};
    // An ABI tag: 12 + 4 ("GNU\0") + 16 bytes.
    unsigned char* note = bytes + kNotesAt;
    *reinterpret_cast<Elf64_Nhdr*>(note) = Elf64_Nhdr{4, 16, NT_GNU_ABI_TAG};
    std::memcpy(note + 12, "GNU", 4);
    // The build-id: 12 + 4 + 20 bytes.
    BuildIdNote() = Elf64_Nhdr{4, 20, NT_GNU_BUILD_ID};
    std::memcpy(note + 32 + 12, "GNU", 4);
    const unsigned char id[20] = {0xde, 0xad, 0xbe, 0xef, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    std::memcpy(note + 32 + 16, id, sizeof id);
  }
};

struct ModuleCase {
  const char* what;
  std::function<void(ModuleImage&)> change;
  std::size_t hexSize;
  std::string expected;  // the digits read, or "" for none
};

TEST(BuildIdInMemory, ReadsTheBuildIdNoteThroughTheLoadedSegment) {
  const std::string whole = "deadbeef0102030405060708090a0b0c0d0e0f10";
  const ModuleCase cases[] = {
      {"whole", [](ModuleImage&) {}, 129, whole},
      {"room for the digits and their end", [](ModuleImage&) {}, 41, whole},
      {"no room for the end", [](ModuleImage&) {}, 40, ""},
      {"range shorter than the header", [](ModuleImage& m) { m.size = sizeof(Elf64_Ehdr) - 1; }, 129, ""},
      {"range ends inside the notes", [](ModuleImage& m) { m.size = kNotesAt + 67; }, 129, ""},
      {"not ELF", [](ModuleImage& m) { m.bytes[1] = 'e'; }, 129, ""},
      {"32-bit", [](ModuleImage& m) { m.Header().e_ident[EI_CLASS] = ELFCLASS32; }, 129, ""},
      {"other entry size", [](ModuleImage& m) { m.Header().e_phentsize = sizeof(Elf64_Phdr) - 1; }, 129, ""},
      {"segment table past the range", [](ModuleImage& m) { m.Header().e_phnum = 10; }, 129, ""},
      {"no segment loaded from offset 0", [](ModuleImage& m) { m.Segment(1).p_offset = 0x1000; }, 129, ""},
      {"loaded segment not counted", [](ModuleImage& m) { m.Header().e_phnum = 1; }, 129, ""},
      {"notes cut before the build-id ends", [](ModuleImage& m) { m.Segment(0).p_memsz = 67; }, 129, ""},
      {"another owner", [](ModuleImage& m) { m.bytes[kNotesAt + 32 + 14] = 'V'; }, 129, ""},
      {"another type", [](ModuleImage& m) { m.BuildIdNote().n_type = NT_GNU_BUILD_ID + 1; }, 129, ""},
      {"a longer owner name", [](ModuleImage& m) { m.BuildIdNote().n_namesz = 5; }, 129, ""},
      {"an empty id", [](ModuleImage& m) { m.BuildIdNote().n_descsz = 0; }, 129, ""},
      {"a 4-byte id", [](ModuleImage& m) { m.BuildIdNote().n_descsz = 4; }, 129, "deadbeef"},
  };
  for (const ModuleCase& c : cases) {
    ModuleImage module;
    c.change(module);
    const auto start = reinterpret_cast<std::uintptr_t>(module.bytes);
    std::vector<char> hex(c.hexSize, 'x');
    const std::size_t length = BuildIdInMemory(start, start + module.size, hex.data(), hex.size());
    EXPECT_EQ(length, c.expected.size()) << c.what;
    if (length == c.expected.size() && length > 0) {
      EXPECT_STREQ(hex.data(), c.expected.c_str()) << c.what;
    }
  }
}

// The module's file on disk: an address in the report is the file offset
// moved by its loaded segment, and a file cut short gives none.
TEST(LinkAddress, MovesAFileOffsetByItsLoadedSegment) {
  struct FileCase {
    const char* what;
    std::size_t kept;  // bytes of the module written to the file
    std::uintptr_t offset;
    std::optional<std::uintptr_t> expected;
  };
  const FileCase cases[] = {
      {"inside the loaded segment", 0x200, 0x10, kLoadAddress + 0x10},
      {"past the loaded segment", 0x200, 0x200, std::nullopt},
      {"cut inside the segment table", sizeof(Elf64_Ehdr) + 8, 0x10, std::nullopt},
  };
  const std::string path = ::testing::TempDir() + "kestrin-link-address.elf";
  for (const FileCase& c : cases) {
    ModuleImage module;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(module.bytes),
                                                static_cast<std::streamsize>(c.kept));
    std::uintptr_t address = 0;
    const bool found = LinkAddress(path, c.offset, address);
    EXPECT_EQ(found ? std::optional(address) : std::nullopt, c.expected) << c.what;
  }
  std::remove(path.c_str());
}

}  // namespace
}  // namespace kestrin::crash
