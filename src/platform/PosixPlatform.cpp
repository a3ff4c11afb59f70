#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/Platform.h"

namespace pelkaforge {

bool StatFile(const char* path, FileFacts& facts) {
  struct stat status {};
  if (stat(path, &status) != 0) return false;
  facts.size = status.st_size;
  facts.is_regular = S_ISREG(status.st_mode);
  return true;
}

bool NamesFolder(const char* path) {
  const char* slash = std::strrchr(path, '/');
  const std::string_view last = slash == nullptr ? path : slash + 1;
  return last.empty() || last == "." || last == "..";
}

bool IsLink(const char* path) {
  struct stat status {};
  return lstat(path, &status) == 0 && S_ISLNK(status.st_mode);
}

bool OpenFileSize(std::FILE* file, std::int64_t& size) {
  struct stat status {};
  if (fstat(fileno(file), &status) != 0) return false;
  size = status.st_size;
  return true;
}

bool SameFile(const char* first, const char* second) {
  struct stat first_status {};
  struct stat second_status {};
  return stat(first, &first_status) == 0 && stat(second, &second_status) == 0 &&
         first_status.st_dev == second_status.st_dev &&
         first_status.st_ino == second_status.st_ino;
}

void AcquireFileLock(std::FILE* file) {
  // Any failure but an interruption means no locking here (ENOLCK,
  // EOPNOTSUPP and the like).
  while (flock(fileno(file), LOCK_EX) != 0 && errno == EINTR) {
  }
}

void ReleaseFileLock(std::FILE* file) { flock(fileno(file), LOCK_UN); }

std::FILE* CreateNewFile(const char* path) {
  // O_EXCL refuses any existing name, a symbolic link included.
  const int descriptor =
      open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (descriptor == -1) return nullptr;
  std::FILE* file = fdopen(descriptor, "w");
  if (file == nullptr) {
    const int reason = errno;
    close(descriptor);
    unlink(path);
    errno = reason;
  }
  return file;
}

int CreateParentFolders(char* path) {
  int failure = 0;
  for (char* separator = std::strchr(path + 1, '/'); separator != nullptr;
       separator = std::strchr(separator + 1, '/')) {
    *separator = '\0';
    if (mkdir(path, 0777) != 0 && errno != EEXIST && failure == 0) {
      failure = errno;
    }
    *separator = '/';
  }
  return failure;
}

bool AbsolutePath(const char* path, char* out, std::size_t size) {
  // The folder as the system resolves it, when it exists.
  const char* slash = std::strrchr(path, '/');
  const std::size_t folder_length =
      slash == nullptr ? 0 : static_cast<std::size_t>(slash - path);
  if (folder_length < PATH_MAX && size >= PATH_MAX) {
    char folder[PATH_MAX];
    std::memcpy(folder, path, folder_length);
    folder[folder_length] = '\0';
    const char* resolve = slash == nullptr ? "." : folder;
    if (slash == path) resolve = "/";
    const char* name = slash == nullptr ? path : slash + 1;
    if (realpath(resolve, out) != nullptr) {
      const std::size_t length = std::strlen(out);
      const char* between = length > 1 ? "/" : "";
      if (length + 1 + std::strlen(name) < size) {
        std::snprintf(out + length, size - length, "%s%s", between, name);
        return true;
      }
    }
  }
  std::size_t used = 0;
  if (path[0] != '/') {
    if (getcwd(out, size) == nullptr) return false;
    used = std::strlen(out);
    out[used++] = '/';
  }
  const std::size_t length = std::strlen(path);
  if (used + length >= size) {
    errno = ENAMETOOLONG;
    return false;
  }
  std::memcpy(out + used, path, length + 1);
  return true;
}

bool MoveIntoPlace(const char* from, const char* to) {
  return std::rename(from, to) == 0;
}

bool PrepareStandardStreams() {
  for (int descriptor = 0; descriptor <= 2; ++descriptor) {
    if (fcntl(descriptor, F_GETFD) != -1) continue;
    // open returns the lowest free descriptor, which is this one.
    if (open("/dev/null", descriptor == 0 ? O_RDONLY : O_WRONLY) == -1) {
      return false;
    }
  }
  return true;
}

}  // namespace pelkaforge
