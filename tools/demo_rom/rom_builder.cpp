#include "rom_builder.h"

namespace kestrin::demo {
// Placeholder bodies; replaced by the real builder.
RomBuilder::RomBuilder() : image_(static_cast<std::size_t>(kRomSize), 0) {}
int RomBuilder::AddPart(SongSet, const PartStreams&) { return 0; }
void RomBuilder::SetSong(SongSet, int, int, int, int) {}
void RomBuilder::Poke(std::int32_t offset, std::uint8_t value) {
  image_[static_cast<std::size_t>(offset)] = value;
}
void RomBuilder::Poke(std::int32_t, std::span<const std::uint8_t>) {}
std::uint8_t RomBuilder::Peek(std::int32_t offset) const { return image_[static_cast<std::size_t>(offset)]; }
std::int32_t RomBuilder::HeaderPosition(SongSet, int) const { return 0; }
std::int32_t RomBuilder::PartStart(SongSet, int) const { return 0; }
bool RomBuilder::WriteTo(const std::string&) const { return false; }
std::vector<std::uint8_t> MakeDemoRom() { return RomBuilder().Image(); }
}  // namespace kestrin::demo
