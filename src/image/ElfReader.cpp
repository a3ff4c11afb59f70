#include "image/ElfReader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "failure/ReportFailure.h"
#include "platform/Platform.h"

namespace pelkaforge {

namespace {

constexpr std::uint32_t SectionIsAllocated = 0x2;      // SHF_ALLOC
constexpr std::uint32_t SectionIsThreadLocal = 0x400;  // SHF_TLS
constexpr std::uint32_t NullSection = 0;               // SHT_NULL
constexpr std::uint32_t NoBitsSection = 8;             // SHT_NOBITS
constexpr std::uint32_t LoadSegment = 1;               // PT_LOAD
constexpr std::uint32_t ThreadLocalSegment = 7;        // PT_TLS

// Segments that can hold sections, kept for the whole reading. Firmware
// has two or three; more than this is no file a firmware build writes.
constexpr std::size_t MaxSegments = 64;

struct Segment {
  std::uint32_t type;
  std::uint64_t offset;
  std::uint64_t file_size;
  std::uint64_t address;  // p_vaddr
  std::uint64_t memory_size;
  std::uint64_t load_address;  // p_paddr
};

struct Section {
  std::uint32_t name;  // offset in the section name table
  std::uint32_t type;
  std::uint64_t flags;
  std::uint64_t address;
  std::uint64_t offset;
  std::uint64_t size;
};

struct ElfFile {
  const char* path;
  std::FILE* file;
  AddressImage* image;  // being filled, on the second reading
  std::uint64_t size;   // of the file
  bool wide;            // 64-bit
  bool big_endian;
  std::uint64_t section_table;
  std::uint32_t section_count;
  std::uint32_t section_entry_size;
  std::uint32_t name_table_index;
  std::array<Segment, MaxSegments> segments;
  std::size_t segment_count;
  // Every segment has load address 0 while two or more are loaded: some
  // linkers write no load addresses, and objcopy then loads each section
  // at its own address.
  bool ignore_load_addresses;
};

std::uint64_t Field(const ElfFile& elf, const std::uint8_t* bytes,
                    std::size_t size) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < size; ++i) {
    const std::size_t at = elf.big_endian ? i : size - 1 - i;
    value = value << 8 | bytes[at];
  }
  return value;
}

// A 32-bit file's field at offset32, or a 64-bit file's at offset64;
// addresses, offsets and sizes are as wide as the file.
std::uint64_t Word(const ElfFile& elf, const std::uint8_t* bytes,
                   std::size_t offset32, std::size_t offset64) {
  return elf.wide ? Field(elf, bytes + offset64, 8)
                  : Field(elf, bytes + offset32, 4);
}

// Every refusal lets go of the file and the image first: a reader leaves
// nothing open or allocated behind it, whatever becomes of the run.
void Release(const ElfFile& elf) {
  std::fclose(elf.file);  // Only read from: its close cannot lose data.
  if (elf.image != nullptr) FreeAddressImage(*elf.image);
}

[[noreturn]] void RefuseElf(const ElfFile& elf, const char* reason) {
  Release(elf);
  ReportFailure("Unable to convert file %s (%s)\n", elf.path, reason);
}

// Reads size bytes at offset, which the caller has checked lie in the file.
void ReadAt(const ElfFile& elf, std::uint64_t offset, void* into,
            std::size_t size) {
  if (std::fseek(elf.file, static_cast<long>(offset), SEEK_SET) != 0 ||
      std::fread(into, 1, size, elf.file) != size) {
    if (std::ferror(elf.file) != 0) {
      const int reason = errno;
      Release(elf);
      ReportFailure("Unable to read file %s (%s)\n", elf.path,
                    std::strerror(reason));
    }
    RefuseElf(elf, "it changed while it was read");
  }
}

// Whether count entries of entry_size bytes at offset lie in the file.
bool InFile(const ElfFile& elf, std::uint64_t offset, std::uint64_t count,
            std::uint64_t entry_size) {
  return offset <= elf.size && count <= (elf.size - offset) / entry_size;
}

