#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "platform/Platform.h"

namespace pelkaforge {

namespace {

HANDLE OsHandle(std::FILE* file) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
}

// Windows locks bytes, and a locked byte cannot be read by anyone else: a
// byte far past any image's end serves as the lock, so that another run can
// go on reading the image while this one holds it.
OVERLAPPED LockedByte() {
  OVERLAPPED where{};
  where.OffsetHigh = 0x7FFFFFFF;
  return where;
}

// The file's volume and index, from a handle opened for no access at all,
// whose sharing flags let it coexist with any other open.
bool FileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE file = CreateFileA(
      path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool known = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  return known;
}

}  // namespace

bool StatFile(const char* path, FileFacts& facts) {
  struct _stat64 status {};
  if (_stat64(path, &status) != 0) return false;
  facts.size = status.st_size;
  facts.is_regular = (status.st_mode & _S_IFMT) == _S_IFREG;
  return true;
}

bool NamesFolder(const char* path) {
  // After a drive's colon too: "C:" is that drive's current folder.
  const std::string_view whole = path;
  const std::size_t separator = whole.find_last_of("/\\:");
  const std::string_view last = separator == std::string_view::npos
                                    ? whole
                                    : std::string_view(path + separator + 1);
  return last.empty() || last == "." || last == "..";
}

bool IsLink(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool OpenFileSize(std::FILE* file, std::int64_t& size) {
  struct _stat64 status {};
  if (_fstat64(_fileno(file), &status) != 0) return false;
  size = status.st_size;
  return true;
}

bool SameFile(const char* first, const char* second) {
  BY_HANDLE_FILE_INFORMATION first_info;
  BY_HANDLE_FILE_INFORMATION second_info;
  return FileIdentity(first, first_info) && FileIdentity(second, second_info) &&
         first_info.dwVolumeSerialNumber == second_info.dwVolumeSerialNumber &&
         first_info.nFileIndexHigh == second_info.nFileIndexHigh &&
         first_info.nFileIndexLow == second_info.nFileIndexLow;
}

void AcquireFileLock(std::FILE* file) {
  OVERLAPPED where = LockedByte();
  LockFileEx(OsHandle(file), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &where);
}

void ReleaseFileLock(std::FILE* file) {
  OVERLAPPED where = LockedByte();
  UnlockFileEx(OsHandle(file), 0, 1, 0, &where);
}

std::FILE* CreateNewFile(const char* path) {
  // _O_EXCL refuses any existing name, a link included; _O_TEXT writes each
  // line break as CR LF, as the mode "w" does.
  const int descriptor =
      _open(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_TEXT | _O_NOINHERIT,
            _S_IREAD | _S_IWRITE);
  if (descriptor == -1) return nullptr;
  std::FILE* file = _fdopen(descriptor, "w");
  if (file == nullptr) {
    const int reason = errno;
    _close(descriptor);
    _unlink(path);
    errno = reason;
  }
  return file;
}

int CreateParentFolders(char* path) {
  int failure = 0;
  for (char* separator = path + 1; *separator != '\0'; ++separator) {
    if (*separator != '/' && *separator != '\\') continue;
    const char kept = *separator;
    *separator = '\0';
    // It may exist, or be a drive.
    if (_mkdir(path) != 0 && errno != EEXIST && errno != EACCES &&
        failure == 0) {
      failure = errno;
    }
    *separator = kept;
  }
  return failure;
}

bool AbsolutePath(const char* path, char* out, std::size_t size) {
  if (_fullpath(out, path, size) == nullptr) {
    errno = ENAMETOOLONG;
    return false;
  }
  for (char* c = out; *c != '\0'; ++c) {
    if (*c == '\\') *c = '/';
  }
  return true;
}

// The C library's rename cannot replace an existing file here.
bool MoveIntoPlace(const char* from, const char* to) {
  if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0) return true;
  const DWORD error = GetLastError();
  errno = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION
              ? EACCES
              : EIO;
  return false;
}

// The C runtime keeps descriptors 0 to 2 reserved even when the process was
// started without standard handles, so a new file never takes their place.
bool PrepareStandardStreams() {
  _setmode(_fileno(stderr), _O_BINARY);
  return true;
}

}  // namespace pelkaforge
