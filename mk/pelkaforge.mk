# pelkaforge.mk: GNU make rules that turn firmware images into C files and
# headers with pelkaforge-image, as the CMake package's pelkaforge_add_image
# does.
#
#   include /usr/share/pelkaforge/pelkaforge.mk
#
#   radio_image := $(call pelkaforge_image,radio,firmware/radio.bin,radio_image)
#
#   app: main.c $(radio_image)
#   	$(CC) -Iinclude -I$(PELKAFORGE_BUILD_DIR)/radio -o $@ main.c $(radio_image)
#
# $(call pelkaforge_image,NAME,IMAGE[,IDENT]) defines the rule that makes
# $(PELKAFORGE_BUILD_DIR)/NAME/IDENT.c and the header IDENT.h beside it from
# IMAGE, and expands to the C file's path, its spaces escaped for make (and
# so for a POSIX shell); with .c replaced by .h ($(radio_image:.c=.h)), it
# is the header's.
# IDENT names the array, count and version (IDENT, IDENT_blocks and
# IDENT_version); without it they are Pelkaforge's own, in
# SecondaryMicroImage.c and SecondaryMicroImage.h. Call it once for each
# NAME; it leaves the Makefile's default goal as it was. Link each C file
# into the program as it is (never through an archive, where a second image
# of the same names would be left out without a word): the linker then stops
# on two images of one name. pelkaforge-image only reads the image, whatever
# its mode, makes the folder and replaces the files only with complete ones,
# so make -j is safe and a failed run leaves nothing that looks up to date.
# The files are made again when the image or the program changes.
#
# Set before the include or on the command line:
#   PELKAFORGE_BUILD_DIR      where the generated files go (build/pelkaforge)
#   PELKAFORGE_IMAGE_PROGRAM  the build step (pelkaforge-image installed
#                             beside this file; a name without a folder is
#                             looked up on the PATH)
# A program that cannot be found stops the build with a message naming it.
#
# The recipes run the program alone, so any shell make uses will do, and
# paths may hold spaces as far as make allows them; paths that begin with
# '-' are passed after '--'.

pelkaforge_mk_dir := $(dir $(lastword $(MAKEFILE_LIST)))
PELKAFORGE_BUILD_DIR ?= build/pelkaforge
PELKAFORGE_IMAGE_PROGRAM ?= $(pelkaforge_mk_dir)../../bin/pelkaforge-image

pelkaforge_empty :=
pelkaforge_space := $(pelkaforge_empty) $(pelkaforge_empty)
pelkaforge_escape = $(subst $(pelkaforge_space),\$(pelkaforge_space),$1)
pelkaforge_path_separator := $(if $(filter Windows_NT,$(OS)),;,:)

# The program as a path, so that the rule can depend on it: a name without
# a folder is looked up on the PATH, and Windows programs end in .exe.
pelkaforge_find = $(firstword $(wildcard $1.exe $1) $1)
pelkaforge_on_path = $(firstword $(foreach folder,$(subst $(pelkaforge_path_separator), ,$(PATH)),$(wildcard $(folder)/$1.exe $(folder)/$1)) $1)
pelkaforge_step = $(abspath $(if $(findstring /,$(PELKAFORGE_IMAGE_PROGRAM)),$(call pelkaforge_find,$(PELKAFORGE_IMAGE_PROGRAM)),$(call pelkaforge_on_path,$(PELKAFORGE_IMAGE_PROGRAM))))

# Both files come from one run: a grouped target where make has them (4.3
# on); before, each is a target of the same recipe, which may then run twice
# at once, safely, since each run replaces the files whole.
pelkaforge_grouped := $(if $(filter grouped-target,$(.FEATURES)),&)

# $1 the image, $2 the generated file, $3 its header, $4 the identifier (may
# be empty). The message comes from make itself, the run from
# pelkaforge-image alone: no shell command is needed.
define pelkaforge_rule
$(call pelkaforge_escape,$2) $(call pelkaforge_escape,$3) $(pelkaforge_grouped): $(call pelkaforge_escape,$1) $(call pelkaforge_escape,$(pelkaforge_step))
	@$$(info Generating $2 and $(notdir $3) from $1)
	@"$(pelkaforge_step)" $(if $4,--name "$4") --header "$3" -- "$1" "$2"
endef

# Without a rule of its own, a missing program would leave make to say only
# "No rule to make target". Defined once, and only when it is missing: the
# message comes when a generated file is wanted.
define pelkaforge_missing_program_rule
$(call pelkaforge_escape,$(pelkaforge_step)):
	$$(error pelkaforge-image not found: PELKAFORGE_IMAGE_PROGRAM is $(PELKAFORGE_IMAGE_PROGRAM), and there is no such program$(if $(findstring /,$(PELKAFORGE_IMAGE_PROGRAM)),, on the PATH). Install Pelkaforge, or name the program: make PELKAFORGE_IMAGE_PROGRAM=/path/to/pelkaforge-image)
endef
pelkaforge_check_program = $(if $(wildcard $(pelkaforge_step))$(pelkaforge_missing_program_defined),,\
  $(eval $(pelkaforge_missing_program_rule))$(eval pelkaforge_missing_program_defined := 1))

# A rule defined here would become the default goal of a Makefile that has
# no rule yet: the goal is kept as it was.
pelkaforge_image = $(strip \
  $(eval pelkaforge_default_goal := $(.DEFAULT_GOAL)) \
  $(pelkaforge_check_program) \
  $(eval $(call pelkaforge_rule,$(strip $2),$(call pelkaforge_output,$1,$3).c,$(call pelkaforge_output,$1,$3).h,$(strip $3))) \
  $(eval .DEFAULT_GOAL := $(pelkaforge_default_goal)) \
  $(call pelkaforge_escape,$(call pelkaforge_output,$1,$3).c))

# The generated files of $(call pelkaforge_image,$1,...,$2), less .c or .h.
pelkaforge_output = $(PELKAFORGE_BUILD_DIR)/$(strip $1)/$(or $(strip $2),SecondaryMicroImage)