ElfFile OpenElf(const char* path) {
  ElfFile elf{};
  elf.path = path;
  elf.file = std::fopen(path, "rb");
  if (elf.file == nullptr) {
    ReportFailure("Unable to open file %s (%s)\n", path, std::strerror(errno));
  }
  std::int64_t size = 0;
  if (!OpenFileSize(elf.file, size)) {
    const int reason = errno;
    Release(elf);
    ReportFailure("Unable to stat file %s (%s)\n", path, std::strerror(reason));
  }
  elf.size = static_cast<std::uint64_t>(size);
  // A long offset reaches 2 GiB only on some systems: larger files are no
  // firmware.
  if (elf.size > 0x7FFFFFFF) RefuseElf(elf, "larger than 2147483647 bytes");
  std::uint8_t header[64] = {};
  const std::size_t got = std::fread(header, 1, sizeof header, elf.file);
  if (got < 4 || std::memcmp(header,
                             "\x7f"
                             "ELF",
                             4) != 0) {
    RefuseElf(elf, "not an ELF file");
  }
  if (got < 16) RefuseElf(elf, "truncated ELF header");
  if ((header[4] != 1 && header[4] != 2) ||
      (header[5] != 1 && header[5] != 2)) {
    RefuseElf(elf, "an ELF file of unknown class or byte order");
  }
  elf.wide = header[4] == 2;
  elf.big_endian = header[5] == 2;
  if (got < (elf.wide ? 64U : 52U)) RefuseElf(elf, "truncated ELF header");
  elf.section_table = Word(elf, header, 32, 40);
  elf.section_entry_size =
      static_cast<std::uint32_t>(Field(elf, header + (elf.wide ? 58 : 46), 2));
  elf.section_count =
      static_cast<std::uint32_t>(Field(elf, header + (elf.wide ? 60 : 48), 2));
  elf.name_table_index =
      static_cast<std::uint32_t>(Field(elf, header + (elf.wide ? 62 : 50), 2));
  const std::uint64_t segment_table = Word(elf, header, 28, 32);
  const auto segment_entry_size = Field(elf, header + (elf.wide ? 54 : 42), 2);
  const auto segment_count = Field(elf, header + (elf.wide ? 56 : 44), 2);
  if (elf.section_count == 0 && elf.section_table != 0) {
    RefuseElf(elf, "more sections than its header counts (over 65279)");
  }
  if (elf.section_count != 0 &&
      (elf.section_entry_size < (elf.wide ? 64U : 40U) ||
       !InFile(elf, elf.section_table, elf.section_count,
               elf.section_entry_size))) {
    RefuseElf(elf, "its section header table lies outside the file");
  }
  if (segment_count != 0 &&
      (segment_entry_size < (elf.wide ? 56U : 32U) ||
       !InFile(elf, segment_table, segment_count, segment_entry_size))) {
    RefuseElf(elf, "its program header table lies outside the file");
  }

  bool any_load_address = false;
  std::size_t loaded = 0;
  for (std::uint64_t i = 0; i < segment_count; ++i) {
    std::uint8_t entry[56];
    ReadAt(elf, segment_table + i * segment_entry_size, entry,
           elf.wide ? 56 : 32);
    const Segment segment{static_cast<std::uint32_t>(Field(elf, entry, 4)),
                          Word(elf, entry, 4, 8),
                          Word(elf, entry, 16, 32),
                          Word(elf, entry, 8, 16),
                          Word(elf, entry, 20, 40),
                          Word(elf, entry, 12, 24)};
    any_load_address = any_load_address || segment.load_address != 0;
    if (segment.type == LoadSegment && segment.memory_size != 0) ++loaded;
    if (segment.type != LoadSegment && segment.type != ThreadLocalSegment) {
      continue;
    }
    if (elf.segment_count == MaxSegments) {
      RefuseElf(elf, "more than 64 loadable segments");
    }
    elf.segments[elf.segment_count++] = segment;
  }
  elf.ignore_load_addresses = !any_load_address && loaded > 1;
  return elf;
}

Section ReadSection(const ElfFile& elf, std::uint32_t index) {
  std::uint8_t entry[64];
  ReadAt(elf, elf.section_table + std::uint64_t{index} * elf.section_entry_size,
         entry, elf.wide ? 64 : 40);
  return {static_cast<std::uint32_t>(Field(elf, entry, 4)),
          static_cast<std::uint32_t>(Field(elf, entry + 4, 4)),
          Word(elf, entry, 8, 8),
          Word(elf, entry, 12, 16),
          Word(elf, entry, 16, 24),
          Word(elf, entry, 20, 32)};
}

