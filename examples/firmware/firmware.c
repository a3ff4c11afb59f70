/* The main processor's program, which carries the images of two secondary
   microcontrollers: it prints what it holds of each. Each image's header
   declares it with its exact length. */
#include <stddef.h>
#include <stdio.h>

#include "app_image.h"
#include "updater_image.h"

/* Images are padded to whole 512-byte blocks. */
_Static_assert(sizeof app_image % 512 == 0, "whole blocks");
_Static_assert(sizeof updater_image % 512 == 0, "whole blocks");

/* FNV-1a: the bytes are the image's when it matches the image file's. */
static unsigned long Checksum(const tUBYTE* bytes, size_t size) {
  unsigned long hash = 2166136261UL;
  for (size_t i = 0; i < size; ++i) {
    hash = ((hash ^ bytes[i]) * 16777619UL) & 0xFFFFFFFFUL;
  }
  return hash;
}

static void Describe(const char* name, const tUBYTE* image, size_t size,
                     unsigned count, unsigned version) {
  printf("%s: %lu bytes, count %u, version %u, checksum %08lx\n", name,
         (unsigned long)size, count, version, Checksum(image, size));
}

int main(void) {
  Describe("app_image", app_image, sizeof app_image, app_image_blocks,
           app_image_version);
  Describe("updater_image", updater_image, sizeof updater_image,
           updater_image_blocks, updater_image_version);
  return 0;
}
