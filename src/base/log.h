// The program's one printf-style log: every message goes to the log file and
// to the console. Owns the log file name and the dump of the file on L.
#pragma once

#include <string>

// Relative to the working directory; the entry point deletes it at start so
// the file holds exactly one run.
extern std::string logFileName;

// Formats like printf and appends the text, exactly as formatted (no prefix,
// no line end added), to logFileName and to standard output. When the file
// cannot be opened (a read-only folder), the console says so in one line and
// the log goes to the console only for as long as the name stays the same.
// Safe to call from any thread.
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Creates the log file readable and writable by its owner only (0600), or
// narrows an existing one to that: the live mode's log holds the editor's
// secret token. Quietly does nothing where the file cannot be made (Log
// then says so on its first message).
void makeLogFilePrivate();

// Ends the log file's last line when it was left open (a shader's report
// ends its last line on the console only), so the next message starts at
// the beginning of a line in the file too. Nothing goes to the console.
void startLogFileLine();

// Prints "output log\n" and the whole log file to the console (not logged).
void DumpLog();

// The main loop's L key: dumps the log when L was pressed.
void DumpLogOnKey();
