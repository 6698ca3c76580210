#pragma once
// Every list file of the system is read and written here. Reading accepts CR LF, a lone CR or a
// lone LF as a line end; a 0x00 byte ends the text. Writing ends every line with CR LF and goes
// through a temporary file beside the target, renamed into place, so a failed or interrupted save
// leaves the old file whole.
#include <functional>
#include <string>
#include <vector>

// Splits text into lines; a line break at the very end adds no empty line; a NUL ends the text.
std::vector<std::string> SplitTextLines(const std::string &text);

// Reads the whole file. Returns false (and leaves `content` alone) when no file exists at the path
// (a folder there counts as no file); throws EFOpenError when it exists but cannot be read.
bool ReadWholeFile(const std::string &path, std::string &content);

// ReadWholeFile + SplitTextLines.
bool ReadTextLines(const std::string &path, std::vector<std::string> &lines);

// Replaces the file at `path` by `content` atomically; throws EFCreateError naming `path` when
// the new content cannot be written completely, and the old file is then unchanged.
void WriteFileAtomic(const std::string &path, const std::string &content);

// A file's text in pieces: each call puts the next piece into `piece` (handed over empty) and
// returns false once nothing is left. A large list is then written without ever being held
// whole as text, which would take several times its own memory, fresh on every save.
using TextPieces = std::function<bool(std::string &piece)>;
// `text` as a single piece.
TextPieces WholeText(std::string text);
void WriteFileAtomic(const std::string &path, const TextPieces &pieces);

// Adds `content` to the end of the file, creating it when missing; throws EFCreateError. Not
// atomic: for files whose every change is also rewritten whole now and then.
void AppendFile(const std::string &path, const std::string &content);
// Pieces that hold no text at all make no file.
void AppendFile(const std::string &path, const TextPieces &pieces);

// Each line followed by CR LF, written with WriteFileAtomic.
void WriteTextLines(const std::string &path, const std::vector<std::string> &lines);

bool FileExists(const std::string &path);
