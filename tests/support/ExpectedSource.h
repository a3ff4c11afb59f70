#ifndef PELKAFORGE_TESTS_SUPPORT_EXPECTEDSOURCE_H_
#define PELKAFORGE_TESTS_SUPPORT_EXPECTEDSOURCE_H_

#include <string>

// The reference the tool's output is checked against, by the tests and the
// fuzz targets alike: written the plainest way, apart from the tool's code.
namespace pelkaforge::testing {

// The warning for an image that is padded, as both programs print it
// (Pelkaforge without a line break after it, pelkaforge-image with one). A
// constant, so that tables of other files may use it as they are made.
constexpr const char* PaddingWarning =
    "Invalid file size (not divisible by 512)\n Will padd with FF to 512 "
    "boundry";

// The platform's line end in a text stream: "\r\n" on Windows, "\n"
// elsewhere.
std::string TextLineEnd();

// The exact text the tool must write for an image of whole blocks, made
// independently of the tool's code (one printf per byte): with Pelkaforge's
// names, or in the form pelkaforge-image gives for --name name, including
// include (its header, with --header).
std::string ExpectedSource(const std::string& image,
                           const std::string& line_end = TextLineEnd(),
                           const std::string& name = "",
                           const std::string& include = "Datatype.h");

}  // namespace pelkaforge::testing

#endif  // PELKAFORGE_TESTS_SUPPORT_EXPECTEDSOURCE_H_
