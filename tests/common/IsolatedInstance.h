#pragma once

#include <QString>

#include <unistd.h>

// Copies of the program that a test starts (in this process or as child processes)
// hold a single-instance name of this test process's own, so a copy the user has
// open neither stops them nor is disturbed by them. Child processes get it with the
// program's option --instance-key.
inline QString isolatedInstanceKey()
{
    return QStringLiteral("torvanelquist-test-%1").arg(::getpid());
}

inline QString isolatedInstanceOption()
{
    return QStringLiteral("--instance-key=") + isolatedInstanceKey();
}
