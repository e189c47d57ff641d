#pragma once

#include <string>
#include <sys/stat.h>

// What a file that is no regular file is, as messages name it ("is a FIFO (named pipe)").
inline std::string kindOfFile(mode_t mode)
{
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO (named pipe)";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return "no regular file";
}
