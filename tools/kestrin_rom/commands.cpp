#include "commands.h"

#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>
#include <variant>
#include <vector>

#include "any_patch.h"
#include "bps_patch.h"
#include "exit_codes.h"
#include "ips_patch.h"
#include "part_choice.h"
#include "part_import.h"
#include "part_text.h"
#include "rom_check.h"
#include "rom_diff.h"
#include "rom_files.h"
#include "rom_view.h"
#include "square_events.h"

namespace kestrin::rom_tool {
namespace {

using Json = nlohmann::ordered_json;

int Fail(const Streams& io, const std::string& subject, const std::string& why, int code) {
  io.err << "kestrin-rom: " << subject << ": " << why << '\n';
  return code;
}

std::optional<std::vector<std::uint8_t>> LoadOrReport(const Streams& io, const std::string& path) {
  std::string error;
  auto image = ReadRom(path, error);
  if (!image) Fail(io, path, error, kExitUnusableInput);
  return image;
}

void PrintJson(const Streams& io, const Json& json) { io.out << json.dump(2) << '\n'; }

std::string Padded(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

// A part number as the song's First part and Last part boxes show it:
// hexadecimal, 0 to FF, with an optional 0x.
std::optional<std::int32_t> ParsePartNumber(const std::string& text) {
  std::string digits = text;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) digits.erase(0, 2);
  if (digits.empty() || digits.size() > 2) return std::nullopt;
  std::int32_t value = 0;
  for (const char c : digits) {
    int digit = 0;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    value = value * 16 + digit;
  }
  return value;
}

std::string SongCodes() {
  std::string codes;
  for (const SongListItem& item : kSongList) codes += (codes.empty() ? "" : " ") + std::string(SongCode(item));
  return codes;
}

// The part the options name, or the line that says what is wrong with them.
std::variant<PartAddress, std::string> AddressOf(const PartRequest& request) {
  const bool songForm = request.song || request.line;
  const bool setForm = request.set || request.part;
  if (songForm == setForm) {
    return std::string(songForm ? "--song and --line cannot go with --set and --part"
                                : "name the part with --song and --line, or with --set and --part");
  }
  PartAddress address;
  if (songForm) {
    if (!request.song || !request.line) return std::string("--song and --line go together");
    const auto song = FindSong(*request.song);
    if (!song) return "the song list has no song '" + *request.song + "' (songs: " + SongCodes() + ")";
    if (*request.line < 1) return std::string("--line counts the lines of the part list from 1");
    address.form = PartAddress::Form::SongLine;
    address.song = *song;
    address.line = *request.line;
    return address;
  }
  if (!request.set || !request.part) return std::string("--set and --part go together");
  const auto part = ParsePartNumber(*request.part);
  if (!part) return "'" + *request.part + "' is no part number (hexadecimal, 0 to FF)";
  address.form = PartAddress::Form::SetPart;
  address.set = *request.set == 2 ? SongSet::Two : SongSet::One;
  address.part = *part;
  return address;
}

Json PlacesJson(const std::vector<PartPlace>& places) {
  Json list = Json::array();
  for (const PartPlace& place : places) {
    list.push_back({{"song", SongCode(kSongList[place.song])}, {"line", place.line}, {"entry", place.entry},
                    {"part", place.partNumber}, {"text", PartPlaceText(place)}});
  }
  return list;
}

// The part an address names in a loaded ROM; reports and returns nothing
// when the ROM has no such part.
std::optional<ChosenPart> ChooseOrReport(const Streams& io, RomView& rom, const PartAddress& address) {
  auto chosen = ChoosePart(rom, address);
  if (const auto* why = std::get_if<std::string>(&chosen)) {
    Fail(io, "part", *why, kExitUsage);
    return std::nullopt;
  }
  return std::get<ChosenPart>(std::move(chosen));
}

std::string LoadedByText(const std::vector<PartPlace>& places) {
  return places.empty() ? "loaded by no line of the song list" : "loaded by " + PlacesText(places);
}

Json EventJson(const SquareEvent& event) {
  Json json{{"index", event.index}, {"byte", event.byte}, {"kind", KindName(event.kind)}};
  if (event.kind == ByteKind::Note) json["note"] = event.note;
  if (event.kind == ByteKind::Property) {
    json["instrument"] = event.instrument;
    json["length_code"] = event.lengthCode;
    json["duration"] = event.duration;
  }
  json["text"] = EventText(event);
  return json;
}

Json RoleJson(const ByteRole& role, std::uint8_t before, std::uint8_t after) {
  const auto field = static_cast<std::size_t>(role.field);
  Json json;
  switch (role.kind) {
    case ByteRole::Kind::SongTable:
      json = {{"kind", "song table"}, {"set", static_cast<int>(role.set)}, {"index", role.number},
              {"field", kSongFieldNames[field]}};
      break;
    case ByteRole::Kind::PartTable:
      json = {{"kind", "part table"}, {"set", static_cast<int>(role.set)}, {"part", role.number}};
      break;
    case ByteRole::Kind::PartHeader:
      json = {{"kind", "part header"}, {"set", static_cast<int>(role.set)}, {"part", role.number},
              {"byte", role.field}, {"field", kHeaderFieldNames[field]}};
      break;
    case ByteRole::Kind::Stream:
      json = {{"kind", "stream"}, {"set", static_cast<int>(role.set)}, {"part", role.number},
              {"channel", kChannelNames[field]}, {"index", role.index}};
      break;
  }
  if (role.kind != ByteRole::Kind::SongTable) json["places"] = PlacesJson(role.places);
  json["text"] = RoleText(role, before, after);
  return json;
}

}  // namespace

int RunCheck(const Streams& io, const std::string& path, bool json) {
  auto image = LoadOrReport(io, path);
  if (!image) return kExitUnusableInput;
  RomView rom(std::move(*image));
  const std::vector<Problem> problems = CheckRom(rom);
  if (json) {
    Json list = Json::array();
    for (const Problem& p : problems) {
      list.push_back({{"kind", ProblemKindName(p.kind)}, {"text", p.text}, {"places", PlacesJson(p.places)}});
    }
    PrintJson(io, {{"rom", path}, {"problems", list}});
  } else if (problems.empty()) {
    io.out << path << ": no problems found\n";
  } else {
    for (const Problem& p : problems) io.out << p.text << '\n';
    io.out << path << ": " << problems.size() << (problems.size() == 1 ? " problem" : " problems") << " found\n";
  }
  return problems.empty() ? kExitDone : kExitProblems;
}

int RunSongs(const Streams& io, const std::string& path, bool json) {
  auto image = LoadOrReport(io, path);
  if (!image) return kExitUnusableInput;
  RomView rom(std::move(*image));
  Json list = Json::array();
  for (const SongSite& song : rom.Songs()) {
    if (json) {
      list.push_back({{"number", song.listPosition + 1}, {"code", SongCode(*song.item)}, {"song", song.item->text},
                      {"set", static_cast<int>(song.item->set)}, {"index", song.item->tableIndex},
                      {"first", song.first}, {"last", song.last}, {"loop", song.loop},
                      {"parts", song.partList}, {"parts_read", song.listRead}});
      continue;
    }
    std::string parts;
    for (const std::int32_t entry : song.partList) parts += " " + Hex(entry);
    io.out << Padded(std::string(song.item->text), 20) << " set " << static_cast<int>(song.item->set)
           << "  index " << Padded(Hex(song.item->tableIndex), 2) << "  first " << Padded(Hex(song.first), 2)
           << "  last " << Padded(Hex(song.last), 2) << "  loop " << Padded(Hex(song.loop), 2) << "  parts"
           << (song.listRead ? parts : " (cannot be read)") << '\n';
  }
  if (json) PrintJson(io, list);
  return kExitDone;
}

int RunPart(const Streams& io, const std::string& path, const PartRequest& request, bool json) {
  const auto requested = AddressOf(request);
  if (const auto* why = std::get_if<std::string>(&requested)) return Fail(io, "part", *why, kExitUsage);
  auto image = LoadOrReport(io, path);
  if (!image) return kExitUnusableInput;
  RomView rom(std::move(*image));
  const auto chosen = ChooseOrReport(io, rom, std::get<PartAddress>(requested));
  if (!chosen) return kExitUsage;
  const PartSite& site = chosen->site;
  const std::string name = chosen->Name();
  if (!site.loaded) return Fail(io, name, "cannot be loaded: a stream has no end byte", kExitProblems);

  const PartHeader& h = site.header;
  const int address = h[1] | h[2] << 8;
  const int setNumber = static_cast<int>(chosen->set);
  const std::int32_t entry = site.headerPosition - LayoutOf(chosen->set).headerAreaBase;
  const auto square1 = DecodeSquareStream(rom.StreamBytes(site, kSquare1Stream), Grid::Square1);
  const auto square2 = DecodeSquareStream(rom.StreamBytes(site, kSquare2Stream), Grid::Square2);
  if (json) {
    Json streams = Json::array();
    for (std::size_t k = 0; k < kStreamCount; ++k) {
      streams.push_back({{"channel", kChannelNames[k]}, {"position", site.position[k]}, {"length", site.length[k]}});
    }
    Json events1 = Json::array();
    Json events2 = Json::array();
    for (const auto& e : square1) events1.push_back(EventJson(e));
    for (const auto& e : square2) events2.push_back(EventJson(e));
    Json out{{"name", name}};
    if (chosen->place) {
      out["song"] = SongCode(kSongList[chosen->place->song]);
      out["line"] = chosen->place->line;
    }
    out.update(Json{{"set", setNumber},
                {"part", chosen->part},
                {"entry", entry},
                {"part_table_entry", entry},
                {"places", PlacesJson(chosen->places)},
                {"header_position", site.headerPosition},
                {"header",
                 {{"tempo", h[0]},
                  {"address", address},
                  {"square2_offset", h[3]},
                  {"triangle_offset", h[4]},
                  {"noise_offset", h[5]},
                  {"dmc_offset", h[6]},
                  {"bytes", h}}},
                {"part_start", site.position[0]},
                {"loadable", site.channelsCopied},
                {"streams", streams},
                {"square1", events1},
                {"square2", events2}});
    PrintJson(io, out);
  } else {
    io.out << name << (chosen->place ? ", set " + std::to_string(setNumber) : "") << ", header at "
           << Offset(site.headerPosition) << ":";
    for (const std::uint8_t b : h) io.out << ' ' << HexByte(b);
    io.out << "\n  Tempo " << HexByte(h[0]) << ", Part Address " << Hex(address) << " (part start "
           << Offset(site.position[0]) << "), Square2 offset " << HexByte(h[3]) << ", Triangle offset "
           << HexByte(h[4]) << ", Noise offset " << HexByte(h[5]) << ", DMC offset " << HexByte(h[6]) << '\n';
    io.out << "  " << LoadedByText(chosen->places) << '\n';
    for (std::size_t k = 0; k < kStreamCount; ++k) {
      io.out << "  " << Padded(std::string(kChannelNames[k]), 9) << " at " << Offset(site.position[k]) << ", "
             << site.length[k] << (site.length[k] == 1 ? " byte\n" : " bytes\n");
    }
    for (const auto* events : {&square1, &square2}) {
      io.out << (events == &square1 ? "Square 1:\n" : "Square 2:\n");
      for (const SquareEvent& e : *events) {
        char line[32];
        std::snprintf(line, sizeof line, "  %5zu  %02X  ", e.index, e.byte);
        io.out << line << EventText(e) << '\n';
      }
    }
  }
  if (!site.channelsCopied) {
    return Fail(io, name, "the editor cannot load it: its stream offsets do not ascend", kExitProblems);
  }
  return kExitDone;
}

int RunExport(const Streams& io, const std::string& path, const PartRequest& request) {
  const auto address = AddressOf(request);
  if (const auto* why = std::get_if<std::string>(&address)) return Fail(io, "export", *why, kExitUsage);
  auto image = LoadOrReport(io, path);
  if (!image) return kExitUnusableInput;
  RomView rom(std::move(*image));
  const auto chosen = ChooseOrReport(io, rom, std::get<PartAddress>(address));
  if (!chosen) return kExitUsage;
  const PartSite& site = chosen->site;
  if (!site.loaded || !site.channelsCopied) {
    return Fail(io, chosen->Name(),
                site.loaded ? "the editor cannot load it: its stream offsets do not ascend"
                            : "cannot be loaded: a stream has no end byte",
                kExitProblems);
  }
  PartForText part;
  part.address = std::get<PartAddress>(address);
  const std::string entry = "entry " + Hex(site.headerPosition - LayoutOf(chosen->set).headerAreaBase);
  const std::string set = "set " + std::to_string(static_cast<int>(chosen->set));
  part.about = chosen->place ? entry + ", part " + Hex(chosen->part) + ", " + set
                              : entry + "; " + LoadedByText(chosen->places);
  part.header = site.header;
  part.position = site.position;
  for (std::size_t k = 0; k < kStreamCount; ++k) part.streams[k] = rom.StreamBytes(site, static_cast<int>(k));
  io.out << FormatPartText(part);
  return kExitDone;
}

int RunImport(const Streams& io, const std::string& romPath, const std::string& textPath,
              const std::string& output) {
  const std::array<std::string, 2> inputs{romPath, textPath};
  if (SameFileAsAny(output, inputs)) return Fail(io, output, "would overwrite an input file", kExitUsage);
  auto image = LoadOrReport(io, romPath);
  if (!image) return kExitUnusableInput;
  std::string error;
  const auto textBytes = ReadWholeFile(textPath, error);
  if (!textBytes) return Fail(io, textPath, error, kExitUnusableInput);
  const std::string text(textBytes->begin(), textBytes->end());

  const ImportResult result = ImportPartText(*image, text);
  const auto at = [&](const TextError& e) {
    return textPath + ":" + std::to_string(e.spot.line) + ":" + std::to_string(e.spot.column);
  };
  switch (result.outcome) {
    case ImportResult::Outcome::Refused:
      return Fail(io, at(result.error), result.error.message + "; nothing was written", kExitUnusableInput);
    case ImportResult::Outcome::NotLoadable:
      return Fail(io, at(result.error), result.error.message + "; nothing was written", kExitProblems);
    case ImportResult::Outcome::NotStored:
      return Fail(io, result.partName, "the write-back's check failed; nothing was written", kExitCannotWrite);
    case ImportResult::Outcome::Stored:
      break;
  }
  if (!WriteOutput(output, *image, error)) return Fail(io, output, error, kExitCannotWrite);
  // Read back: the file must hold exactly the image that was checked.
  const auto written = ReadWholeFile(output, error);
  if (!written || *written != *image) {
    return Fail(io, output, "does not hold what was written; do not use it", kExitCannotWrite);
  }
  for (const std::string& change : result.changes) io.out << change << '\n';
  io.out << result.partName << ": " << result.changedBytes << (result.changedBytes == 1 ? " byte" : " bytes")
         << " changed, written to " << output << '\n';
  return kExitDone;
}

int RunDiff(const Streams& io, const std::string& originalPath, const std::string& editedPath, bool json) {
  const auto original = LoadOrReport(io, originalPath);
  if (!original) return kExitUnusableInput;
  const auto edited = LoadOrReport(io, editedPath);
  if (!edited) return kExitUnusableInput;
  const std::vector<ByteChange> changes = DiffRoms(*original, *edited);
  std::size_t outside = 0;
  Json list = Json::array();
  for (const ByteChange& change : changes) {
    if (change.Outside()) ++outside;
    if (json) {
      Json roles = Json::array();
      for (const ByteRole& role : change.roles) roles.push_back(RoleJson(role, change.before, change.after));
      list.push_back({{"offset", change.offset}, {"before", change.before}, {"after", change.after},
                      {"outside_music_data", change.Outside()}, {"roles", roles}});
      continue;
    }
    char head[48];
    std::snprintf(head, sizeof head, "0x%05X  %02X -> %02X  ", static_cast<unsigned>(change.offset), change.before,
                  change.after);
    io.out << head;
    if (change.Outside()) io.out << "outside the music data";
    for (std::size_t k = 0; k < change.roles.size(); ++k) {
      io.out << (k ? "; " : "") << RoleText(change.roles[k], change.before, change.after);
    }
    io.out << '\n';
  }
  if (json) {
    PrintJson(io, {{"original", originalPath}, {"edited", editedPath}, {"changes", list},
                   {"outside_music_data", outside}});
  } else {
    io.out << changes.size() << (changes.size() == 1 ? " byte differs" : " bytes differ");
    if (outside > 0) io.out << ", " << outside << " outside the music data";
    io.out << '\n';
  }
  return outside > 0 ? kExitProblems : kExitDone;
}

int RunMakePatch(const Streams& io, PatchKind kind, const std::string& originalPath,
                 const std::string& editedPath, const std::string& output) {
  const std::array<std::string, 2> inputs{originalPath, editedPath};
  if (SameFileAsAny(output, inputs)) return Fail(io, output, "would overwrite an input file", kExitUsage);
  const auto original = LoadOrReport(io, originalPath);
  if (!original) return kExitUnusableInput;
  const auto edited = LoadOrReport(io, editedPath);
  if (!edited) return kExitUnusableInput;
  const auto patch = kind == PatchKind::Ips ? MakeIpsPatch(*original, *edited) : MakeBpsPatch(*original, *edited);
  std::string error;
  if (!WriteOutput(output, patch, error)) return Fail(io, output, error, kExitCannotWrite);
  io.out << (kind == PatchKind::Ips ? "IPS" : "BPS") << " patch written to " << output << " (" << patch.size()
         << " bytes)\n";
  return kExitDone;
}

int RunApply(const Streams& io, const std::string& originalPath, const std::string& patchPath,
             const std::string& output) {
  const std::array<std::string, 2> inputs{originalPath, patchPath};
  if (SameFileAsAny(output, inputs)) return Fail(io, output, "would overwrite an input file", kExitUsage);
  const auto original = LoadOrReport(io, originalPath);
  if (!original) return kExitUnusableInput;
  std::string error;
  const auto patch = ReadWholeFile(patchPath, error);
  if (!patch) return Fail(io, patchPath, error, kExitUnusableInput);
  const PatchResult result = ApplyAnyPatch(*original, *patch);
  if (!result.Applied()) return Fail(io, patchPath, result.error, kExitUnusableInput);
  if (result.bytes.size() != static_cast<std::size_t>(kRomSize)) {
    return Fail(io, patchPath,
                "the patched file would be " + std::to_string(result.bytes.size()) +
                    " bytes long, not a Kestrin ROM (393232 bytes)",
                kExitUnusableInput);
  }
  if (!WriteOutput(output, result.bytes, error)) return Fail(io, output, error, kExitCannotWrite);
  io.out << "Patched ROM written to " << output << '\n';
  return kExitDone;
}

}  // namespace kestrin::rom_tool
