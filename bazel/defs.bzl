"""Firmware images into C files and headers, with pelkaforge-image.

    load("@pelkaforge//bazel:defs.bzl", "pelkaforge_cc_library")

    cc_library(name = "datatype", hdrs = ["Datatype.h"])

    pelkaforge_cc_library(
        name = "radio_image",
        image = "radio.hex",  # Intel HEX, by its extension
        identifier = "radio_image",
        deps = [":datatype"],
    )

    cc_binary(name = "app", srcs = ["main.c"], deps = [":radio_image"])

main.c then says #include "radio_image.h".
"""

load("@rules_cc//cc:defs.bzl", "cc_library")

_DEFAULT_IDENTIFIER = "SecondaryMicroImage"

# The program this file's options need: 1.0.0 takes no --format and would
# read a .hex file's text as raw bytes. A prebuilt program must report this
# release or a later one; the one built here is of this release.
_NEEDED_VERSION = "1.1.0"

_FORMATS = ["", "bin", "ihex", "srec", "elf"]

_CHECK_VALUES = ["crc32", "sha256"]

_HEX_DIGITS = "0123456789abcdefABCDEF"

# The attributes Bazel gives every rule: pelkaforge_cc_library passes those
# it is given to each target it makes, so that both follow the team's
# testonly, visibility, platform constraints and the rest alike.
_COMMON_ATTRIBUTES = [
    "applicable_licenses",
    "compatible_with",
    "deprecation",
    "distribs",
    "exec_compatible_with",
    "exec_properties",
    "features",
    "licenses",
    "restricted_to",
    "tags",
    "target_compatible_with",
    "testonly",
    "toolchains",
    "visibility",
]

def _pelkaforge_image_impl(ctx):
    image = ctx.file.image
    stem = ctx.label.name + "/" + (ctx.attr.identifier or _DEFAULT_IDENTIFIER)
    source = ctx.actions.declare_file(stem + ".c")
    header = ctx.actions.declare_file(stem + ".h")

    pin = ctx.attr.sha256
    if pin and (len(pin) != 64 or pin.strip(_HEX_DIGITS)):
        fail("the image file's SHA-256 as sha256sum prints it, 64 hex digits, not \"%s\"" % pin, attr = "sha256")
    for value in ctx.attr.check_values:
        if value not in _CHECK_VALUES:
            fail("\"crc32\" or \"sha256\", not \"%s\"" % value, attr = "check_values")

    # Paths relative to the execution root, and no shell: the action's
    # result depends on its inputs alone, so a remote cache shares it and
    # any executor can run it. Each value is one argument, as given. The
    # paths come after "--", so that one may begin with "-".
    arguments = ctx.actions.args()

    # A prebuilt program (the label flag names another target) runs through
    # //bazel:run_program, which stops unless its --version reports the
    # release these options need.
    program = ctx.executable._program
    if ctx.attr._program.label == Label("//:pelkaforge-image"):
        executable, tools = program, []
    else:
        executable = ctx.executable._run_program

        # With its runfiles, should the flag name a program that has some.
        tools = [ctx.attr._program[DefaultInfo].files_to_run]
        arguments.add("--needs", _NEEDED_VERSION)
        arguments.add(program)
    if ctx.attr.identifier:
        arguments.add("--name", ctx.attr.identifier)
    if ctx.attr.format:
        arguments.add("--format", ctx.attr.format)
    if ctx.attr.attributes:
        arguments.add("--attributes", ctx.attr.attributes)
    if pin:
        arguments.add("--expect-sha256", pin)
    for value in _CHECK_VALUES:
        if value in ctx.attr.check_values:
            arguments.add("--" + value)
    arguments.add("--header", header)
    arguments.add("--")
    arguments.add(image)
    arguments.add(source)
    ctx.actions.run(
        executable = executable,
        tools = tools,
        arguments = [arguments],
        inputs = [image],
        outputs = [source, header],
        mnemonic = "PelkaforgeImage",
        progress_message = "Converting %s into %s" % (image.short_path, source.short_path),
    )

    # As runfiles too, so that a test that lists the target in data (one
    # that compares the files with copies kept in the tree) finds them.
    return [DefaultInfo(
        files = depset([source, header]),
        runfiles = ctx.runfiles(files = [source, header]),
    )]

