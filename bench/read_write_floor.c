/* The least any conversion must do: reads the image in 64 KiB reads and,
 * after each, writes as much ready-made text as the tool writes for those
 * bytes (the output's size in proportion), with no formatting at all. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

enum { kRead = 64 << 10, kText = 8 * kRead };

int main(int argc, char* argv[]) {
  if (argc != 4) {
    fprintf(stderr, "usage: read_write_floor <image> <output bytes> <file>\n");
    return 2;
  }
  static char image[kRead];
  static char text[kText];
  const long long output_bytes = atoll(argv[2]);
  /* Only the text that will be written is touched, as the tool touches
   * only the part of its buffer that it fills. */
  memset(text, 'x', output_bytes < kText ? (size_t)output_bytes : kText);
  const int in = open(argv[1], O_RDONLY);
  const int out = open(argv[3], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || out < 0) return 1;
  const off_t image_bytes = lseek(in, 0, SEEK_END);
  lseek(in, 0, SEEK_SET);
  long long read_so_far = 0;
  long long written = 0;
  for (;;) {
    const ssize_t got = read(in, image, sizeof image);
    if (got < 0) return 1;
    read_so_far += got;
    const long long due = got == 0 || image_bytes == 0
                              ? output_bytes
                              : output_bytes * read_so_far / image_bytes;
    while (written < due) {
      const long long left = due - written;
      const size_t size = left < kText ? (size_t)left : kText;
      if (write(out, text, size) != (ssize_t)size) return 1;
      written += (long long)size;
    }
    if (got == 0) break;
  }
  return close(out) == 0 && close(in) == 0 ? 0 : 1;
}
