#ifndef PELKAFORGE_EMITTER_IMAGENAMES_H_
#define PELKAFORGE_EMITTER_IMAGENAMES_H_

#include <array>
#include <cstddef>

namespace pelkaforge {

// The longest name an image may be given. "_version" after it makes 31
// characters, as many as C promises to tell apart in external names: so no
// two images' names can be taken for one by an old compiler or linker.
constexpr std::size_t MaxNameLength = 23;

using Identifier = std::array<char, MaxNameLength + sizeof "_version">;

// The identifiers the generated files define: the array, its length in
// 256-byte units, its version, and what the header may add: its address and
// check values.
struct ImageNames {
  Identifier array;
  Identifier blocks;
  Identifier version;
  Identifier address;
  Identifier crc32;
  Identifier sha256;
  // The types of the count and the version, in the source and the header
  // alike. Pelkaforge's are tUBYTEs; the named form's count has a type that
  // holds every count, and both are const, so that they lie in read-only
  // memory with the array.
  const char* blocks_type;
  const char* version_type;
  // Given by --name: the files take the form made for several images in
  // one program, which differs from Pelkaforge's in types and comments.
  bool named;
};

// Pelkaforge's own: SecondaryMicroImage, NumSecondaryMicroImageBlocks and
// SecondaryMircoVersion (and SecondaryMicroImage_address and so on).
ImageNames DefaultNames();

// name, name_blocks, name_version and so on. Refuses, naming it, a name that is
// not a C identifier, is a keyword of C or C++, is reserved there (a leading
// underscore, or two underscores together, also once the suffixes follow
// it), or is longer than MaxNameLength.
ImageNames NamesFor(const char* name);

// Refuses, quoting it, attribute text that could end the declaration it is
// written into, or the file: a line break, ';', '{', '}', '=', '#' (or a
// digraph or trigraph of them) or a comment's opening.
void CheckAttributes(const char* text);

}  // namespace pelkaforge

#endif  // PELKAFORGE_EMITTER_IMAGENAMES_H_
