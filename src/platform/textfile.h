#pragma once
// Every list file of the system is read and written here. Reading accepts CR LF, a lone CR or a
// lone LF as a line end. Only regular files are read, whole or not at all, and never past a size
// limit: a FIFO or a device in the app folder would otherwise hold the start for ever or feed it
// until memory runs out. Writing ends every line with CR LF and goes through a temporary file
// beside the target, renamed into place, so a failed or interrupted save leaves the old file whole.
#include <functional>
#include <string>
#include <vector>

// Far above any list file the program writes; the received list has a limit of its own.
constexpr size_t kListFileLimit = size_t{16} * 1024 * 1024;

// Splits text into lines; a line break at the very end adds no empty line. A line holding a 0x00
// byte is no text line: it comes back empty, in its place, and its index goes to `failed`.
std::vector<std::string> SplitTextLines(const std::string &text, std::vector<size_t> *failed = nullptr);

// Reads the whole file. Returns false (and leaves `content` alone) when nothing exists at the
// path; throws EFOpenError naming the file when something is there that cannot be read whole: a
// folder, FIFO, device or socket, a file larger than `limit`, or one the user may not read.
bool ReadWholeFile(const std::string &path, std::string &content, size_t limit = kListFileLimit);

// ReadWholeFile + SplitTextLines. `failed`, when given, receives the lines that were no text.
bool ReadTextLines(const std::string &path, std::vector<std::string> &lines,
                   std::vector<size_t> *failed = nullptr);

// Moves a file that could not be read whole out of the way of the next save, to
// "<path>.unreadable-<YYYYMMDD-HHMMSS>" beside it, and returns that name; "" when nothing could
// be moved (nothing there, or not a regular file, which no save replaces anyway).
std::string KeepAside(const std::string &path);

// Renames `from` to `to` only if nothing is at `to` yet: 0, or the errno (EEXIST when something
// is). File systems without the atomic rename get a hard link and an unlink, which is as safe
// against a file appearing there.
int MoveNoReplace(const std::string &from, const std::string &to);

// Why the path may not be read or replaced as a file of the user's: "" when nothing is there, or a
// regular file, or a link to a regular file the user owns; else what is there instead.
std::string WhyNotOwnFile(const std::string &path);

// Replaces the file at `path` by `content` atomically; throws EFCreateError naming `path` when
// the new content cannot be written completely, and the old file is then unchanged. Only a
// regular file is replaced; a link is written through to its target when that is a regular file
// of the user's own, and is otherwise refused, never replaced. A new file gets mode 0644 (less
// the umask), a replaced one keeps its permissions.
void WriteFileAtomic(const std::string &path, const std::string &content);

// A file's text in pieces: each call puts the next piece into `piece` (handed over empty) and
// returns false once nothing is left. A large list is then written without ever being held
// whole as text, which would take several times its own memory, fresh on every save.
using TextPieces = std::function<bool(std::string &piece)>;
// `text` as a single piece.
TextPieces WholeText(std::string text);
void WriteFileAtomic(const std::string &path, const TextPieces &pieces);

// Adds `content` to the end of the file, creating it when missing; throws EFCreateError, also
// for anything there that is not a regular file. Not atomic: for files whose every change is also rewritten
// whole now and then.
void AppendFile(const std::string &path, const std::string &content);
// Pieces that hold no text at all make no file.
void AppendFile(const std::string &path, const TextPieces &pieces);

// Each line followed by CR LF, written with WriteFileAtomic.
void WriteTextLines(const std::string &path, const std::vector<std::string> &lines);

bool FileExists(const std::string &path);
