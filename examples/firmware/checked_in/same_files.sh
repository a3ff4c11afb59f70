#!/bin/sh
# same_files.sh GENERATED.c GENERATED.h CHECKED_IN.c CHECKED_IN.h: whether
# the files kept in the tree are those the build makes.
cmp "$1" "$3" && cmp "$2" "$4"
