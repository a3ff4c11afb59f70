"""SCons tool for Pelkaforge: firmware images into C files and headers.

    env = Environment(CPPPATH=['include', 'build'])  # Datatype.h, headers
    env.Tool('pelkaforge', toolpath=['/usr/share/pelkaforge/scons'])
    radio = env.PelkaforgeImage(
        'build/radio_image.c', 'firmware/radio.hex', name='radio_image',
        attributes='__attribute__((section(".radio"), aligned(4)))')
    env.Program('build/app', ['main.c', radio])

env.PelkaforgeImage(target, image, name=None, format=None, attributes=None,
sha256=None, check_values=()) runs pelkaforge-image, which reads the image
(never changing it, whatever its mode) and writes the file Pelkaforge
writes for it once padded, and a header that declares it. target is the
generated file (a name ending in .c), or a folder that gets <name>.c. name
gives the array, count and version the names name, name_blocks and
name_version; without it they are Pelkaforge's own, and the file is
SecondaryMicroImage.c in a folder. The header, <name>.h (or
SecondaryMicroImage.h), is made beside the file: add its folder to
CPPPATH. It returns the generated file's node, made again when the image,
the program or an argument changes.

- format: 'bin', 'ihex', 'srec' or 'elf'; by default the image's extension
  decides (.hex is Intel HEX, .srec S-record, .elf ELF, ...).
- attributes: text written before the array's type in the file and the
  header, passed to the program as it is, quotes, commas and all.
- sha256: the image file's SHA-256 (64 hex digits): the build stops when
  the image's is another.
- check_values: 'crc32', 'sha256' or both in a list: the header also gives
  name_crc32, name_sha256.

List the node among a program's sources: the link then stops on two
images of the same names. This method cannot keep the node out of a
library's sources, and in a static library's archive the linker takes an
object only for a name still undefined: a second image of the same names
may be left out without a word.

PELKAFORGE_IMAGE_PROGRAM in the environment names the program: by
default the pelkaforge-image installed beside this file, else the one on the
PATH. A program that cannot be found, or whose --version is not 1.1.0 or
later, stops the build with a message naming it.
"""

import hashlib
import json
import os
import re
import subprocess

import SCons.Action
import SCons.Builder
import SCons.Errors
import SCons.Node.FS

DEFAULT_NAME = 'SecondaryMicroImage'
FORMATS = ('bin', 'ihex', 'srec', 'elf')
CHECK_VALUES = ('crc32', 'sha256')
# 1.0.0 knows none of the options and reads a .hex file's text as raw bytes.
NEEDED_VERSION = (1, 1, 0)
# What each program's --version said, by its path: asked once a run.
_versions = {}


def _installed_program(env):
    """pelkaforge-image in the bin folder of the prefix this file is in."""
    prefix = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                          os.pardir, os.pardir, os.pardir)
    for name in ('pelkaforge-image', 'pelkaforge-image.exe'):
        path = os.path.normpath(os.path.join(prefix, 'bin', name))
        if os.path.isfile(path):
            return path
    return env.WhereIs('pelkaforge-image')


def _check_version(program):
    """Stops the build unless program says it is 1.1.0 or later."""
    if program not in _versions:
        try:
            run = subprocess.run([program, '--version'], stdout=subprocess.PIPE,
                                 stderr=subprocess.STDOUT,
                                 universal_newlines=True, check=False)
            _versions[program] = (run.returncode, run.stdout.strip())
        except OSError as error:
            _versions[program] = (None, str(error))
    status, said = _versions[program]
    version = re.fullmatch(r'pelkaforge-image (\d+)\.(\d+)\.(\d+)', said)
    if status != 0 or not version or tuple(
            int(number) for number in version.groups()) < NEEDED_VERSION:
        raise SCons.Errors.UserError(
            'pelkaforge-image 1.1.0 or later needed: %s --version printed '
            '"%s"%s. Install Pelkaforge 1.1.0 or later, or name the '
            'program: env[\'PELKAFORGE_IMAGE_PROGRAM\'] = '
            '\'/path/to/pelkaforge-image\'' %
            (program, ' '.join(said.split()[:8]),
             '' if status == 0 else ' and failed'))


