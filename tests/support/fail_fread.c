/* Preloaded into a run of the tool to make one fread fail as a disk would:
 * the call numbered PELKAFORGE_FAIL_FREAD (1 for the first) reads nothing,
 * sets the stream's error indicator and errno to EIO. Linux and glibc only:
 * glibc's stdio reads through internal calls that a preloaded read() cannot
 * catch, so fread itself is replaced. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>

size_t fread(void* buffer, size_t size, size_t count, FILE* stream) {
  static size_t (*real_fread)(void*, size_t, size_t, FILE*);
  static long calls;
  if (real_fread == NULL) {
    /* The form POSIX gives for turning dlsym's result into a function. */
    *(void**)&real_fread = dlsym(RTLD_NEXT, "fread");
  }
  const char* fail_at = getenv("PELKAFORGE_FAIL_FREAD");
  if (fail_at != NULL && ++calls == atol(fail_at)) {
    stream->_flags |= _IO_ERR_SEEN;
    errno = EIO;
    return 0;
  }
  return real_fread(buffer, size, count, stream);
}
