// Whole runs of pelkaforge-image on Intel HEX, S-record and ELF files made
// here record by record: what each converts to, and every kind of bad file
// refused with its message and nothing written. (Files that real toolchains
// write are read back against objcopy by scripts/check-toolchains.)
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "support/ExpectedSource.h"
#include "support/ToolRun.h"

namespace pelkaforge::testing {
namespace {

namespace fs = std::filesystem;

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int value : values) bytes += static_cast<char>(value);
  return bytes;
}

// An Intel HEX record, its checksum right.
std::string Hex(int type, unsigned address, const std::string& data) {
  std::string fields = Bytes({static_cast<int>(data.size()),
                              static_cast<int>(address >> 8 & 0xFF),
                              static_cast<int>(address & 0xFF), type}) +
                       data;
  unsigned sum = 0;
  for (char c : fields) sum += static_cast<unsigned char>(c);
  fields += static_cast<char>((0x100 - sum % 0x100) % 0x100);
  std::string line = ":";
  char digits[3];
  for (char c : fields) {
    std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(c));
    line += digits;
  }
  return line + "\n";
}

// An S-record with an address of address_size bytes, its checksum right.
std::string SRec(int type, int address_size, unsigned address,
                 const std::string& data) {
  std::string fields(1, static_cast<char>(address_size + data.size() + 1));
  for (int i = address_size - 1; i >= 0; --i) {
    fields += static_cast<char>(address >> (8 * i) & 0xFF);
  }
  fields += data;
  unsigned sum = 0;
  for (char c : fields) sum += static_cast<unsigned char>(c);
  fields += static_cast<char>(~sum & 0xFF);
  std::string line = "S" + std::to_string(type);
  char digits[3];
  for (char c : fields) {
    std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(c));
    line += digits;
  }
  return line + "\n";
}

const std::string HexEnd = Hex(1, 0, "");
const std::string HexFlash = Hex(4, 0, Bytes({0x08, 0x00}));  // 0x0800xxxx
const std::string Code = "radio code!";
const std::string Data = Bytes({0x12, 0x34, 0x56, 0x78});

// The image as the step must hold it: code at 0x08000000, data at
// 0x08000010, every other byte 0xFF, to a whole block.
std::string FlashImage() {
  std::string image(512, '\xff');
  image.replace(0, Code.size(), Code);
  image.replace(0x10, Data.size(), Data);
  return image;
}

// A minimal ELF file: sections with contents one after another, a PT_LOAD
// segment around those that ask for one, then the section names and the
// section header table.
struct ElfSection {
  std::string name;
  std::uint32_t type;  // 1 PROGBITS, 8 NOBITS
  std::uint64_t address;
  std::string data;                  // its size for NOBITS
  std::uint64_t load_address = ~0U;  // a segment around it, loaded here
};

std::string Elf(bool wide, bool big_endian,
                const std::vector<ElfSection>& sections) {
  std::string file;
  auto put = [&](std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i) {
      const int shift = 8 * (big_endian ? size - 1 - i : i);
      file += static_cast<char>(value >> shift & 0xFF);
    }
  };
  const int word = wide ? 8 : 4;
  const std::uint64_t header_size = wide ? 64 : 52;
  const std::uint64_t segment_size = wide ? 56 : 32;
  std::uint64_t segments = 0;
  for (const ElfSection& section : sections) {
    segments += section.load_address != ~0U ? 1 : 0;
  }
  // Where each section's contents go, then the names.
  std::vector<std::uint64_t> offsets;
  std::uint64_t at = header_size + segments * segment_size;
  std::string names(1, '\0');
  std::vector<std::uint64_t> name_offsets;
  for (const ElfSection& section : sections) {
    offsets.push_back(at);
    if (section.type != 8) at += section.data.size();
    name_offsets.push_back(names.size());
    names += section.name + '\0';
  }
  const std::uint64_t names_offset = at;
  const std::uint64_t name_table_name = names.size();
  names += std::string(".shstrtab") + '\0';
  const std::uint64_t section_table = names_offset + names.size();

  file =
      "\x7f"
      "ELF";
  file += static_cast<char>(wide ? 2 : 1);
  file += static_cast<char>(big_endian ? 2 : 1);
  file += std::string("\x01\0\0\0\0\0\0\0\0\0", 10);
  put(2, 2);                                   // e_type: executable
  put(40, 2);                                  // e_machine: ARM
  put(1, 4);                                   // e_version
  put(0, word);                                // e_entry
  put(segments != 0 ? header_size : 0, word);  // e_phoff
  put(section_table, word);                    // e_shoff
  put(0, 4);                                   // e_flags
  put(header_size, 2);
  put(segment_size, 2);
  put(segments, 2);
  put(wide ? 64 : 40, 2);
  put(sections.size() + 2, 2);
  put(sections.size() + 1, 2);  // e_shstrndx
  for (std::size_t i = 0; i < sections.size(); ++i) {
    const ElfSection& section = sections[i];
    if (section.load_address == ~0U) continue;
    const std::uint64_t size = section.data.size();
    put(1, 4);            // PT_LOAD
    if (wide) put(4, 4);  // p_flags
    put(offsets[i], word);
    put(section.address, word);
    put(section.load_address, word);
    put(size, word);       // p_filesz
    put(size, word);       // p_memsz
    if (!wide) put(4, 4);  // p_flags
    put(4, word);          // p_align
  }
  for (const ElfSection& section : sections) {
    if (section.type != 8) file += section.data;
  }
  file += names;
  auto put_section = [&](std::uint64_t name, std::uint32_t type,
                         std::uint64_t flags, std::uint64_t address,
                         std::uint64_t offset, std::uint64_t size) {
    put(name, 4);
    put(type, 4);
    put(flags, word);
    put(address, word);
    put(offset, word);
    put(size, word);
    put(0, 4);  // sh_link
    put(0, 4);  // sh_info
    put(1, word);
    put(0, word);
  };
  put_section(0, 0, 0, 0, 0, 0);
  for (std::size_t i = 0; i < sections.size(); ++i) {
    const ElfSection& section = sections[i];
    put_section(name_offsets[i], section.type, 2 /* SHF_ALLOC */,
                section.address, offsets[i], section.data.size());
  }
  put_section(name_table_name, 3, 0, 0, names_offset, names.size());
  return file;
}

