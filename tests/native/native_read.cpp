// The benchmark's native Linux read: reads FILE whole into fresh memory, as
// the library's read does (open, size, one block of the length plus one, read,
// close), and writes the seconds it took to RESULT. The text goes to
// RESULT.part first and is renamed, so RESULT appears whole or not at all:
// Wine runs this program for the benchmark but gives it no process to wait on.
//   qvfile_native_read FILE RESULT
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <string>

namespace {

double seconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec * 1e-9;
}

// The file's bytes read whole into a fresh block, or false.
bool readWhole(const char* path)
{
    int file = open(path, O_RDONLY);
    if (file < 0)
        return false;
    struct stat status;
    bool whole = false;
    if (fstat(file, &status) == 0) {
        size_t length = (size_t)status.st_size;
        char* bytes = (char*)malloc(length + 1);
        size_t done = 0;
        while (bytes != NULL && done < length) {
            ssize_t got = read(file, bytes + done, length - done);
            if (got <= 0)
                break;
            done += (size_t)got;
        }
        whole = bytes != NULL && done == length;
        if (whole)
            bytes[length] = '\0';
        free(bytes);
    }
    close(file);
    return whole;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        return fprintf(stderr, "usage: qvfile_native_read FILE RESULT\n"), 2;
    double start = seconds();
    bool whole = readWhole(argv[1]);
    double taken = seconds() - start;
    std::string part = std::string(argv[2]) + ".part";
    FILE* result = fopen(part.c_str(), "w");
    if (result == NULL)
        return 1;
    // A read that failed reports a negative time.
    fprintf(result, "%.9f\n", whole ? taken : -1.0);
    if (fclose(result) != 0 || rename(part.c_str(), argv[2]) != 0)
        return 1;
    return whole ? 0 : 1;
}
