# pelkaforge.mk: GNU make rules that turn firmware images into
# SecondaryMicroImage.c files with Pelkaforge, as the CMake package's
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
# to that path. Call it once for each name; it leaves the Makefile's default
# goal as it was. The tool pads the image it is given in place and writes
# into its working directory, so it runs in a folder of NAME's own on a fresh
# copy of the image: the image is never touched, whatever its mode, and make
# -j is safe. The result replaces the generated file only when the tool
# succeeded, so a failed run leaves nothing that looks up to date. The file
# is made again when the image or the tool changes.
#
# Set before the include or on the command line:
#   PELKAFORGE_BUILD_DIR  where the generated files go (build/pelkaforge)
#   PELKAFORGE            the tool (the one installed beside this file)
#
# The recipes need a POSIX shell, and paths without spaces.

pelkaforge_mk_dir := $(dir $(lastword $(MAKEFILE_LIST)))
pelkaforge_installed := $(pelkaforge_mk_dir)../../bin/Pelkaforge
PELKAFORGE_BUILD_DIR ?= build/pelkaforge
PELKAFORGE ?= $(abspath $(or $(wildcard $(pelkaforge_installed).exe),$(pelkaforge_installed)))

# The tool as the recipes run it from another folder: a path made absolute,
# a command name looked up on the PATH.
pelkaforge_tool = $(if $(findstring /,$(PELKAFORGE)),$(abspath $(PELKAFORGE)),$(or $(shell command -v $(PELKAFORGE)),$(PELKAFORGE)))

# $1 the image, $2 the name's folder. The tool's messages are shown with a
# line break after them: its padding warning has none of its own.
define pelkaforge_rule
$2/SecondaryMicroImage.c: $1 $(pelkaforge_tool)
	@echo "Generating $$@ from $1"
	@rm -rf $2/run && mkdir -p $2/run && cat $1 > $2/run/image.bin
	@if (cd $2/run && $(pelkaforge_tool) image.bin) 2> $2/messages; \
	then converted=true; else converted=false; fi; \
	if [ -s $2/messages ]; then \
	  cat $2/messages; [ -z "$$$$(tail -c 1 $2/messages)" ] || echo; \
	fi >&2; \
	$$$$converted
	@mv -f $2/run/SecondaryMicroImage.c $$@
endef

# A rule defined here would become the default goal of a Makefile that has
# no rule yet: the goal is kept as it was.
pelkaforge_image = $(strip \
  $(eval pelkaforge_default_goal := $(.DEFAULT_GOAL)) \
  $(eval $(call pelkaforge_rule,$(strip $2),$(PELKAFORGE_BUILD_DIR)/$(strip $1))) \
  $(eval .DEFAULT_GOAL := $(pelkaforge_default_goal)) \
  $(PELKAFORGE_BUILD_DIR)/$(strip $1)/SecondaryMicroImage.c)
