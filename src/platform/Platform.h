#ifndef PELKAFORGE_PLATFORM_PLATFORM_H_
#define PELKAFORGE_PLATFORM_PLATFORM_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Everything that differs between POSIX systems and Windows lives behind
// these functions, one source file a system; the rest of the tool uses only
// the C library's streams. None of them reports a failure itself: each says
// whether it worked, with errno set where the caller reports it.
namespace pelkaforge {

// What the tool needs to know about a path before opening it.
struct FileFacts {
  std::int64_t size;
  bool is_regular;
};

// Whether path names a folder by its spelling alone, whatever exists: its
// last part is empty (it ends in a separator), "." or "..".
bool NamesFolder(const char* path);

// Whether path is itself a symbolic link (or, on Windows, another reparse
// point), wherever it leads.
bool IsLink(const char* path);

// Calls stat (its 64-bit form, so that sizes beyond 2 GiB are seen as they
// are) on the path. Returns false, with errno set, when stat fails.
bool StatFile(const char* path, FileFacts& facts);

// The size of an open file. Returns false, with errno set, on failure.
bool OpenFileSize(std::FILE* file, std::int64_t& size);

// Whether the two paths name one file, under any names or links: the same
// device and file number. False when either cannot be examined (the second
// does not exist yet, say).
bool SameFile(const char* first, const char* second);

// Waits for an exclusive lock on the open file, which every run of the tool
// takes before it pads that file, and holds it until ReleaseFileLock or the
// file's close. Where the file system offers no locking (some network file
// systems) it returns without one, and the caller goes on as when alone.
void AcquireFileLock(std::FILE* file);
void ReleaseFileLock(std::FILE* file);

// Creates a new file at path and opens it for text writing. Fails, with
// errno EEXIST, when anything of that name exists already, a file or a link
// (even one that leads nowhere): nothing is ever written through a file or
// link that another put there.
std::FILE* CreateNewFile(const char* path);

// Creates the folders above path that do not exist yet, as far as it can.
// Returns 0, or the errno of the first folder it could not create, which
// says why the file cannot be created there. Path is changed while it
// works and left as it was.
int CreateParentFolders(char* path);

// Writes the absolute path to path into out (size bytes), with '/' between
// folders: the path of its folder as the system resolves it (links
// followed) where that folder exists, else the current folder's path
// before a relative one. Returns false, with errno set, when it cannot be
// known or does not fit.
bool AbsolutePath(const char* path, char* out, std::size_t size);

// Renames the file from to to, replacing any file of that name at once.
// Returns false, with errno set, on failure.
bool MoveIntoPlace(const char* from, const char* to);

// Readies the standard streams before any file is opened. Descriptors 0, 1
// and 2 are made sure to be open, so that neither the image nor the output
// can be handed descriptor 2 and receive a message meant for the error
// stream; returns false, with errno set, when /dev/null cannot be opened in
// the place of a closed one. On Windows the error stream is switched to
// binary mode, so that messages are the same bytes there as elsewhere (no CR
// before each LF).
bool PrepareStandardStreams();

}  // namespace pelkaforge

#endif  // PELKAFORGE_PLATFORM_PLATFORM_H_
