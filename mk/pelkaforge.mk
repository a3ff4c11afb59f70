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
#   PELKAFORGE_BUILD_DIR  where the generated files go (build/pelkaforge)
#   PELKAFORGE_IMAGE      the build step (pelkaforge-image installed beside
#                         this file, or beside the Pelkaforge that PELKAFORGE
#                         names; a name without a folder is looked up on the
#                         PATH)
#
# The recipes run the program alone, so any shell make uses will do, and
# paths may hold spaces as far as make allows them.

pelkaforge_mk_dir := $(dir $(lastword $(MAKEFILE_LIST)))
PELKAFORGE_BUILD_DIR ?= build/pelkaforge
PELKAFORGE ?= $(pelkaforge_mk_dir)../../bin/Pelkaforge
PELKAFORGE_IMAGE ?= $(if $(findstring /,$(PELKAFORGE)),$(dir $(PELKAFORGE)),)pelkaforge-image

pelkaforge_empty :=
pelkaforge_space := $(pelkaforge_empty) $(pelkaforge_empty)
pelkaforge_escape = $(subst $(pelkaforge_space),\$(pelkaforge_space),$1)
pelkaforge_path_separator := $(if $(filter Windows_NT,$(OS)),;,:)

# The program as a path, so that the rule can depend on it: a name without
# a folder is looked up on the PATH, and Windows programs end in .exe.
pelkaforge_find = $(firstword $(wildcard $1.exe $1) $1)
pelkaforge_on_path = $(firstword $(foreach folder,$(subst $(pelkaforge_path_separator), ,$(PATH)),$(wildcard $(folder)/$1.exe $(folder)/$1)) $1)
pelkaforge_step = $(abspath $(if $(findstring /,$(PELKAFORGE_IMAGE)),$(call pelkaforge_find,$(PELKAFORGE_IMAGE)),$(call pelkaforge_on_path,$(PELKAFORGE_IMAGE))))

# $1 the image, $2 the generated file. The message comes from make itself,
# the run from pelkaforge-image alone: no shell command is needed.
define pelkaforge_rule
$(call pelkaforge_escape,$2): $(call pelkaforge_escape,$1) $(call pelkaforge_escape,$(pelkaforge_step))
	@$$(info Generating $2 from $1)
	@"$(pelkaforge_step)" "$1" "$2"
endef

# A rule defined here would become the default goal of a Makefile that has
# no rule yet: the goal is kept as it was.
pelkaforge_image = $(strip \
  $(eval pelkaforge_default_goal := $(.DEFAULT_GOAL)) \
  $(eval $(call pelkaforge_rule,$(strip $2),$(PELKAFORGE_BUILD_DIR)/$(strip $1)/SecondaryMicroImage.c)) \
  $(eval .DEFAULT_GOAL := $(pelkaforge_default_goal)) \
  $(call pelkaforge_escape,$(PELKAFORGE_BUILD_DIR)/$(strip $1)/SecondaryMicroImage.c))
