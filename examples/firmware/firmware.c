/* The main processor's program, which carries the images of three secondary
   microcontrollers: it prints what it holds of each. Each image's header
   declares it with its exact length. The radio's image is converted from
   the HEX file its build makes (radio/radio.hex), so its header also gives
   the address the image is built for; the program checks that the bytes are
   the radio's program, laid out by address, before it describes them. */
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "app_image.h"
#include "radio_image.h"
#include "updater_image.h"

/* Images are padded to whole 512-byte blocks. */
_Static_assert(sizeof app_image % 512 == 0, "whole blocks");
_Static_assert(sizeof updater_image % 512 == 0, "whole blocks");
_Static_assert(sizeof radio_image % 512 == 0, "whole blocks");

/* The radio runs its program from the start of its flash. */
_Static_assert(radio_image_address == 0x08000000UL, "built for its flash");

/* The radio's initial stack pointer, the top of its RAM (radio/radio.ld). */
#define RADIO_STACK_TOP 0x20001000UL

/* The radio's settings as radio/radio.c initialises them in .data: network
   0x5A17C0DE, interval 5000, power 3, channel 0, in the radio's byte order
   (little-endian). */
static const tUBYTE radio_settings[] = {0xDE, 0xC0, 0x17, 0x5A,
                                        0x88, 0x13, 3,    0};

/* FNV-1a: the bytes are the image's when it matches the image file's. */
static unsigned long Checksum(const tUBYTE* bytes, size_t size) {
  unsigned long hash = 2166136261UL;
  for (size_t i = 0; i < size; ++i) {
    hash = ((hash ^ bytes[i]) * 16777619UL) & 0xFFFFFFFFUL;
  }
  return hash;
}

/* A 32-bit word of the radio's, little-endian. */
static unsigned long Word(const tUBYTE* bytes) {
  return (unsigned long)bytes[0] | (unsigned long)bytes[1] << 8 |
         (unsigned long)bytes[2] << 16 | (unsigned long)bytes[3] << 24;
}

/* What is wrong with the radio's image, or NULL. Its vector table starts
   with the initial stack pointer; the table of contents after it, at 0xC0,
   says where .text ends and where .data's initial values are stored. The
   linker stores them right after .text, and nothing follows them but the
   padding. */
static const char* RadioImageFault(void) {
  if (Word(radio_image) != RADIO_STACK_TOP) {
    return "its first word is not the radio's initial stack pointer";
  }
  const tUBYTE* contents = radio_image + 0xC0;
  if (memcmp(contents, "RDIO", 4) != 0) {
    return "it has no table of contents";
  }
  unsigned long text_end = Word(contents + 4);
  unsigned long data_load = Word(contents + 8);
  unsigned long data_size = Word(contents + 16) - Word(contents + 12);
  if (data_load != text_end) {
    return ".data is not stored right after .text";
  }
  unsigned long offset = data_load - radio_image_address;
  if (data_size != sizeof radio_settings ||
      offset > sizeof radio_image - data_size ||
      memcmp(radio_image + offset, radio_settings, data_size) != 0) {
    return "it does not hold the initial values of .data";
  }
  for (size_t i = offset + data_size; i < sizeof radio_image; ++i) {
    if (radio_image[i] != 0xFF) {
      return "something follows .data";
    }
  }
  return NULL;
}

static void Describe(const char* name, const tUBYTE* image, size_t size,
                     unsigned long count, unsigned version) {
  printf("%s: %lu bytes, count %lu, version %u, checksum %08lx\n", name,
         (unsigned long)size, count, version, Checksum(image, size));
}

int main(void) {
  Describe("app_image", app_image, sizeof app_image, app_image_blocks,
           app_image_version);
  Describe("updater_image", updater_image, sizeof updater_image,
           updater_image_blocks, updater_image_version);
  const char* fault = RadioImageFault();
  if (fault != NULL) {
    fprintf(stderr, "radio_image: %s\n", fault);
    return 1;
  }
  Describe("radio_image", radio_image, sizeof radio_image, radio_image_blocks,
           radio_image_version);
  return 0;
}
