// Writing to the standard streams: characters to a console, UTF-8 to files
// and pipes.
#ifndef QVHOST_STANDARD_STREAMS_H
#define QVHOST_STANDARD_STREAMS_H

#include <stdio.h>
#include <windows.h>

#include <string>

// Whether `handle` is a console.
bool isConsole(HANDLE handle);

// Writes engine text to a standard stream: UTF-16 to a console, UTF-8 to
// anything else. Returns false, with the reason in `problem` when given,
// when the text is too large to convert or the stream does not take it all.
bool writeText(FILE* stream, const char* text, size_t length, std::string* problem = NULL);
bool writeText(FILE* stream, const std::string& text, std::string* problem = NULL);

#endif
