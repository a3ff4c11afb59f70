/* Prints the size and version of the image built into the program. */
#include <stdio.h>

#include "Datatype.h"

extern tUBYTE NumSecondaryMicroImageBlocks; /* in units of 256 bytes */
extern tUBYTE SecondaryMircoVersion;

int main(void) {
  printf("image: %u bytes, version %u\n",
         (unsigned)NumSecondaryMicroImageBlocks * 256u,
         (unsigned)SecondaryMircoVersion);
  return 0;
}