// Firmware as a linker lays it out: code in flash, data whose run-time
// address is in RAM loaded right after the code's 16 bytes, and .bss.
std::string FlashElf(bool wide, bool big_endian) {
  return Elf(wide, big_endian,
             {{".text", 1, 0x08000000, Code + std::string(5, '\xff')},
              {".data", 1, 0x20000000, Data, 0x08000010},
              {".bss", 8, 0x20000004, std::string(64, '\0')}});
}

struct FormatCase {
  std::string name;
  std::string file;  // its name: the extension may say the format
  std::string content;
  std::vector<std::string> options;  // before --name and the paths
  std::string err;                   // empty when the file converts
  std::string image = {};            // what it converts to
  std::string address = {};          // the header's, when it converts
};

void PrintTo(const FormatCase& c, std::ostream* out) { *out << c.name; }

std::string Refused(const std::string& file, const std::string& reason) {
  return "Unable to convert file " + file + " (" + reason + ")\n";
}

// A HEX row refused at this line for this reason.
FormatCase BadHex(std::string name, const std::string& content, int line,
                  const std::string& reason) {
  return {std::move(name),
          "fw.hex",
          content,
          {},
          Refused("fw.hex", "line " + std::to_string(line) + ": " + reason)};
}

FormatCase BadSRec(std::string name, const std::string& content, int line,
                   const std::string& reason) {
  return {std::move(name),
          "fw.s19",
          content,
          {},
          Refused("fw.s19", "line " + std::to_string(line) + ": " + reason)};
}

FormatCase BadElf(std::string name, const std::string& content,
                  const std::string& reason) {
  return {std::move(name), "fw.elf", content, {}, Refused("fw.elf", reason)};
}

const std::string GoodHex =
    HexFlash + Hex(0, 0, Code) + Hex(0, 0x10, Data) + HexEnd;
const std::string GoodSRec = SRec(0, 2, 0, "hdr") +
                             SRec(3, 4, 0x08000000, Code) +
                             SRec(3, 4, 0x08000010, Data) + SRec(5, 2, 2, "") +
                             SRec(7, 4, 0x08000000, "");

const std::string CodeRecord = Hex(0, 0, Code);
const std::string CodeSRec = SRec(1, 2, 0, Code);

// The line with count characters at at (from its end when negative, before
// the line break) replaced by text; one character by default.
std::string Changed(const std::string& line, int at, const std::string& text,
                    std::size_t count = 1) {
  const std::size_t start = at < 0
                                ? line.size() - 1 + static_cast<std::size_t>(at)
                                : static_cast<std::size_t>(at);
  return std::string(line).replace(start, at < 0 ? 2 : count, text);
}

std::string WithCrLf(const std::string& text) {
  std::string crlf;
  for (char c : text)
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return crlf;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(c));
  return text;
}

