#pragma once
// The archive file as the ZIP reader reads it: positioned reads through a read-ahead
// buffer of fixed size, so the reader's seek before every refill costs no system call and
// its small reads of headers and 16 KiB reads of data come from few large ones.

#include <ioapi.h>

// File functions for unzOpen2_64 that open the named file for reading only.
zlib_filefunc64_def ZipFileSourceFunctions();
