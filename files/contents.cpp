// read and write: whole files to and from script strings, byte for byte.
//
// read hands the host the file's exact length, so zero bytes survive; a file
// that cannot be opened, sized, allocated or fully read is handed over as a
// null text of length 0. write answers 0 when the file cannot be opened, the
// text is not written whole, or closing (which flushes) fails.
#include "file_natives.h"
#include "path_argument.h"

#include <stdio.h>
#include <stdlib.h>

namespace {

struct WholeFile {
    char* bytes; // terminated; NULL when the file could not be read
    uint32_t length;
};

// One allocation and one read. Files too long for one script string are
// treated as unreadable.
WholeFile readWholeFile(const char* path)
{
    WholeFile file = {NULL, 0};
    FILE* stream = fopen(path, "rb");
    if (stream == NULL)
        return file;
    long long length = -1;
    if (_fseeki64(stream, 0, SEEK_END) == 0)
        length = _ftelli64(stream);
    // A script string's length has 32 bits, and the block needs one byte more.
    const long long longest = (long long)UINT32_MAX - 1;
    if (length >= 0 && length <= longest && _fseeki64(stream, 0, SEEK_SET) == 0) {
        char* bytes = (char*)malloc((size_t)length + 1);
        if (bytes != NULL && fread(bytes, 1, (size_t)length, stream) == (size_t)length) {
            bytes[length] = '\0';
            file.bytes = bytes;
            file.length = (uint32_t)length;
        } else {
            free(bytes);
        }
    }
    fclose(stream);
    return file;
}

// Writes all of `text` and closes; an empty text only creates, empties or
// (appending) leaves the file.
bool writeWholeText(const char* path, const char* mode, const char* text, uint32_t length)
{
    FILE* stream = fopen(path, mode);
    if (stream == NULL)
        return false;
    bool written = length == 0 || fwrite(text, length, 1, stream) == 1;
    // Bytes still buffered reach the disk here; their failure counts too.
    bool flushed = fflush(stream) == 0;
    bool closed = fclose(stream) == 0;
    return written && flushed && closed;
}

} // namespace

QV_NATIVE(nativeRead)
{
    char path[kPathSize];
    if (argc < 1 || !fetchPathArgument(context, argv[0], path))
        return kRefused;
    if (hostServices.valueFromText == NULL)
        return kRefused;
    WholeFile file = readWholeFile(path);
    int32_t answered = returnText(context, file.bytes, file.length, result);
    free(file.bytes);
    return answered;
}

QV_NATIVE(nativeWrite)
{
    const char* mode = argc == 2 ? "wb" : argc == 3 ? "ab" : NULL;
    char path[kPathSize];
    if (mode == NULL || !fetchPathArgument(context, argv[0], path))
        return kRefused;
    uint32_t length = 0;
    const char* text = hostServices.textFromValue(context, argv[1], &length);
    if (text == NULL)
        return kRefused;
    return returnPredicate(result, writeWholeText(path, mode, text, length));
}
