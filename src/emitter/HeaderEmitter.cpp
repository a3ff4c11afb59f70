#include "emitter/HeaderEmitter.h"

#include "emitter/SourceEmitter.h"

namespace pelkaforge {

void WriteHeader(OutputFile& output, const ImageNames& names,
                 std::int32_t block_count) {
  const long long length = static_cast<long long>(block_count) * BlockSize;
  WriteText(output, GeneratedComment);
  // Some 600 characters, seven names and a length of up to ten digits.
  WriteFormatted(
      output, 800 + 7 * sizeof names.array,
      "\n"
      "#ifndef PELKAFORGE_%s_H\n"
      "#define PELKAFORGE_%s_H\n"
      "\n"
      "#include \"Datatype.h\"\n"
      "\n"
      "#ifdef __cplusplus\n"
      "extern \"C\" {\n"
      "#endif\n"
      "\n"
      "// The image, padded with 0xFF to whole 512-byte blocks. Its length\n"
      "// in bytes is sizeof %s.\n"
      "extern const tUBYTE %s[%lld];\n"
      "\n"
      "// The length in units of 256 bytes. A tUBYTE holds at most 255: from\n"
      "// 128 blocks (64 KiB) on, this wraps; the array's sizeof does not.\n"
      "extern tUBYTE %s;\n"
      "\n"
      "// The image's last byte: 255 for an image that was padded.\n"
      "extern tUBYTE %s;\n"
      "\n"
      "#ifdef __cplusplus\n"
      "}\n"
      "#endif\n"
      "\n"
      "#endif  // PELKAFORGE_%s_H\n",
      names.array.data(), names.array.data(), names.array.data(),
      names.array.data(), length, names.blocks.data(), names.version.data(),
      names.array.data());
}

}  // namespace pelkaforge