pelkaforge_image = rule(
    implementation = _pelkaforge_image_impl,
    doc = """Converts a firmware image into `<name>/<identifier>.c` and `.h`.

The C file is what Pelkaforge writes for the image once padded with 0xFF to
whole 512-byte blocks, under the names the identifier gives; the image
itself is only read. The header declares it, the array with its exact
length; they need "Datatype.h", from a dep. Use the rule through
pelkaforge_cc_library, which compiles the files into a library linked
whole and statically into every program and test. A cc_library of your own
that lists the target in srcs and hdrs needs the same, `alwayslink = True`
and `linkstatic = True`: without them a second image of the same names is
left out of a program (from an archive) or of a test (from a shared
library, where the first one found is read) without a word, where linked
whole it stops the link.""",
    attrs = {
        "attributes": attr.string(
            doc = "Written before the array's type, in its definition and " +
                  "its declaration: `__attribute__((section(\".radio\")))` " +
                  "puts it in a flash section of its own.",
        ),
        "check_values": attr.string_list(
            doc = "\"crc32\" has the header define identifier_crc32, the " +
                  "CRC-32 of the padded image; \"sha256\" adds " +
                  "identifier_sha256, its SHA-256, defined in the C file.",
        ),
        "format": attr.string(
            doc = "How to read the image: bin, ihex, srec or elf. Empty, " +
                  "the image's extension decides (.hex is Intel HEX, .srec " +
                  "S-record, .elf ELF, others raw); an address format also " +
                  "has the header define identifier_address.",
            values = _FORMATS,
        ),
        "identifier": attr.string(
            doc = "Names the array, its count and its version: identifier, " +
                  "identifier_blocks and identifier_version. Empty, they are " +
                  "Pelkaforge's own (SecondaryMicroImage, " +
                  "NumSecondaryMicroImageBlocks, SecondaryMircoVersion).",
        ),
        "image": attr.label(
            doc = "The image: a source file or another rule's one output.",
            mandatory = True,
            allow_single_file = True,
        ),
        "sha256": attr.string(
            doc = "The image file's SHA-256 (what sha256sum prints): the " +
                  "step stops unless the image is that one.",
        ),
        # A prebuilt program is a file, not a rule's output.
        "_program": attr.label(
            default = Label("//bazel:image_program"),
            allow_files = True,
            executable = True,
            cfg = "exec",
        ),
        "_run_program": attr.label(
            default = Label("//bazel:run_program"),
            executable = True,
            cfg = "exec",
        ),
    },
)

def pelkaforge_cc_library(
        name,
        image,
        identifier = "",
        format = "",
        attributes = "",
        sha256 = "",
        check_values = [],
        deps = [],
        **kwargs):
    """A cc_library that holds a firmware image and its header.

    Code that depends on it includes "<identifier>.h" ("SecondaryMicroImage.h"
    without an identifier). The library is linked whole (alwayslink) and
    statically (linkstatic) into every program and test, a cc_test linked
    dynamically among them: a second image of the same names in one
    program stops the link, where from an archive or a shared library it
    would be left out without a word.

    Args:
      name: the library's name; `<name>_source` makes the C file and the
        header, `<name>_source/<identifier>.c` and `.h`, and is as visible
        as the library, for a team that checks the files in.
      image: the image: a source file or another rule's one output.
      identifier: names the array, count and version.
      format: bin, ihex, srec or elf; empty, the image's extension decides.
      attributes: written before the array's type, such as
        `__attribute__((section(".radio"), aligned(4)))`.
      sha256: the image file's SHA-256; the step stops for another image.
      check_values: "crc32", "sha256" or both, defined for the image.
      deps: what the generated file needs, the target with "Datatype.h"
        among them.
      **kwargs: passed on to the cc_library; the attributes common to all
        rules (testonly, tags, visibility, target_compatible_with, ...) also
        to `<name>_source`.
    """
    common = {key: kwargs[key] for key in _COMMON_ATTRIBUTES if key in kwargs}
    pelkaforge_image(
        name = name + "_source",
        image = image,
        identifier = identifier,
        format = format,
        attributes = attributes,
        sha256 = sha256,
        check_values = check_values,
        **common
    )
    cc_library(
        name = name,
        srcs = [":" + name + "_source"],
        hdrs = [":" + name + "_source"],
        strip_include_prefix = name + "_source",
        deps = deps,
        alwayslink = True,
        linkstatic = True,
        **kwargs
    )
