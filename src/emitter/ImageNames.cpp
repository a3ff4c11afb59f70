#include "emitter/ImageNames.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string_view>

#include "failure/ReportFailure.h"

namespace pelkaforge {

namespace {

// Every keyword of C (to C23) and of C++ (to C++23), alternative operator
// spellings included: a name that is one cannot be declared in either.
// Keywords that begin with an underscore are refused as reserved.
// clang-format off
constexpr std::string_view Keywords[] = {
    "alignas", "alignof", "and", "and_eq", "asm", "auto", "bitand", "bitor",
    "bool", "break", "case", "catch", "char", "char8_t", "char16_t", "char32_t",
    "class", "co_await", "co_return", "co_yield", "compl", "concept", "const",
    "const_cast", "consteval", "constexpr", "constinit", "continue", "decltype",
    "default", "delete", "do", "double", "dynamic_cast", "else", "enum",
    "explicit", "export", "extern", "false", "float", "for", "friend", "goto",
    "if", "inline", "int", "long", "mutable", "namespace", "new", "noexcept",
    "not", "not_eq", "nullptr", "operator", "or", "or_eq", "private",
    "protected", "public", "register", "reinterpret_cast", "requires",
    "restrict", "return", "short", "signed", "sizeof", "static",
    "static_assert", "static_cast", "struct", "switch", "template", "this",
    "thread_local", "throw", "true", "try", "typedef", "typeid", "typename",
    "typeof", "typeof_unqual", "union", "unsigned", "using", "virtual", "void",
    "volatile", "wchar_t", "while", "xor", "xor_eq"
};
// clang-format on

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool IsIdentifier(std::string_view name) {
  return !name.empty() && IsLetter(name.front()) &&
         std::ranges::all_of(name, [](char c) {
           return IsLetter(c) || (c >= '0' && c <= '9');
         });
}

bool IsKeyword(std::string_view name) {
  return std::ranges::find(Keywords, name) != std::end(Keywords);
}

// Why name cannot be used, or nullptr when it can.
const char* Refusal(std::string_view name) {
  if (!IsIdentifier(name)) return "not a C identifier";
  if (IsKeyword(name)) return "a keyword of C or C++";
  // The files use the one and define the other's name as an array.
  if (name == "tUBYTE") return "the name of the type the files use";
  if (name == "main") return "the name of a program's entry point";
  if (name.front() == '_') return "reserved: it begins with an underscore";
  if (name.find("__") != std::string_view::npos) {
    return "reserved: it holds two underscores together";
  }
  if (name.back() == '_') {
    return "reserved: it ends with an underscore, and its _blocks and "
           "_version would hold two together";
  }
  static_assert(MaxNameLength == 23, "the message states the length");
  if (name.size() > MaxNameLength) return "longer than 23 characters";
  return nullptr;
}

Identifier Joined(const char* name, const char* suffix) {
  Identifier joined{};
  std::snprintf(joined.data(), joined.size(), "%s%s", name, suffix);
  return joined;
}

}  // namespace

ImageNames DefaultNames() {
  const char* name = "SecondaryMicroImage";
  return {Joined(name, ""),
          Joined("NumSecondaryMicroImageBlocks", ""),
          Joined("SecondaryMircoVersion", ""),
          Joined(name, "_address"),
          Joined(name, "_crc32"),
          Joined(name, "_sha256"),
          "tUBYTE",
          "tUBYTE",
          false};
}

ImageNames NamesFor(const char* name) {
  if (const char* reason = Refusal(name)) {
    ReportFailure("Unable to use name \"%s\" (%s)\n", name, reason);
  }
  return {Joined(name, ""),
          Joined(name, "_blocks"),
          Joined(name, "_version"),
          Joined(name, "_address"),
          Joined(name, "_crc32"),
          Joined(name, "_sha256"),
          "const unsigned long",
          "const tUBYTE",
          true};
}

void CheckAttributes(const char* text) {
  const std::string_view attributes = text;
  char what[16] = "";
  if (attributes.find_first_of("\r\n") != std::string_view::npos) {
    std::snprintf(what, sizeof what, "a line break");
  } else if (attributes.find("/*") != std::string_view::npos ||
             attributes.find("//") != std::string_view::npos) {
    std::snprintf(what, sizeof what, "a comment");
  } else if (const std::size_t at = attributes.find_first_of(";{}=#");
             at != std::string_view::npos) {
    std::snprintf(what, sizeof what, "'%c'", attributes[at]);
  } else {
    // The other spellings of '{', '}' and '#': digraphs, and trigraphs,
    // which all begin with "??".
    for (const char* spelling : {"<%", "%>", "%:", "??"}) {
      if (attributes.find(spelling) != std::string_view::npos) {
        std::snprintf(what, sizeof what, "'%s'", spelling);
        break;
      }
    }
  }
  if (what[0] != '\0') {
    ReportFailure(
        "Unable to use attributes \"%s\" (%s could end the declaration)\n",
        text, what);
  }
}

}  // namespace pelkaforge
