#include "OutputFile.h"

#include "FileKind.h"
#include "ImportError.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int cleanedUpSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The temporary file an interrupt (Ctrl+C, a closed terminal, kill) must remove. A
// fixed buffer, as the signal handler may only call async-signal-safe functions.
char pendingTemporary[4096];

// Installed with SA_RESETHAND, so the raise ends the process as the signal would have.
void removePendingAndReraise(int signalNumber)
{
    if (pendingTemporary[0] != '\0') {
        unlink(pendingTemporary);
    }
    raise(signalNumber);
}

std::string errnoText()
{
    return std::strerror(errno);
}

} // namespace

fs::path finalLinkTarget(const fs::path &path)
{
    fs::path current = path;
    // The limit Linux itself puts on a chain of links.
    for (int hops = 0; hops <= 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(current, ec))) {
            return current;
        }
        const fs::path next = fs::read_symlink(current, ec);
        if (ec) {
            throw ImportError(current.string() + ": cannot read the symbolic link: " + ec.message());
        }
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    throw ImportError(path.string() + ": too many levels of symbolic links (a loop?)");
}

namespace {

// Refuses a target (links already followed) that exists and is no regular file.
void checkTarget(const fs::path &output, const fs::path &target)
{
    struct stat file = {};
    if (::lstat(target.c_str(), &file) != 0 || S_ISREG(file.st_mode)) {
        return; // nothing there yet, or a file the database may replace
    }
    throw ImportError(output.string() + (output == target ? "" : " (through its links, " + target.string() + ")")
                      + ": is " + kindOfFile(file.st_mode)
                      + ", not a database file; give the path of the database file to write");
}

} // namespace

void checkOutputIsAFile(const fs::path &output)
{
    checkTarget(output, finalLinkTarget(output));
}

OutputFile::OutputFile(fs::path target)
    : m_output(std::move(target)),
      m_target(finalLinkTarget(m_output))
{
    checkTarget(m_output, m_target);
    const fs::path folder = m_target.has_parent_path() ? m_target.parent_path() : fs::path(".");
    const std::string pattern = (folder / ("." + m_target.filename().string() + ".tmp-XXXXXX")).string();
    if (pattern.size() >= sizeof pendingTemporary) {
        throw ImportError(m_target.string() + ": the path is too long");
    }
    // The handlers are in place, and the name in their buffer, before the file exists,
    // so no interrupt can leave it behind. A signal that was ignored when the import
    // started (nohup) stays ignored, and one with a handler of its own keeps it.
    std::memcpy(pendingTemporary, pattern.c_str(), pattern.size() + 1);
    for (std::size_t i = 0; i < std::size(cleanedUpSignals); ++i) {
        if (sigaction(cleanedUpSignals[i], nullptr, &m_previous[i]) != 0 || m_previous[i].sa_handler != SIG_DFL
            || (m_previous[i].sa_flags & SA_SIGINFO) != 0) {
            continue;
        }
        struct sigaction cleanUp = {};
        cleanUp.sa_handler = removePendingAndReraise;
        cleanUp.sa_flags = SA_RESETHAND;
        sigemptyset(&cleanUp.sa_mask);
        m_handled[i] = sigaction(cleanedUpSignals[i], &cleanUp, nullptr) == 0;
    }
    m_fd = mkstemp(pendingTemporary);
    if (m_fd < 0) {
        const std::string reason = errnoText();
        pendingTemporary[0] = '\0';
        restoreSignalHandling();
        throw ImportError(folder.string() + ": cannot create a file in the folder: " + reason);
    }
    m_temporary = pendingTemporary;
    // mkstemp makes the file private to its owner. A database that is replaced keeps its
    // permissions (and, run by root, its owner), so a refresh by an administrator leaves
    // it as readable as it was whatever the umask; a new one is for everyone to read.
    struct stat previous = {};
    if (::stat(m_target.c_str(), &previous) == 0 && S_ISREG(previous.st_mode)) {
        fchmod(m_fd, previous.st_mode & 07777);
        if (geteuid() == 0 && fchown(m_fd, previous.st_uid, previous.st_gid) != 0) {
            // The new file stays root's; its permissions still follow the old file's.
        }
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(m_fd, 0666 & ~mask);
    }
}

OutputFile::~OutputFile()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    if (!m_committed && !m_temporary.empty()) {
        std::error_code ignored;
        fs::remove(m_temporary, ignored);
    }
    pendingTemporary[0] = '\0';
    restoreSignalHandling();
}

void OutputFile::restoreSignalHandling()
{
    for (std::size_t i = 0; i < std::size(cleanedUpSignals); ++i) {
        if (m_handled[i]) {
            sigaction(cleanedUpSignals[i], &m_previous[i], nullptr);
            m_handled[i] = false;
        }
    }
}

void OutputFile::commit()
{
    if (fsync(m_fd) != 0) {
        throw ImportError(m_temporary.string() + ": cannot write the file to disk: " + errnoText());
    }
    // Once more at the last moment: rename() would replace a FIFO or device as readily.
    checkTarget(m_output, m_target);
    if (std::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        throw ImportError(m_target.string() + ": cannot replace the file: " + errnoText());
    }
    m_committed = true;
    pendingTemporary[0] = '\0';
}
