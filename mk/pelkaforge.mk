# pelkaforge.mk: GNU make rules that turn firmware images into C files and
# headers with pelkaforge-image, as the CMake package's pelkaforge_add_image
# does.
#
#   include /usr/share/pelkaforge/pelkaforge.mk
#
#   PELKAFORGE_ATTRIBUTES_radio := __attribute__((section(".radio")))
#   radio_image := $(call pelkaforge_image,radio,firmware/radio.hex,radio_image)
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
# SecondaryMicroImage.c and SecondaryMicroImage.h. Each NAME is given once:
# a second call with the same NAME stops make, naming both images. The call
# leaves the Makefile's default goal as it was. Link each C file into the
# program as it is (never through an archive, where the linker takes an
# object only for a name still undefined, and so leaves a second image of
# the same names out without a word): the linker then stops on two images
# of one name. pelkaforge-image only reads the image, whatever its mode,
# makes the folder and replaces the files only with complete ones, so
# make -j is safe and a failed run leaves nothing that looks up to date.
# The files are made again when the image or the program changes (not when
# the variables below do: then remove the NAME folder, or run make -B).
#
# Per image, set before its call (a comma cannot be written in a $(call)
# argument, so these are variables named after the call's NAME):
#   PELKAFORGE_FORMAT_NAME        bin, ihex, srec or elf: how to read the
#                                 image (by default its extension decides:
#                                 .hex is Intel HEX, .srec S-record, ...)
#   PELKAFORGE_ATTRIBUTES_NAME    text written before the array's type in
#                                 the C file and the header, e.g.
#                                 __attribute__((section(".radio"), aligned(4)))
#   PELKAFORGE_SHA256_NAME        the image file's SHA-256: the build stops
#                                 when the image's differs
#   PELKAFORGE_CHECK_VALUES_NAME  crc32, sha256 or both: the header also
#                                 gives IDENT_crc32, IDENT_sha256
# A variable of this kind whose NAME no call has stops the build when a
# generated file is made, rather than being ignored.
#
# Set before the include or on the command line:
#   PELKAFORGE_BUILD_DIR      where the generated files go (build/pelkaforge)
#   PELKAFORGE_IMAGE_PROGRAM  the build step (pelkaforge-image installed
#                             beside this file; a name without a folder is
#                             looked up on the PATH)
# A program that cannot be found, or whose --version is not 1.1.0 or later,
# stops the build with a message naming it.
#
# The recipes run the program alone, its arguments in double quotes (the
# attributes' own " \ $ and ` escaped with a backslash, as a POSIX shell
# reads them), and paths may hold spaces as far as make allows them; paths
# that begin with '-' are passed after '--'.

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

# $1 the image, $2 the generated file, $3 its header, $4 the options, ready
# for the recipe. The messages come from make itself, the run from
# pelkaforge-image alone: no shell command is needed.
define pelkaforge_rule
$(call pelkaforge_escape,$2) $(call pelkaforge_escape,$3) $(pelkaforge_grouped): $(call pelkaforge_escape,$1) $(call pelkaforge_escape,$(pelkaforge_step))
	@$$(pelkaforge_check_version)$$(pelkaforge_check_settings)$$(info Generating $2 and $(notdir $(lastword $3)) from $1)
	@"$(pelkaforge_step)" $4--header "$3" -- "$1" "$2"
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

# pelkaforge-image 1.0.0 knows none of the options, and would take a .hex
# file's text as raw bytes: the program must say it is 1.1.0 or later.
# Asked once, when the first file is made, so that make clean needs no
# program.
pelkaforge_digits := 0 1 2 3 4 5 6 7 8 9
pelkaforge_hex_digits := $(pelkaforge_digits) a b c d e f A B C D E F
# $1 with a space after each character of the list $2 it holds.
pelkaforge_spread = $(if $2,$(call pelkaforge_spread,$(subst $(firstword $2),$(firstword $2) ,$1),$(wordlist 2,$(words $2),$2)),$1)
# Non-empty when $1 is a run of the characters of the list $2 ($3 of them,
# when $3 is given).
pelkaforge_made_of = $(and $1,$(if $(filter-out $2,$(call pelkaforge_spread,$1,$2)),,$(if $3,$(filter $3,$(words $(call pelkaforge_spread,$1,$2))),1)))
# Non-empty when the words of $1, a version's numbers, are 1.1 or later.
pelkaforge_version_at_least_1_1 = $(and $(filter 3,$(words $1)),\
  $(call pelkaforge_made_of,$(subst $(pelkaforge_space),,$1),$(pelkaforge_digits)),\
  $(if $(filter 0,$(word 1,$1)),,$(if $(filter 1,$(word 1,$1)),$(filter-out 0,$(word 2,$1)),1)))
