#pragma once
// The one record of what is loaded and selected. The main window owns the
// only instance; every operation of the data layer works on it.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "byte_change.h"
#include "disk_record.h"
#include "music_bank.h"

namespace kestrin {

inline constexpr int kStreamCount = 5;
// Indexes into the stream arrays (stream 1 is index 0).
inline constexpr int kSquare1Stream = 0;
inline constexpr int kSquare2Stream = 1;

inline constexpr int kPartHeaderSize = 7;
using PartHeader = std::array<std::uint8_t, kPartHeaderSize>;

// The working copies of a loaded part's five streams. `edit[k]` is what the
// channel pages change; `stored` holds the five streams joined back to back
// as they last stood in the image (as copied, or as last written back), so
// the write-back can tell which bytes the user changed. Only the functions
// of write_path.h and the two write-backs change their bytes.
struct ChannelBuffers {
  std::array<std::vector<std::uint8_t>, kStreamCount> edit;
  std::vector<std::uint8_t> stored;  // the part buffer

  // Places in `stored` of every stream byte the write path changed, or
  // whose image byte it changed, since the last write-back: the marked
  // write-back (WriteBackEdits) looks at these and at nothing else.
  std::vector<std::uint32_t> marked;
  // How many distinct places `marked` held after its last thinning out.
  std::size_t markedDistinct = 0;
};

// Where each stream's bytes begin in ChannelBuffers::stored.
std::array<std::size_t, kStreamCount> StoredOffsets(const ChannelBuffers& buffers);

struct EditingState {
  // The whole iNES file; empty until the first successful load.
  std::vector<std::uint8_t> romImage;
  std::int32_t romSize = 0;
  std::string currentFileName;  // 8-bit path, as the file system takes it
  bool fileLoaded = false;
  // The files the editor read or saved since the last Open, each as it
  // last saw them; Save compares the disk with them before writing.
  std::vector<DiskRecord> filesOnDisk;

  // Selected song (set by the song page before it calls GetSongParts).
  SongSet songSet = SongSet::One;
  std::int32_t firstPartPosition = 0;
  std::int32_t lastPartPosition = 0;
  std::int32_t loopPartPosition = 0;
  std::int32_t firstPart = 0;
  std::int32_t lastPart = 0;
  std::int32_t loopPart = 0;
  std::vector<std::int32_t> songPartList;

  // Loaded part.
  std::int32_t headerPosition = 0;
  PartHeader partHeader{};
  std::array<std::int32_t, kStreamCount> streamPosition{};
  std::array<std::int32_t, kStreamCount> streamLength{};
  std::optional<ChannelBuffers> channels;  // absent: nothing to edit or write back
  bool partLoaded = false;

  // What the write path changed while a Recording (write_path.h) is open:
  // every change of a byte, oldest first. Empty when none is open.
  struct WriteRecord {
    std::vector<ByteChange> changes;
    int open = 0;
  } record;
};

// The sum of the five stream lengths of the loaded part.
std::int32_t PartLength(const EditingState& state);
// The length of stream 1 (Square 1) of the loaded part.
std::int32_t Square1Length(const EditingState& state);

// Frees every buffer of the state and marks it absent: image (ROM size 0,
// file-loaded flag cleared), the files it saw on disk, song part list and
// the loaded part (as DropPart). Harmless when nothing was ever loaded.
void Release(EditingState& state);

// Forgets the loaded part: edit buffers gone, header copy, header position,
// stream positions and lengths zero, part-loaded flag cleared. LoadRom does
// it after every successful load, so nothing read from the old image can
// reach the new one.
void DropPart(EditingState& state);

}  // namespace kestrin
