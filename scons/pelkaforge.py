"""SCons tool for Pelkaforge: firmware images into SecondaryMicroImage.c.

    env = Environment()
    env.Tool('pelkaforge', toolpath=['/usr/share/pelkaforge/scons'])
    image_source = env.PelkaforgeImage('build/app', 'firmware/app.bin')
    env.Program('build/app', ['main.c', image_source])

env.PelkaforgeImage(target, image) runs pelkaforge-image, which reads the
image (never changing it, whatever its mode) and writes the file Pelkaforge
writes for it once padded. target is the generated file, or a folder (any
name not ending in .c) that gets SecondaryMicroImage.c: the file's name is
fixed by what it defines, so each image needs a folder of its own. It
returns the generated file's node, made again when the image or the
program changes.

PELKAFORGE_IMAGE in the environment names the program: by default the
pelkaforge-image installed beside this file, else the one on the PATH.
"""

import os

import SCons.Action
import SCons.Builder
import SCons.Node.FS

OUTPUT_NAME = 'SecondaryMicroImage.c'


def _installed_program(env):
    """pelkaforge-image in the bin folder of the prefix this file is in."""
    prefix = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                          os.pardir, os.pardir, os.pardir)
    for name in ('pelkaforge-image', 'pelkaforge-image.exe'):
        path = os.path.normpath(os.path.join(prefix, 'bin', name))
        if os.path.isfile(path):
            return path
    return env.WhereIs('pelkaforge-image')


def _pelkaforge_image(env, target, image):
    if isinstance(target, SCons.Node.FS.Dir) or (
            isinstance(target, str) and not target.endswith('.c')):
        target = env.Dir(target).File(OUTPUT_NAME)
    nodes = env.PelkaforgeImageBuilder(target=target, source=image)
    # A new program makes the file again: a name without a folder is the
    # program on the PATH.
    program = env.subst('$PELKAFORGE_IMAGE')
    if not os.path.dirname(program):
        program = env.WhereIs(program) or program
    env.Depends(nodes, env.File(program))
    return nodes[0]


def generate(env):
    env.SetDefault(PELKAFORGE_IMAGE=_installed_program(env) or
                   'pelkaforge-image')
    # Each argument is passed as one, spaces and all.
    action = SCons.Action.Action(
        [['$PELKAFORGE_IMAGE', '$SOURCE', '$TARGET']],
        'Generating $TARGET from $SOURCE')
    env['BUILDERS']['PelkaforgeImageBuilder'] = SCons.Builder.Builder(
        action=action, single_source=True)
    env.AddMethod(_pelkaforge_image, 'PelkaforgeImage')


def exists(env):
    return _installed_program(env) is not None