def _options(name, format, attributes, sha256, check_values):
    """The program's options for these arguments, each one argument."""
    options = []
    if name:
        options += ['--name', name]
    if format is not None:
        if format not in FORMATS:
            raise SCons.Errors.UserError(
                'PelkaforgeImage: format is %r: it must be one of %s' %
                (format, ', '.join(FORMATS)))
        options += ['--format', format]
    if attributes:
        options += ['--attributes', attributes]
    if sha256 is not None:
        if not re.fullmatch(r'[0-9A-Fa-f]{64}', sha256):
            raise SCons.Errors.UserError(
                'PelkaforgeImage: sha256 is %r: it must be 64 hex digits, as '
                'sha256sum prints them' % (sha256,))
        options += ['--expect-sha256', sha256]
    if isinstance(check_values, str):
        check_values = [check_values]
    for value in check_values:
        if value not in CHECK_VALUES:
            raise SCons.Errors.UserError(
                'PelkaforgeImage: check_values holds %r: it may hold %s' %
                (value, ' and '.join(CHECK_VALUES)))
    options += ['--' + value for value in CHECK_VALUES if value in check_values]
    return options


def _pelkaforge_image(env, target, image, name=None, format=None,
                      attributes=None, sha256=None, check_values=()):
    if isinstance(target, SCons.Node.FS.Dir) or (
            isinstance(target, str) and not target.endswith('.c')):
        target = env.Dir(target).File((name or DEFAULT_NAME) + '.c')
    source = env.File(target)
    header = source.dir.File((name or DEFAULT_NAME) + '.h')
    options = _options(name, format, attributes, sha256, check_values)
    # A name without a folder is the program on the PATH.
    named = env.subst('$PELKAFORGE_IMAGE_PROGRAM')
    program = named if os.path.dirname(named) else env.WhereIs(named)
    if not program or not os.path.isfile(program):
        raise SCons.Errors.UserError(
            'pelkaforge-image not found: PELKAFORGE_IMAGE_PROGRAM is %s, and '
            'there is no such program%s. Install Pelkaforge, or name the '
            'program: env[\'PELKAFORGE_IMAGE_PROGRAM\'] = '
            '\'/path/to/pelkaforge-image\'' %
            (named, '' if os.path.dirname(named) else ' on the PATH'))
    program = os.path.abspath(program)
    _check_version(program)
    # The action is signed by a digest of the command's words: SCons would
    # substitute a '$' in the words themselves, and leave out of the
    # signature what stands between '$(' and '$)', so that a change there
    # would make nothing again.
    signature = hashlib.sha256(
        json.dumps([program] + options).encode()).hexdigest()
    nodes = env.PelkaforgeImageBuilder(
        target=[source, header], source=image, PELKAFORGE_STEP=program,
        PELKAFORGE_OPTIONS=options, PELKAFORGE_SIGNATURE=signature)
    # A new program makes the files again.
    env.Depends(nodes, env.File(program))
    return nodes[0]


def _run(target, source, env):
    """Runs the program without a shell, so that each argument reaches it
    as it is, quotes, '$' and all; the paths come after '--', so that one
    may begin with '-'."""
    command = [env['PELKAFORGE_STEP']]
    command += env['PELKAFORGE_OPTIONS']
    command += ['--header', target[1].abspath, '--', source[0].abspath,
                target[0].abspath]
    return subprocess.call(command, env={
        key: str(value) for key, value in env['ENV'].items()})


def generate(env):
    env.SetDefault(PELKAFORGE_IMAGE_PROGRAM=_installed_program(env) or
                   'pelkaforge-image')
    action = SCons.Action.Action(
        _run, 'Generating $TARGETS from $SOURCE',
        varlist=['PELKAFORGE_SIGNATURE'])
    env['BUILDERS']['PelkaforgeImageBuilder'] = SCons.Builder.Builder(
        action=action, single_source=True)
    env.AddMethod(_pelkaforge_image, 'PelkaforgeImage')


def exists(env):
    return _installed_program(env) is not None
