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

// The identifiers a generated file defines: the array, its length in
// 256-byte units and its version.
struct ImageNames {
  Identifier array;
  Identifier blocks;
  Identifier version;
};

// Pelkaforge's own: SecondaryMicroImage, NumSecondaryMicroImageBlocks and
// SecondaryMircoVersion.
ImageNames DefaultNames();

// name, name_blocks and name_version. Refuses, naming it, a name that is not
// a C identifier, is a keyword of C or C++, is reserved there (a leading
// underscore, or two underscores together, also once the suffixes follow
// it), or is longer than MaxNameLength.
ImageNames NamesFor(const char* name);

}  // namespace pelkaforge

#endif  // PELKAFORGE_EMITTER_IMAGENAMES_H_
