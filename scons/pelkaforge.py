"""SCons tool for Pelkaforge: firmware images into C files and headers.

    env = Environment(CPPPATH=['include', 'build'])  # Datatype.h, headers
    env.Tool('pelkaforge', toolpath=['/usr/share/pelkaforge/scons'])
    radio = env.PelkaforgeImage('build/radio_image.c', 'firmware/radio.bin',
                                name='radio_image')
    env.Program('build/app', ['main.c', radio])

env.PelkaforgeImage(target, image, name=None) runs pelkaforge-image, which
reads the image (never changing it, whatever its mode) and writes the file
Pelkaforge writes for it once padded, and a header that declares it. target
is the generated file (a name ending in .c), or a folder that gets
<name>.c. name gives the array, count and version the names name,
name_blocks and name_version; without it they are Pelkaforge's own, and
the file is SecondaryMicroImage.c in a folder. The header, <name>.h (or
SecondaryMicroImage.h), is made beside the file: add its folder to
CPPPATH. It returns the generated file's node, made again when the image or
the program changes. List it among a program's sources, never in a
library's: a second image of the same names would be left out of the
archive without a word, where the link of the program stops on it.

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

DEFAULT_NAME = 'SecondaryMicroImage'


def _installed_program(env):
    """pelkaforge-image in the bin folder of the prefix this file is in."""
    prefix = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                          os.pardir, os.pardir, os.pardir)
    for name in ('pelkaforge-image', 'pelkaforge-image.exe'):
        path = os.path.normpath(os.path.join(prefix, 'bin', name))
        if os.path.isfile(path):
            return path
    return env.WhereIs('pelkaforge-image')


def _pelkaforge_image(env, target, image, name=None):
    if isinstance(target, SCons.Node.FS.Dir) or (
            isinstance(target, str) and not target.endswith('.c')):
        target = env.Dir(target).File((name or DEFAULT_NAME) + '.c')
    source = env.File(target)
    header = source.dir.File((name or DEFAULT_NAME) + '.h')
    nodes = env.PelkaforgeImageBuilder(
        target=[source, header], source=image,
        PELKAFORGE_NAME_OPTIONS=['--name', name] if name else [])
    # A new program makes the files again: a name without a folder is the
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
    # Each argument is passed as one, spaces and all; the paths come after
    # '--', so that one may begin with '-'.
    action = SCons.Action.Action(
        [['$PELKAFORGE_IMAGE_PROGRAM', '$PELKAFORGE_NAME_OPTIONS', '--header',
          '${TARGETS[1]}', '--', '$SOURCE', '${TARGETS[0]}']],
        'Generating $TARGETS from $SOURCE')
    env['BUILDERS']['PelkaforgeImageBuilder'] = SCons.Builder.Builder(
        action=action, single_source=True)
    env.AddMethod(_pelkaforge_image, 'PelkaforgeImage')


def exists(env):
    return _installed_program(env) is not None
