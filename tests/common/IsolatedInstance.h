#pragma once

#include <QByteArray>

#include <unistd.h>

// Copies of the program that a test starts (in this process or as child processes)
// hold a single-instance name of this test process's own, so a copy the user has
// open neither stops them nor is disturbed by them.
inline void isolateFromRunningCopies()
{
    qputenv("TORVANELQUIST_INSTANCE_KEY", QByteArray("torvanelquist-test-") + QByteArray::number(::getpid()));
}
