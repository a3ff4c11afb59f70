"""Firmware images into C files and headers, with pelkaforge-image.

    load("@pelkaforge//bazel:defs.bzl", "pelkaforge_cc_library")

    cc_library(name = "datatype", hdrs = ["Datatype.h"])

    pelkaforge_cc_library(
        name = "radio_image",
        image = "radio.bin",
        identifier = "radio_image",
        deps = [":datatype"],
    )

    cc_binary(name = "app", srcs = ["main.c"], deps = [":radio_image"])

main.c then says #include "radio_image.h".
"""

load("@rules_cc//cc:defs.bzl", "cc_library")

_DEFAULT_IDENTIFIER = "SecondaryMicroImage"

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

    # Paths relative to the execution root, and no shell: the action's
    # result depends on its inputs alone, so a remote cache shares it and
    # any executor can run it. The paths come after "--", so that one may
    # begin with "-".
    arguments = ctx.actions.args()
    if ctx.attr.identifier:
        arguments.add("--name", ctx.attr.identifier)
    arguments.add("--header", header)
    arguments.add("--")
    arguments.add(image)
    arguments.add(source)
    ctx.actions.run(
        executable = ctx.executable._program,
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
        # A prebuilt program is a file, not a rule's output.
        "_program": attr.label(
            default = Label("//bazel:image_program"),
            allow_files = True,
            executable = True,
            cfg = "exec",
        ),
    },
)

def pelkaforge_cc_library(name, image, identifier = "", deps = [], **kwargs):
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
