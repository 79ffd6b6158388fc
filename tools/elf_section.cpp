#include "elf_section.h"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace mirelda::tools {

std::optional<std::string> ReadElfSection(const std::filesystem::path& file,
                                          const std::string& section_name) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto fits = [&](uint64_t offset, uint64_t size) {
    return offset <= bytes.size() && size <= bytes.size() - offset;
  };
  if (!fits(0, sizeof(Elf64_Ehdr))) return std::nullopt;
  Elf64_Ehdr header;
  std::memcpy(&header, bytes.data(), sizeof header);
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
      header.e_shentsize != sizeof(Elf64_Shdr) || header.e_shstrndx >= header.e_shnum ||
      !fits(header.e_shoff, uint64_t{header.e_shnum} * sizeof(Elf64_Shdr))) {
    return std::nullopt;
  }
  auto section = [&](size_t i) {
    Elf64_Shdr s;
    std::memcpy(&s, bytes.data() + header.e_shoff + i * sizeof(Elf64_Shdr), sizeof s);
    return s;
  };
  Elf64_Shdr names = section(header.e_shstrndx);
  if (!fits(names.sh_offset, names.sh_size)) return std::nullopt;
  for (size_t i = 0; i < header.e_shnum; ++i) {
    Elf64_Shdr s = section(i);
    if (s.sh_name >= names.sh_size) continue;
    const char* name = bytes.data() + names.sh_offset + s.sh_name;
    size_t max = names.sh_size - s.sh_name;
    if (strnlen(name, max) == max || section_name != name) continue;
    if (s.sh_type == SHT_NOBITS || !fits(s.sh_offset, s.sh_size)) return std::nullopt;
    return std::string(bytes.data() + s.sh_offset, s.sh_size);
  }
  return std::nullopt;
}

}  // namespace mirelda::tools
