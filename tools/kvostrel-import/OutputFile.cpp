#include "OutputFile.h"

#include "ImportError.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The temporary file an interrupt (Ctrl+C, a closed terminal, kill) must remove. A
// fixed buffer, as the signal handler may only call async-signal-safe functions.
char pendingTemporary[4096];

void removePendingAndReraise(int signalNumber)
{
    if (pendingTemporary[0] != '\0') {
        unlink(pendingTemporary);
    }
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

std::string errnoText()
{
    return std::strerror(errno);
}

} // namespace

OutputFile::OutputFile(fs::path target)
    : m_target(std::move(target))
{
    std::error_code ec;
    if (fs::is_directory(m_target, ec)) {
        throw ImportError(m_target.string() + ": is a folder; give the path of the database file to write");
    }
    const fs::path folder = m_target.has_parent_path() ? m_target.parent_path() : fs::path(".");
    std::string pattern = (folder / ("." + m_target.filename().string() + ".tmp-XXXXXX")).string();
    if (pattern.size() >= sizeof pendingTemporary) {
        throw ImportError(m_target.string() + ": the path is too long");
    }
    m_fd = mkstemp(pattern.data());
    if (m_fd < 0) {
        throw ImportError(folder.string() + ": cannot create a file in the folder: " + errnoText());
    }
    m_temporary = pattern;
    std::memcpy(pendingTemporary, pattern.c_str(), pattern.size() + 1);
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        std::signal(signalNumber, removePendingAndReraise);
    }
    // mkstemp makes the file private to its owner; the database is for everyone to read.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(m_fd, 0666 & ~mask);
}

OutputFile::~OutputFile()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    if (!m_committed) {
        std::error_code ignored;
        fs::remove(m_temporary, ignored);
    }
    pendingTemporary[0] = '\0';
}

void OutputFile::commit()
{
    if (fsync(m_fd) != 0) {
        throw ImportError(m_temporary.string() + ": cannot write the file to disk: " + errnoText());
    }
    if (std::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        throw ImportError(m_target.string() + ": cannot replace the file: " + errnoText());
    }
    m_committed = true;
    pendingTemporary[0] = '\0';
}
