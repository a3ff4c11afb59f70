"""SCons tool for Pelkaforge: firmware images into C source files.

    env = Environment(CPPPATH=['include'])  # where Datatype.h is
    env.Tool('pelkaforge', toolpath=['/usr/share/pelkaforge/scons'])
    app_image = env.PelkaforgeImage('build/app_image.c', 'firmware/app.bin')
    env.Program('build/app', ['main.c', app_image])

env.PelkaforgeImage(target, image) runs pelkaforge-image, which reads the
image (never changing it, whatever its mode) and writes the file Pelkaforge
writes for it once padded. target is the generated file (a name ending in
.c), or a folder that gets SecondaryMicroImage.c. It returns the generated
file's node, made again when the image or the program changes.

PELKAFORGE_IMAGE_PROGRAM in the environment names the program: by
default the pelkaforge-image installed beside this file, else the one on the
PATH. A program that cannot be found stops the build with a message naming
it.
"""

import os

import SCons.Action
import SCons.Builder
import SCons.Errors
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
    named = env.subst('$PELKAFORGE_IMAGE_PROGRAM')
    program = named if os.path.dirname(named) else env.WhereIs(named)
    if not program or not os.path.isfile(program):
        raise SCons.Errors.UserError(
            'pelkaforge-image not found: PELKAFORGE_IMAGE_PROGRAM is %s, and '
            'there is no such program%s. Install Pelkaforge, or name the '
            'program: env[\'PELKAFORGE_IMAGE_PROGRAM\'] = '
            '\'/path/to/pelkaforge-image\'' %
            (named, '' if os.path.dirname(named) else ' on the PATH'))
    env.Depends(nodes, env.File(program))
    return nodes[0]


def generate(env):
    env.SetDefault(PELKAFORGE_IMAGE_PROGRAM=_installed_program(env) or
                   'pelkaforge-image')
    # Each argument is passed as one, spaces and all.
    action = SCons.Action.Action(
        [['$PELKAFORGE_IMAGE_PROGRAM', '$SOURCE', '$TARGET']],
        'Generating $TARGET from $SOURCE')
    env['BUILDERS']['PelkaforgeImageBuilder'] = SCons.Builder.Builder(
        action=action, single_source=True)
    env.AddMethod(_pelkaforge_image, 'PelkaforgeImage')


def exists(env):
    return _installed_program(env) is not None
