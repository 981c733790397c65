#include "elf_reading.h"

#include <cxxabi.h>
#include <elf.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

namespace kestrin::crash {

namespace {

bool Inside(std::uintptr_t at, std::uintptr_t size, std::uintptr_t start, std::uintptr_t end) {
  return at >= start && at <= end && size <= end - at;
}

template <typename T>
bool ReadAt(std::ifstream& file, std::uint64_t offset, T& value) {
  file.seekg(static_cast<std::streamoff>(offset));
  return static_cast<bool>(file.read(reinterpret_cast<char*>(&value), sizeof value));
}

bool ReadHeader(std::ifstream& file, Elf64_Ehdr& header) {
  return ReadAt(file, 0, header) && std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 &&
         header.e_ident[EI_CLASS] == ELFCLASS64;
}

std::string Demangled(const char* name) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> readable(abi::__cxa_demangle(name, nullptr, nullptr, &status), std::free);
  return status == 0 && readable ? std::string(readable.get()) : std::string(name);
}

}  // namespace

std::size_t BuildIdInMemory(std::uintptr_t start, std::uintptr_t end, char* hex, std::size_t hexSize) {
  if (!Inside(start, sizeof(Elf64_Ehdr), start, end)) return 0;
  const auto* header = reinterpret_cast<const Elf64_Ehdr*>(start);
  if (std::memcmp(header->e_ident, ELFMAG, SELFMAG) != 0 || header->e_ident[EI_CLASS] != ELFCLASS64) return 0;
  const std::uintptr_t table = start + header->e_phoff;
  if (header->e_phentsize != sizeof(Elf64_Phdr) ||
      !Inside(table, std::uintptr_t{header->e_phnum} * sizeof(Elf64_Phdr), start, end))
    return 0;
  const auto* segments = reinterpret_cast<const Elf64_Phdr*>(table);
  // The segment at file offset 0 is the one mapped at `start`.
  std::uintptr_t bias = 0;
  bool biasKnown = false;
  for (unsigned i = 0; i < header->e_phnum && !biasKnown; ++i) {
    if (segments[i].p_type == PT_LOAD && segments[i].p_offset == 0) {
      bias = start - segments[i].p_vaddr;
      biasKnown = true;
    }
  }
  if (!biasKnown) return 0;
  for (unsigned i = 0; i < header->e_phnum; ++i) {
    if (segments[i].p_type != PT_NOTE) continue;
    std::uintptr_t note = bias + segments[i].p_vaddr;
    const std::uintptr_t notesEnd = note + segments[i].p_memsz;
    if (!Inside(note, segments[i].p_memsz, start, end)) continue;
    while (note + sizeof(Elf64_Nhdr) <= notesEnd) {
      const auto* entry = reinterpret_cast<const Elf64_Nhdr*>(note);
      const std::uintptr_t name = note + sizeof(Elf64_Nhdr);
      const std::uintptr_t desc = name + ((entry->n_namesz + 3u) & ~3u);
      const std::uintptr_t next = desc + ((entry->n_descsz + 3u) & ~3u);
      if (next > notesEnd || next <= note) break;
      if (entry->n_type == NT_GNU_BUILD_ID && entry->n_namesz == 4 &&
          std::memcmp(reinterpret_cast<const char*>(name), "GNU", 4) == 0 && entry->n_descsz > 0 &&
          2 * entry->n_descsz < hexSize) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(desc);
        for (std::size_t k = 0; k < entry->n_descsz; ++k) {
          hex[2 * k] = "0123456789abcdef"[bytes[k] >> 4];
          hex[2 * k + 1] = "0123456789abcdef"[bytes[k] & 0xF];
        }
        hex[2 * entry->n_descsz] = '\0';
        return 2 * entry->n_descsz;
      }
      note = next;
    }
  }
  return 0;
}

bool LinkAddress(const std::string& path, std::uintptr_t fileOffset, std::uintptr_t& address) {
  std::ifstream file(path, std::ios::binary);
  Elf64_Ehdr header{};
  if (!ReadHeader(file, header)) return false;
  for (unsigned i = 0; i < header.e_phnum; ++i) {
    Elf64_Phdr segment{};
    if (!ReadAt(file, header.e_phoff + std::uint64_t{i} * header.e_phentsize, segment)) return false;
    if (segment.p_type != PT_LOAD) continue;
    if (fileOffset >= segment.p_offset && fileOffset < segment.p_offset + segment.p_filesz) {
      address = fileOffset - segment.p_offset + segment.p_vaddr;
      return true;
    }
  }
  return false;
}

std::string SymbolContaining(const std::string& path, std::uintptr_t address) {
  std::ifstream file(path, std::ios::binary);
  Elf64_Ehdr header{};
  if (!ReadHeader(file, header) || header.e_shentsize != sizeof(Elf64_Shdr)) return {};
  std::vector<Elf64_Shdr> sections(header.e_shnum);
  file.seekg(static_cast<std::streamoff>(header.e_shoff));
  if (!file.read(reinterpret_cast<char*>(sections.data()),
                 static_cast<std::streamsize>(sections.size() * sizeof(Elf64_Shdr))))
    return {};
  // A separate debug file keeps the full table and leaves the dynamic one
  // empty (NOBITS); a stripped module has only the dynamic one.
  const Elf64_Shdr* table = nullptr;
  for (const Elf64_Shdr& section : sections)
    if (section.sh_type == SHT_SYMTAB) table = &section;
  if (table == nullptr)
    for (const Elf64_Shdr& section : sections)
      if (section.sh_type == SHT_DYNSYM) table = &section;
  if (table == nullptr || table->sh_link >= sections.size() || table->sh_entsize != sizeof(Elf64_Sym) ||
      sections[table->sh_link].sh_type != SHT_STRTAB)
    return {};
  const Elf64_Shdr& names = sections[table->sh_link];
  const std::uint64_t count = table->sh_size / sizeof(Elf64_Sym);
  std::vector<Elf64_Sym> symbols(count);
  file.seekg(static_cast<std::streamoff>(table->sh_offset));
  if (!file.read(reinterpret_cast<char*>(symbols.data()), static_cast<std::streamsize>(count * sizeof(Elf64_Sym))))
    return {};
  for (const Elf64_Sym& symbol : symbols) {
    if (ELF64_ST_TYPE(symbol.st_info) != STT_FUNC || symbol.st_shndx == SHN_UNDEF || symbol.st_size == 0) continue;
    if (address < symbol.st_value || address - symbol.st_value >= symbol.st_size) continue;
    if (symbol.st_name >= names.sh_size) return {};
    std::string name;
    file.seekg(static_cast<std::streamoff>(names.sh_offset + symbol.st_name));
    std::getline(file, name, '\0');
    return name.empty() ? std::string() : Demangled(name.c_str());
  }
  return {};
}

}  // namespace kestrin::crash
