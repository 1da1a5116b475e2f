#pragma once
// The archive file as the ZIP reader reads it: positioned reads through a read-ahead
// buffer of fixed size, so the reader's seek before every refill costs no system call and
// its small reads of headers and 16 KiB reads of data come from few large ones.

#include <ioapi.h>

// File functions for unzOpen2_64 whose "path" is a pointer to a descriptor open for reading:
// each open reads through a duplicate of it, by position, so the handles of several threads
// may share one file, and the file is the one the descriptor holds, whatever its path is now.
zlib_filefunc64_def ZipFileSourceFunctions();
