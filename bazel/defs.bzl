"""Firmware images into C source files, with pelkaforge-image.

    load("@pelkaforge//bazel:defs.bzl", "pelkaforge_cc_library")

    cc_library(name = "datatype", hdrs = ["Datatype.h"])

    pelkaforge_cc_library(
        name = "app_image",
        image = "app.bin",
        deps = [":datatype"],
    )

    cc_binary(name = "app", srcs = ["main.c"], deps = [":app_image"])
"""

load("@rules_cc//cc:defs.bzl", "cc_library")

def _pelkaforge_image_impl(ctx):
    image = ctx.file.image
    output = ctx.actions.declare_file(ctx.label.name + "/SecondaryMicroImage.c")

    # Paths relative to the execution root, and no shell: the action's
    # result depends on its inputs alone, so a remote cache shares it and
    # any executor can run it.
    arguments = ctx.actions.args()
    arguments.add(image)
    arguments.add(output)
    ctx.actions.run(
        executable = ctx.executable._program,
        arguments = [arguments],
        inputs = [image],
        outputs = [output],
        mnemonic = "PelkaforgeImage",
        progress_message = "Converting %s into %s" % (image.short_path, output.short_path),
    )
    return [DefaultInfo(files = depset([output]))]

pelkaforge_image = rule(
    implementation = _pelkaforge_image_impl,
    doc = """Converts a firmware image into `<name>/SecondaryMicroImage.c`.

The file is what Pelkaforge writes for the image once padded with 0xFF to
whole 512-byte blocks; the image itself is only read. It includes
"Datatype.h" and is C: list the target in a cc_library's srcs, with a dep
that brings the header, or use pelkaforge_cc_library.""",
    attrs = {
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

def pelkaforge_cc_library(name, image, deps = [], **kwargs):
    """A cc_library that holds a firmware image.

    Args:
      name: the library's name; the generated file is `<name>_source`'s.
      image: the image: a source file or another rule's one output.
      deps: what the generated file needs, the target with "Datatype.h"
        among them.
      **kwargs: passed on to the cc_library (visibility, tags, ...).
    """
    pelkaforge_image(
        name = name + "_source",
        image = image,
        tags = kwargs.get("tags"),
        visibility = ["//visibility:private"],
    )
    cc_library(
        name = name,
        srcs = [":" + name + "_source"],
        deps = deps,
        **kwargs
    )
