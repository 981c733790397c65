// Placeholder bodies; replaced by the real data layer.
#include "part_streams.h"
#include "rom_file.h"
#include "song_tables.h"

namespace kestrin {
std::int32_t PartLength(const EditingState&) { return 0; }
std::int32_t Square1Length(const EditingState&) { return 0; }
void Release(EditingState&) {}
void DropPart(EditingState&) {}
bool LoadRom(EditingState&, const std::string&) { return false; }
bool WriteImage(const EditingState&, const std::string&) { return false; }
bool WriteBackup(const EditingState&, const std::string&) { return false; }
std::optional<std::size_t> FindNesExtension(std::string_view) { return {}; }
std::string ImageTargetPath(std::string_view p) { return std::string(p); }
std::string BackupPath(std::string_view p) { return std::string(p); }
bool GetSongParts(EditingState&, SongSet, std::int32_t) { return false; }
std::int32_t PartTableEntryPosition(SongSet, std::int32_t) { return -1; }
bool LoadPart(EditingState&, std::int32_t) { return false; }
bool CopyChannels(EditingState&) { return false; }
bool WriteBack(EditingState&) { return true; }
}  // namespace kestrin
