// What the rest of the tool needs from the operating system beyond the
// console-system interfaces of windows_api.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/windows_api.h"

// Put between a folder and a key file name when the two are joined.
extern const char kPathSeparator[];

// The tool's wide-character entry point (cli/wmain.cpp), which the system's
// start-up calls with the arguments as wide strings; its result is the
// process's exit code.
int wmain(int argc, wchar_t* argv[]);

// The length of a stream that can be sized by seeking, which is left at its
// start again; -1 when it cannot be sized (a pipe, a terminal). A 64-bit count
// everywhere, so that files of 2 GiB and more are sized on every system.
long long SeekableLength(std::FILE* file);

// What a path names, as opening it would find it (links are followed).
enum class FileKind {
  Missing,  // nothing there, or nothing that can be looked at
  Regular,  // a file on disk
  Directory,
  Stream,  // read to its end: a pipe or FIFO, the null device, the
           // process's own standard input or console
  Device,  // any other device (serial ports, printers, /dev/zero...):
           // reading one may never end
};
FileKind KindOfPath(const std::string& path);

// Whether two paths name one and the same file on disk, whatever their
// spelling: hard links, "./" and links included. False when either is not a
// regular file.
bool SameFile(const std::string& first, const std::string& second);

// The system calls of the all-or-nothing writer (common/file_writer.h).
// A file the writer has created and holds open; kNoFile when there is none.
using OsFile = std::intptr_t;
constexpr OsFile kNoFile = -1;

// Whether the writer may put a new file in the place of this one: a missing
// name, or a symbolic link (replaced, never followed), or a regular file the
// user may write and, for key material, owns. Folders, devices and FIFOs are
// never replaced.
bool MayReplace(const std::string& path, bool keyMaterial);

// A path in the same folder as `path`, with the file name `name` instead.
std::string PathBeside(const std::string& path, const std::string& name);

// The folder that `path` names its file in, as it is written there (the text
// before the last separator; a root keeps its separator); empty when the path
// names none, which means the current folder.
std::string FolderOf(const std::string& path);

// Whether a user other than the process's own (the system's administrator
// aside) may put, rename or remove files in the folder, and so swap a file the
// program writes there for one of theirs: on POSIX a folder owned by another
// user, or one others may write without the sticky bit (a group that is not
// the process's own counts as others); on Windows one whose access list lets
// everyone, or every user, change its entries. False when the folder cannot
// be looked at: writing there reports that.
bool FolderOpenToOthers(const std::string& folder);

// Creates the file exclusively (never through a link, never over anything
// already there): for key material readable and writable by its owner alone
// from the first moment, else with the system's usual permissions.
OsFile CreateNewFile(const std::string& path, bool keyMaterial);

// Writes every byte; in text mode on a system whose text files end their
// lines in CR LF, each LF is written as CR LF. False when any write fails.
bool WriteAllTo(OsFile file, const std::string& bytes, bool textMode);

// Flushes the file to the disk and closes it; false when either fails (it is
// closed all the same).
bool FlushAndClose(OsFile file);

// Moves `from` over `to` in one step, then asks the folder to keep the new
// name on the disk where it lets itself be asked: the move done, the file is
// written, however that last request ends.
bool MoveOver(const std::string& from, const std::string& to);

// MoveOver for a name that must be free: never replaces anything found at
// `to` (a file, a link, even a dangling one), however it came there, and
// fails instead.
bool MoveToFreeName(const std::string& from, const std::string& to);

// Whether something has this name: a file, a folder, a link (even one that
// leads nowhere).
bool NameTaken(const std::string& path);

void RemoveFile(const std::string& path);

// Whether the run was started with its standard output closed. On POSIX it
// has been opened onto /dev/null since (OpenStandardDescriptors), so that no
// file of the tool's takes its place; nothing printed reaches anyone.
bool StandardOutputWasClosed();

// Readies OpenSSL before the first command: no configuration, engine or
// provider from the folders compiled into the library; then the
// configuration that OPENSSL_CONF names, if any (it may add engines or
// providers, GOST's among them). GOST itself is set up later, only for a
// command that needs it. False when that configuration cannot be loaded,
// after one line on standard error naming it. Done once per process; a later
// call gives the same answer.
bool PrepareOpenSsl();

// Overwrites the argument at this position, letter for letter with 'x', where
// the system shows the command line to other processes (process lists,
// /proc/PID/cmdline), so that a password given there is no longer on show.
// Every other argument, and the copies the program has already made of the
// arguments, stay as they are.
void HideArgumentFromOtherProcesses(int index);

// For a run that holds private keys or passwords: a crash writes no memory
// dump, and other processes cannot read the process's memory.
void KeepMemoryPrivate();

// How many processors this process may run on: those of its affinity mask
// (a run pinned to one has one), not all the machine's, and on Linux no more
// than its cgroups' processor-time quotas (cpu.max) allow. At least 1.
int UsableProcessorCount();
