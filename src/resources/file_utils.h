// Path and text helpers shared by the loaders. Program paths use the
// backslash as their only separator; osPath() turns one into the operating
// system's form at the moment of a file-system call, and nothing else
// converts. Listings go through std::filesystem, never a shell.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Program path (backslashes) to operating-system path (slashes).
std::string osPath(const std::string& programPath);

// directory + "\" + name for every entry whose name contains one of the
// extensions (substring, case-sensitive), once per matching extension, in
// byte order of the names and extension order within one name.
std::vector<std::string> listDirectory(const std::vector<std::string>& extensions,
                                       const std::string& directory);

// Number of entries of the directory; 0 when it is missing or empty.
int32_t countDirectoryEntries(const std::string& directory);

// Text after the last backslash.
std::string fileNameOf(const std::string& path);

// Every backslash-separated piece without a "." followed by a backslash.
std::string directoryOf(const std::string& path);

// Pieces between delimiters; no empty piece after a final delimiter.
std::vector<std::string> splitString(const std::string& text, char delimiter);

// The whole content of a regular file named by an operating-system path.
// False (bytes left empty) when it is missing, a directory, or unreadable.
bool readFileBytes(const std::string& osFileName, std::vector<uint8_t>& bytes);
// Why readFileBytes refuses the file now, in words ("it is a folder, not a
// file", or the system's reason such as "No such file or directory").
std::string readFailureReason(const std::string& osFileName);

// Some editors begin a UTF-8 text with a byte-order mark (EF BB BF); text
// parsers skip it so the first line reads as written.
std::string withoutByteOrderMark(const std::string& text);

// Every byte written to the open file descriptor, or false with errno set
// (EIO when the system wrote nothing).
bool writeAllBytes(int fd, const std::vector<uint8_t>& bytes);

// Writes the bytes beside the file and renames them over it, so readers see
// the old content or the new, never a part; a failed write leaves the old
// file as it was. False with the reason in `error`.
bool writeFileAtomically(const std::string& osFileName, const std::vector<uint8_t>& bytes,
                         std::string& error);

// Modification time in seconds since 1970 (low 32 bits). On failure prints
// "Problem getting information" with the system's reason to standard error,
// a line naming the error to standard output, and returns 0.
int32_t fileModificationTime(const std::string& path);