pelkaforge_check_version = $(if $(pelkaforge_version_checked),,\
  $(eval pelkaforge_version_checked := 1)\
  $(eval pelkaforge_version_said := $$(shell "$(pelkaforge_step)" --version 2>&1))\
  $(eval pelkaforge_version_failed := $(filter-out 0,$(or $(.SHELLSTATUS),0)))\
  $(if $(and $(if $(pelkaforge_version_failed),,1),\
             $(filter pelkaforge-image,$(word 1,$(pelkaforge_version_said))),\
             $(filter 2,$(words $(pelkaforge_version_said))),\
             $(call pelkaforge_version_at_least_1_1,$(subst ., ,$(word 2,$(pelkaforge_version_said))))),,\
    $(error pelkaforge-image 1.1.0 or later needed: $(pelkaforge_step) --version printed "$(wordlist 1,8,$(pelkaforge_version_said))$(if $(word 9,$(pelkaforge_version_said)), ...)"$(if $(pelkaforge_version_failed), and failed). Install Pelkaforge 1.1.0 or later, or name the program: make PELKAFORGE_IMAGE_PROGRAM=/path/to/pelkaforge-image)))

# The per-image variables, and the NAMEs of the calls made so far.
pelkaforge_settings := FORMAT ATTRIBUTES SHA256 CHECK_VALUES
pelkaforge_names :=
# A variable set for a NAME no call has would be ignored: checked when a
# file is made, once every call has been read.
pelkaforge_check_settings = $(foreach setting,$(pelkaforge_settings),\
  $(foreach variable,$(filter-out $(addprefix PELKAFORGE_$(setting)_,$(pelkaforge_names)),$(filter PELKAFORGE_$(setting)_%,$(.VARIABLES))),\
    $(error $(variable) is set, and no pelkaforge_image call has the NAME $(patsubst PELKAFORGE_$(setting)_%,%,$(variable)): give the NAME of the image it is for)))

# $1 as one argument of a recipe: in double quotes, its " \ $ and ` escaped
# for the shell, its $ doubled for make.
pelkaforge_quote = "$(subst $$,\$$$$,$(subst `,\`,$(subst ",\",$(subst \,\\,$1))))"

# The options of the image NAME $1 of identifier $2, each followed by a
# space, or the error that stops make on a value the program would refuse.
pelkaforge_options = $(strip \
  $(if $(filter-out bin ihex srec elf,$(PELKAFORGE_FORMAT_$1)),\
    $(error PELKAFORGE_FORMAT_$1 is $(PELKAFORGE_FORMAT_$1): it must be bin, ihex, srec or elf))\
  $(if $(filter-out crc32 sha256,$(PELKAFORGE_CHECK_VALUES_$1)),\
    $(error PELKAFORGE_CHECK_VALUES_$1 is $(PELKAFORGE_CHECK_VALUES_$1): it may hold crc32 and sha256))\
  $(if $(PELKAFORGE_SHA256_$1),$(if $(call pelkaforge_made_of,$(PELKAFORGE_SHA256_$1),$(pelkaforge_hex_digits),64),,\
    $(error PELKAFORGE_SHA256_$1 is $(PELKAFORGE_SHA256_$1): it must be 64 hex digits, as sha256sum prints them))))\
$(if $2,--name "$2" )$(if $(PELKAFORGE_FORMAT_$1),--format $(PELKAFORGE_FORMAT_$1) )$(if \
  $(PELKAFORGE_ATTRIBUTES_$1),--attributes $(call pelkaforge_quote,$(PELKAFORGE_ATTRIBUTES_$1)) )$(if \
  $(PELKAFORGE_SHA256_$1),--expect-sha256 $(PELKAFORGE_SHA256_$1) )$(foreach value,$(sort $(PELKAFORGE_CHECK_VALUES_$1)),--$(value) )

# A NAME given twice, or twice spelt otherwise (radio, ./radio, radio/),
# would give one folder two rules: make would keep the second recipe, with
# a warning at most, and the files would not be those of the first image.
pelkaforge_add_name = $(eval pelkaforge_key := $(abspath /$1))$(if $(filter $(pelkaforge_key),$(pelkaforge_keys)),\
  $(error pelkaforge_image: the NAME $1 is given twice, for $(pelkaforge_image_of_$(pelkaforge_key)) and for $2: give each image a NAME of its own))\
  $(eval pelkaforge_names += $1)$(eval pelkaforge_keys += $(pelkaforge_key))$(eval pelkaforge_image_of_$(pelkaforge_key) := $2)

# A rule defined here would become the default goal of a Makefile that has
# no rule yet: the goal is kept as it was.
pelkaforge_image = $(strip \
  $(if $(strip $1),,$(error pelkaforge_image: no NAME given for $2)) \
  $(call pelkaforge_add_name,$(strip $1),$(strip $2)) \
  $(eval pelkaforge_default_goal := $(.DEFAULT_GOAL)) \
  $(pelkaforge_check_program) \
  $(eval $(call pelkaforge_rule,$(strip $2),$(call pelkaforge_output,$1,$3).c,$(call pelkaforge_output,$1,$3).h,$(call pelkaforge_options,$(strip $1),$(strip $3)))) \
  $(eval .DEFAULT_GOAL := $(pelkaforge_default_goal)) \
  $(call pelkaforge_escape,$(call pelkaforge_output,$1,$3).c))

# The generated files of $(call pelkaforge_image,$1,...,$2), less .c or .h.
pelkaforge_output = $(PELKAFORGE_BUILD_DIR)/$(strip $1)/$(or $(strip $2),SecondaryMicroImage)
