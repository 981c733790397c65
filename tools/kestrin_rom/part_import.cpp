#include "part_import.h"

#include <algorithm>
#include <map>
#include <optional>
#include <variant>

#include "byte_tokens.h"
#include "part_choice.h"
#include "part_streams.h"
#include "square_events.h"
#include "write_path.h"

namespace kestrin::rom_tool {
namespace {

constexpr int kHeader = -1;  // the stream number of header bytes

// One word of the text and the image byte it stands for.
struct Claim {
  int stream = kHeader;
  std::int32_t index = 0;  // in its stream, or the header byte
  std::uint8_t value = 0;
  TextSpot spot;

  bool Square() const { return stream == kSquare1Stream || stream == kSquare2Stream; }
  std::string Label() const {
    if (stream == kHeader) {
      return "header byte " + std::to_string(index) + " (" +
             std::string(kHeaderFieldNames[static_cast<std::size_t>(index)]) + ")";
    }
    return std::string(kChannelNames[static_cast<std::size_t>(stream)]) + " byte " + std::to_string(index);
  }
  std::string Word(std::uint8_t byte) const { return Square() ? SquareToken(byte) : HexToken(byte); }
};

std::string Quoted(std::string_view word) { return "\"" + std::string(word) + "\""; }

std::string Where(TextSpot spot) {
  return "line " + std::to_string(spot.line) + ", column " + std::to_string(spot.column);
}

ImportResult Refuse(TextSpot spot, std::string message) {
  ImportResult result;
  result.error = {spot, std::move(message)};
  return result;
}

// The earliest of the refusals found, or nothing.
std::optional<ImportResult> Earliest(const std::vector<TextError>& refusals) {
  if (refusals.empty()) return std::nullopt;
  const auto first = std::min_element(refusals.begin(), refusals.end(),
                                      [](const TextError& a, const TextError& b) { return a.spot < b.spot; });
  return Refuse(first->spot, first->message);
}

// Header bytes 1 to 6 fix where the streams lie and how long they are.
void CheckHeader(const PartText& text, const PartSite& site, std::vector<TextError>& refusals) {
  for (std::size_t b = 1; b < kPartHeaderSize; ++b) {
    if (text.header[b].value == site.header[b]) continue;
    refusals.push_back({text.header[b].spot, "header byte " + std::to_string(b) + " (" +
                                                 std::string(kHeaderFieldNames[b]) + ") is " + HexByte(site.header[b]) +
                                                 " in the ROM: only the tempo may change, or the channels would move"});
  }
}

void CheckLengths(const PartText& text, const PartSite& site, std::vector<TextError>& refusals) {
  for (std::size_t k = 0; k < kStreamCount; ++k) {
    const auto length = static_cast<std::size_t>(site.length[k]);
    const auto& words = text.streams[k];
    const std::string name(kChannelNames[k]);
    const std::string has = name + " has " + std::to_string(length) + (length == 1 ? " byte" : " bytes");
    if (words.size() > length) {
      refusals.push_back({words[length].spot, has + "; this is one more: a channel keeps its length"});
    } else if (words.size() < length) {
      refusals.push_back({text.streamEnd[k], has + "; the text gives " + std::to_string(words.size()) +
                                                 ": a channel keeps its length, so every byte needs its word"});
    }
  }
}

std::vector<Claim> ClaimsOf(const PartText& text) {
  std::vector<Claim> claims;
  for (std::size_t b = 0; b < kPartHeaderSize; ++b)
    claims.push_back({kHeader, static_cast<std::int32_t>(b), text.header[b].value, text.header[b].spot});
  for (std::size_t k = 0; k < kStreamCount; ++k) {
    for (std::size_t i = 0; i < text.streams[k].size(); ++i) {
      claims.push_back({static_cast<int>(k), static_cast<std::int32_t>(i), text.streams[k][i].value,
                        text.streams[k][i].spot});
    }
  }
  return claims;
}

std::int32_t OffsetOf(const Claim& claim, const PartSite& site) {
  if (claim.stream == kHeader) return site.headerPosition + claim.index;
  return site.position[static_cast<std::size_t>(claim.stream)] + claim.index;
}

// A zero byte ends a channel for the game and for the editor's part loader.
void CheckZeros(const std::vector<Claim>& claims, const PartSite& site, const std::vector<std::uint8_t>& image,
                std::vector<TextError>& refusals) {
  for (const Claim& claim : claims) {
    if (claim.stream == kHeader) continue;
    const std::uint8_t held = image[static_cast<std::size_t>(OffsetOf(claim, site))];
    if ((held == 0) == (claim.value == 0)) continue;
    refusals.push_back(
        {claim.spot, held == 0 ? claim.Label() + " is 00, an end byte: it must stay " + claim.Word(0) +
                                     ", or the channel would run on"
                               : claim.Label() + " would become 00, an end byte, and end the channel early; " +
                                     Quoted(claim.Word(0)) + " belongs only where the ROM has it"});
  }
}

// Streams that share an image byte: as in the write-back, a changed word
// wins over unchanged ones, and two changed words must agree. Header bytes
// other than the tempo may not change through a stream either.
std::map<std::int32_t, std::uint8_t> Settle(const std::vector<Claim>& claims, const PartSite& site,
                                           const std::vector<std::uint8_t>& image, std::vector<TextError>& refusals) {
  std::map<std::int32_t, std::vector<const Claim*>> byOffset;
  for (const Claim& claim : claims) byOffset[OffsetOf(claim, site)].push_back(&claim);
  std::map<std::int32_t, std::uint8_t> settled;
  for (const auto& [offset, sharing] : byOffset) {
    const std::uint8_t held = image[static_cast<std::size_t>(offset)];
    const Claim* changed = nullptr;
    const Claim* pinned = nullptr;
    for (const Claim* claim : sharing) {
      if (claim->stream == kHeader && claim->index > 0) pinned = claim;
      if (claim->value == held) continue;
      if (changed != nullptr && changed->value != claim->value) {
        const Claim* later = std::max(changed, claim, [](const Claim* a, const Claim* b) { return a->spot < b->spot; });
        const Claim* earlier = later == claim ? changed : claim;
        refusals.push_back({later->spot, later->Label() + " and " + earlier->Label() + " are one byte of the image (" +
                                             Offset(offset) + "), changed to " + later->Word(later->value) + " and " +
                                             earlier->Word(earlier->value) +
                                             ": streams that share a byte must agree (the other is on " +
                                             Where(earlier->spot) + ")"});
      }
      if (changed == nullptr) changed = claim;
    }
    if (changed != nullptr && pinned != nullptr && changed != pinned) {
      refusals.push_back({changed->spot, changed->Label() + " is also " + pinned->Label() +
                                             ", which cannot change: the channels would move"});
    }
    settled[offset] = changed != nullptr ? changed->value : held;
  }
  return settled;
}

}  // namespace

ImportResult ImportPartText(std::vector<std::uint8_t>& image, std::string_view text) {
  auto parsed = ParsePartText(text);
  if (const auto* error = std::get_if<TextError>(&parsed)) return Refuse(error->spot, error->message);
  const PartText& part = std::get<PartText>(parsed);

  RomView rom(image);
  auto chosen = ChoosePart(rom, part.address);
  if (const auto* why = std::get_if<std::string>(&chosen)) return Refuse(part.addressSpot, *why);
  const ChosenPart& choice = std::get<ChosenPart>(chosen);
  const PartSite& site = choice.site;
  if (!site.loaded || !site.channelsCopied) {
    ImportResult result = Refuse(part.addressSpot, choice.Name() + " cannot be loaded: " +
                                                       (site.loaded ? "its stream offsets do not ascend"
                                                                    : "a stream has no end byte"));
    result.outcome = ImportResult::Outcome::NotLoadable;
    return result;
  }

  std::vector<TextError> refusals;
  CheckHeader(part, site, refusals);
  CheckLengths(part, site, refusals);
  if (auto refused = Earliest(refusals)) return *refused;
  const std::vector<Claim> claims = ClaimsOf(part);
  CheckZeros(claims, site, image, refusals);
  const auto settled = Settle(claims, site, image, refusals);
  if (auto refused = Earliest(refusals)) return *refused;

  // Stored as the window stores an edit: the tempo as its header box writes
  // it, the channels through the edit buffers and the write-back.
  EditingState state;
  state.romImage = image;
  state.romSize = static_cast<std::int32_t>(image.size());
  state.fileLoaded = true;
  state.songSet = choice.set;
  ImportResult result;
  result.partName = choice.Name();
  if (!LoadPart(state, choice.part) || !CopyChannels(state)) {
    result.outcome = ImportResult::Outcome::NotStored;
    return result;
  }
  SetImageByte(state, site.headerPosition, part.header[0].value);
  SetHeaderCopyByte(state, 0, part.header[0].value);
  for (std::size_t k = 0; k < kStreamCount; ++k) {
    for (std::size_t i = 0; i < part.streams[k].size(); ++i) {
      SetStreamByte(state, static_cast<int>(k), i, part.streams[k][i].value);
    }
  }
  bool stored = WriteBack(state);
  // Checked again byte by byte: every word's byte holds what was settled.
  for (const auto& [offset, value] : settled) {
    stored = stored && state.romImage[static_cast<std::size_t>(offset)] == value;
  }
  if (!stored) {
    result.outcome = ImportResult::Outcome::NotStored;
    return result;
  }
  for (const auto& [offset, value] : settled) result.changedBytes += image[static_cast<std::size_t>(offset)] != value;
  for (const Claim& claim : claims) {
    const auto offset = static_cast<std::size_t>(OffsetOf(claim, site));
    if (image[offset] == state.romImage[offset] || claim.value != state.romImage[offset]) continue;
    result.changes.push_back(Offset(static_cast<std::int64_t>(offset)) + "  " + claim.Label() + ": " +
                             claim.Word(image[offset]) + " \u2192 " + claim.Word(claim.value));
  }
  image = std::move(state.romImage);
  result.outcome = ImportResult::Outcome::Stored;
  return result;
}

}  // namespace kestrin::rom_tool