// The section's name for a message: as the name table gives it when that
// is a short printable name, else its index.
std::array<char, 64> SectionName(const ElfFile& elf, std::uint32_t index,
                                 const Section& section) {
  std::array<char, 64> name{};
  std::snprintf(name.data(), name.size(), "[%u]", index);
  if (elf.name_table_index >= elf.section_count) return name;
  const Section table = ReadSection(elf, elf.name_table_index);
  std::array<char, 48> text{};
  if (section.name >= table.size || !InFile(elf, table.offset, table.size, 1)) {
    return name;
  }
  const auto size = static_cast<std::size_t>(
      std::min<std::uint64_t>(table.size - section.name, text.size()));
  ReadAt(elf, table.offset + section.name, text.data(), size);
  for (std::size_t i = 0; i < size; ++i) {
    if (text[i] == '\0') {
      if (i > 0) std::snprintf(name.data(), name.size(), "%s", text.data());
      return name;
    }
    if (text[i] < ' ' || text[i] > '~') return name;
  }
  return name;
}

[[noreturn]] void RefuseSection(const ElfFile& elf, std::uint32_t index,
                                const Section& section, const char* reason) {
  const std::array<char, 64> name = SectionName(elf, index, section);
  char message[160];
  std::snprintf(message, sizeof message, "section %s %s", name.data(), reason);
  RefuseElf(elf, message);
}

bool IsLoaded(const Section& section) {
  return (section.flags & SectionIsAllocated) != 0 &&
         section.type != NullSection && section.type != NoBitsSection &&
         section.size != 0;
}

// Where the section lies in flash: the first segment that holds it, at
// both its file offset and its address, gives its load address by the
// offset (a segment's sections keep their order and spacing when loaded).
std::uint64_t LoadAddress(const ElfFile& elf, const Section& section) {
  if (elf.ignore_load_addresses) return section.address;
  const bool thread_local_data = (section.flags & SectionIsThreadLocal) != 0;
  for (std::size_t i = 0; i < elf.segment_count; ++i) {
    const Segment& segment = elf.segments[i];
    if ((segment.type == ThreadLocalSegment) != thread_local_data) continue;
    if (section.offset >= segment.offset &&
        section.offset - segment.offset <= segment.file_size &&
        section.size <= segment.file_size - (section.offset - segment.offset) &&
        section.address >= segment.address &&
        section.address - segment.address <= segment.memory_size &&
        section.size <=
            segment.memory_size - (section.address - segment.address)) {
      return segment.load_address + (section.offset - segment.offset);
    }
  }
  return section.address;
}

// One reading of the section table: into span when image is null, else
// into image.
void ReadSections(ElfFile& elf, AddressSpan& span, AddressImage* image) {
  elf.image = image;
  for (std::uint32_t index = 0; index < elf.section_count; ++index) {
    const Section section = ReadSection(elf, index);
    if (!IsLoaded(section)) continue;
    if (!InFile(elf, section.offset, section.size, 1)) {
      RefuseSection(elf, index, section, "lies outside the file");
    }
    const std::uint64_t address = LoadAddress(elf, section);
    if (address > MaxAddress || section.size - 1 > MaxAddress - address) {
      RefuseSection(elf, index, section, "lies beyond 32-bit addresses");
    }
    if (image == nullptr) {
      ExtendSpan(span, address, section.size);
      continue;
    }
    if (!InImage(*image, address, section.size)) {
      RefuseElf(elf, "it changed while it was read");
    }
    std::uint64_t taken = 0;
    std::uint8_t* place = ClaimBytes(*image, address, section.size, taken);
    if (place == nullptr) {
      char reason[64];
      std::snprintf(reason, sizeof reason,
                    "gives data for 0x%08llX, which another section gave",
                    static_cast<unsigned long long>(taken));
      RefuseSection(elf, index, section, reason);
    }
    ReadAt(elf, section.offset, place, section.size);
  }
}

}  // namespace

AddressImage ReadElf(const char* path) {
  // Like a text file, read twice, each time from its start: for its span,
  // then into the image made for it.
  AddressSpan span;
  ElfFile elf = OpenElf(path);
  ReadSections(elf, span, nullptr);
  Release(elf);
  AddressImage image = AllocateAddressImage(path, span);
  elf = OpenElf(path);
  ReadSections(elf, span, &image);
  elf.image = nullptr;
  Release(elf);
  return image;
}

}  // namespace pelkaforge
