# pelkaforge.mk: GNU make rules that turn firmware images into
# SecondaryMicroImage.c files with pelkaforge-image, as the CMake package's
# pelkaforge_add_image does.
#
#   include /usr/share/pelkaforge/pelkaforge.mk
#
#   app_image := $(call pelkaforge_image,app,firmware/app.bin)
#
#   app: main.c $(app_image)
#   	$(CC) -Iinclude -o $@ main.c $(app_image)
#
# $(call pelkaforge_image,NAME,IMAGE) defines the rule that makes
# $(PELKAFORGE_BUILD_DIR)/NAME/SecondaryMicroImage.c from IMAGE and expands
# to that path, its spaces escaped for make (and so for a POSIX shell). Call
# it once for each name; it leaves the Makefile's default goal as it was.
# pelkaforge-image only reads the image, whatever its mode, makes the folder
# and replaces the generated file only with a complete one, so make -j is
# safe and a failed run leaves nothing that looks up to date. The file is
# made again when the image or the program changes.
#
# Set before the include or on the command line:
#   PELKAFORGE_BUILD_DIR      where the generated files go (build/pelkaforge)
#   PELKAFORGE_IMAGE_PROGRAM  the build step (pelkaforge-image installed
#                             beside this file; a name without a folder is
#                             looked up on the PATH)
# A program that cannot be found stops the build with a message naming it.
#
# The recipes run the program alone, so any shell make uses will do, and
# paths may hold spaces as far as make allows them.

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

# $1 the image, $2 the generated file. The message comes from make itself,
# the run from pelkaforge-image alone: no shell command is needed.
define pelkaforge_rule
$(call pelkaforge_escape,$2): $(call pelkaforge_escape,$1) $(call pelkaforge_escape,$(pelkaforge_step))
	@$$(info Generating $2 from $1)
	@"$(pelkaforge_step)" "$1" "$2"
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
  $(eval $(call pelkaforge_rule,$(strip $2),$(PELKAFORGE_BUILD_DIR)/$(strip $1)/SecondaryMicroImage.c)) \
  $(eval .DEFAULT_GOAL := $(pelkaforge_default_goal)) \
  $(call pelkaforge_escape,$(PELKAFORGE_BUILD_DIR)/$(strip $1)/SecondaryMicroImage.c))
