/* The floor a converter is measured against: writes a file of the given
 * size in 1 MiB write calls, with no formatting at all. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

enum { kChunk = 1 << 20 };

int main(int argc, char* argv[]) {
  if (argc != 3) {
    fprintf(stderr, "usage: write_floor <bytes> <file>\n");
    return 2;
  }
  long long remaining = atoll(argv[1]);
  static char chunk[kChunk];
  memset(chunk, 'x', remaining < kChunk ? (size_t)remaining : kChunk);
  int file = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (file < 0) return 1;
  while (remaining > 0) {
    size_t size = remaining < kChunk ? (size_t)remaining : kChunk;
    if (write(file, chunk, size) != (ssize_t)size) return 1;
    remaining -= (long long)size;
  }
  return close(file) == 0 ? 0 : 1;
}