const std::vector<FormatCase> FormatCases = {
    {"HexByExtension", "fw.hex", GoodHex, {}, "", FlashImage(), "0x08000000UL"},
    {"HexLowerCaseCrLf",
     "fw.IHX",
     WithCrLf(Lower(GoodHex)),
     {},
     "",
     FlashImage(),
     "0x08000000UL"},
    {"HexOutOfOrderWithStartAddress",
     "fw.ihex",
     HexFlash + Hex(0, 0x10, Data) + Hex(5, 0, Bytes({8, 0, 0, 1})) +
         Hex(0, 0, Code) + HexEnd,
     {},
     "",
     FlashImage(),
     "0x08000000UL"},
    // Segment addresses: 0x1000 << 4 + 0x20.
    {"HexSegmentAddress",
     "fw.hex",
     Hex(2, 0, Bytes({0x10, 0x00})) + Hex(0, 0x20, Code) + "\n" + HexEnd,
     {},
     "",
     Code + std::string(512 - Code.size(), '\xff'),
     "0x00010020UL"},
    {"HexByOption",
     "firmware.txt",
     GoodHex,
     {"--format", "ihex"},
     "",
     FlashImage(),
     "0x08000000UL"},
    {"SRecord", "fw.s19", GoodSRec, {}, "", FlashImage(), "0x08000000UL"},
    {"SRecordByOption",
     "fw.img",
     WithCrLf(GoodSRec),
     {"--format=srec"},
     "",
     FlashImage(),
     "0x08000000UL"},
    {"Elf32",
     "fw.elf",
     FlashElf(false, false),
     {},
     "",
     FlashImage(),
     "0x08000000UL"},
    {"Elf64BigEndian",
     "fw.axf",
     FlashElf(true, true),
     {},
     "",
     FlashImage(),
     "0x08000000UL"},

    BadHex("HexChecksum", HexFlash + Changed(CodeRecord, -2, "00"), 2,
           "wrong checksum 00, " + CodeRecord.substr(CodeRecord.size() - 3, 2) +
               " expected"),
    BadHex("HexNotHexDigit", HexFlash + Changed(CodeRecord, 16, "G"), 2,
           "column 17: not a hex digit"),
    BadHex("HexShort", HexFlash + Changed(CodeRecord, 9, "", 2) + HexEnd, 2,
           "shorter than its byte count"),
    BadHex("HexLong", HexFlash + Changed(CodeRecord, 9, "00", 0) + HexEnd, 2,
           "longer than its byte count"),
    BadHex("HexUnknownType", HexFlash + Hex(6, 0, "x") + HexEnd, 2,
           "unknown record type 06"),
    BadHex("HexEndWithData", HexFlash + Hex(1, 0, "x"), 2,
           "record type 01 with 1 bytes of data, not 0"),
    BadHex("HexDataAfterEnd", GoodHex + Hex(0, 0x20, Data), 5,
           "data after the end record"),
    BadHex("HexSameAddressTwice",
           HexFlash + Hex(0, 0, Code) + Hex(0, 0x0A, Data) + HexEnd, 3,
           "data for 0x0800000A, which an earlier line gave"),
    BadHex("HexBeyond32Bits",
           Hex(4, 0, Bytes({0xFF, 0xFF})) + Hex(0, 0xFFFE, Data) + HexEnd, 2,
           "data beyond 32-bit addresses"),
    BadHex("HexNotARecord", HexFlash + "S1130000\n" + HexEnd, 2,
           "not a record"),
    {"HexNoEnd",
     "fw.hex",
     HexFlash + Hex(0, 0, Code),
     {},
     Refused("fw.hex", "no end record")},
    {"HexNoData",
     "fw.hex",
     HexFlash + HexEnd,
     {},
     Refused("fw.hex", "no data")},
    {"HexSpanTooLarge",
     "fw.hex",
     GoodHex.substr(0, GoodHex.size() - HexEnd.size()) +
         Hex(4, 0, Bytes({0x1F, 0xFF})) + Hex(0, 0x7800, Data) + HexEnd,
     {},
     Refused("fw.hex",
             "its data spans 0x08000000 to 0x1FFF7803, more than 64 MiB")},

    BadSRec("SRecChecksum", Changed(CodeSRec, -2, "00"), 1,
            "wrong checksum 00, " + CodeSRec.substr(CodeSRec.size() - 3, 2) +
                " expected"),
    BadSRec("SRecNotHexDigit", Changed(CodeSRec, 7, "x"), 1,
            "column 8: not a hex digit"),
    BadSRec("SRecShort", Changed(CodeSRec, 8, "", 2), 1,
            "shorter than its byte count"),
    BadSRec("SRecReservedType", SRec(4, 2, 0, "x"), 1,
            "unknown record type S4"),
    BadSRec("SRecCount", SRec(1, 2, 0, Code) + SRec(5, 2, 2, ""), 2,
            "count 2, but 1 data records before it"),
    BadSRec("SRecDataAfterEnd", GoodSRec + SRec(1, 2, 0, Data), 6,
            "data after the end record"),
    BadSRec(
        "SRecSameAddressTwice",
        SRec(1, 2, 0x100, Code) + SRec(1, 2, 0x104, Data) + SRec(9, 2, 0, ""),
        2, "data for 0x00000104, which an earlier line gave"),
    {"SRecNoEnd",
     "fw.s19",
     SRec(1, 2, 0, Code),
     {},
     Refused("fw.s19", "no end record")},

    BadElf("ElfTruncatedHeader", FlashElf(false, false).substr(0, 40),
           "truncated ELF header"),
    BadElf("ElfJustItsMagic",
           "\x7f"
           "ELF",
           "truncated ELF header"),
    BadElf("ElfSectionTableOutside",
           FlashElf(false, false).substr(0, FlashElf(false, false).size() - 1),
           "its section header table lies outside the file"),
    [] {
      // .data's offset pointed far past the end of the file.
      std::string elf = FlashElf(false, false);
      const std::size_t table = elf.size() - 5 * 40;
      elf.replace(table + 2 * 40 + 16, 4, Bytes({0, 0, 0, 1}));
      return BadElf("ElfSectionOutside", elf,
                    "section .data lies outside the file");
    }(),
    BadElf("ElfNothingToLoad",
           Elf(false, false, {{".bss", 8, 0x20000000, std::string(8, '\0')}}),
           "no data"),
    BadElf("ElfBeyond32Bits",
           Elf(true, false, {{".text", 1, 0x100000000, Code}}),
           "section .text lies beyond 32-bit addresses"),
    BadElf("ElfSectionsOverlap",
           Elf(false, true,
               {{".text", 1, 0x1000, Code}, {".rodata", 1, 0x1004, Data}}),
           "section .rodata gives data for 0x00001004, which another "
           "section gave"),
    {"ElfByOptionNotElf",
     "fw.bin",
     GoodHex,
     {"--format", "elf"},
     Refused("fw.bin", "not an ELF file")},

    // Taken as raw by its extension, a file of another format is refused;
    // asked for as raw bytes, it is converted so.
    {"HexAsBin",
     "fw.bin",
     GoodHex,
     {},
     Refused("fw.bin",
             "it looks like Intel HEX: --format ihex reads it, --format bin "
             "takes it as raw bytes")},
    {"SRecAsBin",
     "fw",
     GoodSRec,
     {},
     Refused("fw",
             "it looks like S-record: --format srec reads it, --format bin "
             "takes it as raw bytes")},
    {"ElfAsBin",
     "fw.img",
     FlashElf(false, false),
     {},
     Refused("fw.img",
             "it looks like ELF: --format elf reads it, --format bin takes "
             "it as raw bytes")},
    {"HexWithBlankFirstLineAsBin",
     "fw.bin",
     "\r\n" + GoodHex,
     {},
     Refused("fw.bin",
             "it looks like Intel HEX: --format ihex reads it, --format bin "
             "takes it as raw bytes")},
    {"HexEndedByCtrlZ",
     "fw.hex",
     GoodHex + "  \t\n\x1a",
     {},
     "",
     FlashImage(),
     "0x08000000UL"},
    // (Blank lines make it whole blocks: no warning of padding.)
    {"HexAsBinAsked",
     "fw.bin",
     GoodHex + std::string(512 - GoodHex.size(), '\n'),
     {"--format", "bin"},
     "",
     GoodHex + std::string(512 - GoodHex.size(), '\n'),
     ""},
};

class FormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatTest, ConvertsByAddressOrRefusesWithNothingWritten) {
  const FormatCase& c = GetParam();
  TempDir directory;
  const fs::path work = directory.work();
  WriteBytes(work / c.file, c.content);
  std::vector<std::string> arguments = c.options;
  for (const char* word : {"--name", "img", "--header", "img.h"}) {
    arguments.emplace_back(word);
  }
  arguments.insert(arguments.end(), {c.file, "img.c"});
  RunOptions options;
  options.image_step = true;

  const RunResult result = RunTool(directory, arguments, options);

  EXPECT_EQ(result.err, c.err);
  EXPECT_EQ(result.status, c.err.empty() ? 0 : 1);
  EXPECT_TRUE(FileHolds(work / c.file, c.content));
  if (!c.err.empty()) {
    EXPECT_FALSE(fs::exists(work / "img.c"));
    EXPECT_FALSE(fs::exists(work / "img.h"));
    return;
  }
  EXPECT_TRUE(FileHolds(
      work / "img.c", ExpectedSource(c.image, TextLineEnd(), "img", "img.h")));
  const std::string header = ReadBytes(work / "img.h");
  const std::string define = "#define img_address ";
  EXPECT_EQ(header.find(define + c.address) != std::string::npos,
            !c.address.empty())
      << header;
  EXPECT_EQ(header.find(define) != std::string::npos, !c.address.empty());
}

INSTANTIATE_TEST_SUITE_P(Files, FormatTest, ::testing::ValuesIn(FormatCases),
                         [](const ::testing::TestParamInfo<FormatCase>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace pelkaforge::testing
