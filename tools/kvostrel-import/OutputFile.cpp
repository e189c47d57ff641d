#include "OutputFile.h"

#include "FileKind.h"
#include "ImportError.h"

#include "common/FileDescriptor.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Every signal whose default is to end the process and that is sent or raised on
// purpose: an interrupt, a closed terminal or pipe, kill, a limit reached, abort().
// (The signals of a fault in the program itself are left alone; the next run removes
// what such a crash leaves, as it does after SIGKILL.)
constexpr int cleanedUpSignals[]
    = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ, SIGABRT};
static_assert(std::size(cleanedUpSignals) == OutputFile::cleanedUpSignalCount);

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

// How long a temporary file on a file system without locks must lie untouched before
// a later run takes it for a leftover; an import writes its file within seconds.
constexpr std::time_t leftoverAge = 60 * 60;

bool isTemporaryName(const std::string &name, const std::string &prefix)
{
    // mkstemp's six characters are letters and digits.
    return name.size() == prefix.size() + 6 && name.starts_with(prefix)
        && std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       [](unsigned char c) { return std::isalnum(c) != 0; });
}

// What the names of the temporary files written for `target` begin with: ".name.tmp-".
// Appended piece by piece: GCC 12 takes "." + name, inlined at -O3, for a copy that
// may overlap (-Wrestrict, a false positive).
std::string temporaryPrefix(const fs::path &target)
{
    std::string prefix(".");
    prefix.append(target.filename().string()).append(".tmp-");
    return prefix;
}

// Removes the temporary files that earlier runs writing `target` left in its folder
// (killed with SIGKILL, a crash, a power cut). A run holds a lock on its file while it
// lives, so a file nobody holds is a leftover; where the file system has no locks, a
// file untouched for an hour is. Files of other users are left to them (root's run
// removes any, as its files may carry the database owner's name).
void removeLeftovers(const fs::path &folder, const fs::path &target)
{
    const std::string prefix = temporaryPrefix(target);
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path path = it->path();
        if (!isTemporaryName(path.filename().string(), prefix)) {
            continue;
        }
        const Common::FileDescriptor fd(
            ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat file = {};
        if (fd.get() < 0 || fstat(fd.get(), &file) != 0 || !S_ISREG(file.st_mode)
            || (geteuid() != 0 && file.st_uid != geteuid())) {
            continue;
        }
        const bool unheld = flock(fd.get(), LOCK_EX | LOCK_NB) == 0;
        const bool noLocks = !unheld && errno != EWOULDBLOCK;
        if (!unheld && !(noLocks && std::time(nullptr) - file.st_mtime > leftoverAge)) {
            continue; // an import is writing it now
        }
        struct stat named = {};
        if (::lstat(path.c_str(), &named) == 0 && named.st_dev == file.st_dev && named.st_ino == file.st_ino) {
            ::unlink(path.c_str());
        }
    }
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
    const std::string pattern = (folder / (temporaryPrefix(m_target) + "XXXXXX")).string();
    if (pattern.size() >= sizeof pendingTemporary) {
        throw ImportError(m_target.string() + ": the path is too long");
    }
    removeLeftovers(folder, m_target);
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
    // The lock tells later runs that this file is no leftover. Another run that took it
    // for one in the instant between its creation and the lock has removed it: then
    // the file is made again.
    for (int attempt = 1;; ++attempt) {
        m_fd = mkostemp(pendingTemporary, O_CLOEXEC);
        if (m_fd < 0) {
            const std::string reason = errnoText();
            pendingTemporary[0] = '\0';
            restoreSignalHandling();
            throw ImportError(folder.string() + ": cannot create a file in the folder: " + reason);
        }
        const bool locked = flock(m_fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
        struct stat mine = {};
        struct stat named = {};
        if (locked && fstat(m_fd, &mine) == 0 && ::lstat(pendingTemporary, &named) == 0 && mine.st_dev == named.st_dev
            && mine.st_ino == named.st_ino) {
            break;
        }
        ::close(m_fd);
        m_fd = -1;
        if (attempt == 3) {
            pendingTemporary[0] = '\0';
            restoreSignalHandling();
            throw ImportError(folder.string() + ": cannot keep a file in the folder: another program removes it");
        }
        std::memcpy(pendingTemporary, pattern.c_str(), pattern.size() + 1);
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
