#ifndef PELKAFORGE_TESTS_SUPPORT_EXPECTEDSOURCE_H_
#define PELKAFORGE_TESTS_SUPPORT_EXPECTEDSOURCE_H_

#include <string>

// The reference the tool's output is checked against, by the tests and the
// fuzz targets alike: written the plainest way, apart from the tool's code.
namespace pelkaforge::testing {

// The platform's line end in a text stream: "\r\n" on Windows, "\n"
// elsewhere.
std::string TextLineEnd();

// The exact text the tool must write for an image of whole blocks, made
// independently of the tool's code (one printf per byte).
std::string ExpectedSource(const std::string& image,
                           const std::string& line_end = TextLineEnd());

}  // namespace pelkaforge::testing

#endif  // PELKAFORGE_TESTS_SUPPORT_EXPECTEDSOURCE_H_
