#include "jet/JetFile.h"

#include "common/FileDescriptor.h"

#include <array>
#include <cmath>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace Jet {

namespace {

using Common::FileDescriptor;

constexpr std::size_t scrambledStart = 0x18;
constexpr std::size_t passwordOffset = 0x42;
constexpr std::size_t creationDateOffset = 0x72;

// RC4 with the key every Jet file uses for its header page.
std::string unscrambledHeader(std::string_view page, std::size_t length)
{
    static constexpr std::array<unsigned char, 4> key = {0xc7, 0xda, 0x39, 0x6b};
    std::array<unsigned char, 256> state;
    for (std::size_t i = 0; i < state.size(); ++i) {
        state[i] = static_cast<unsigned char>(i);
    }
    for (std::size_t i = 0, j = 0; i < state.size(); ++i) {
        j = (j + state[i] + key[i % key.size()]) & 0xff;
        std::swap(state[i], state[j]);
    }
    std::string clear(page.substr(scrambledStart, length));
    for (std::size_t n = 0, i = 0, j = 0; n < clear.size(); ++n) {
        i = (i + 1) & 0xff;
        j = (j + state[i]) & 0xff;
        std::swap(state[i], state[j]);
        clear[n] = static_cast<char>(static_cast<unsigned char>(clear[n]) ^ state[(state[i] + state[j]) & 0xff]);
    }
    return clear;
}

std::size_t pageSize(FileKind kind)
{
    return kind == FileKind::Jet3 ? 2048 : 4096;
}

ReadError damaged(const std::string &why)
{
    return ReadError(ReadError::Kind::Damaged, why);
}

// Checks what the header tells before the reader runs: the kind and a whole number of
// pages. Returns what the header says of a password, which counts once the reader has
// read the file.
PasswordField checkHeader(const std::string &path)
{
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info = {};
    if (file.get() < 0 || fstat(file.get(), &info) != 0) {
        throw damaged(std::string("it cannot be read: ") + std::strerror(errno));
    }
    std::string page(4096, '\0');
    std::size_t have = 0;
    while (have < page.size()) {
        const ssize_t got = ::read(file.get(), page.data() + have, page.size() - have);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        have += static_cast<std::size_t>(got);
    }
    page.resize(have);
    const FileKind kind = fileKind(page);
    if (kind == FileKind::Sqlite || kind == FileKind::Other) {
        throw ReadError(ReadError::Kind::NotJet, "it is no Access database");
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
    const std::size_t pageBytes = pageSize(kind);
    if (size < pageBytes) {
        throw damaged("it ends inside its header");
    }
    if (size % pageBytes != 0) {
        throw damaged("it holds " + std::to_string(size) + " bytes, not a whole number of its "
                      + std::to_string(pageBytes) + "-byte pages, as if cut off while it was copied");
    }
    return passwordField(page, kind);
}

// Ends the child (at once, or when it has not ended by `deadline`) and collects its
// exit status.
int endChild(pid_t pid, bool kill, std::chrono::steady_clock::time_point deadline = {})
{
    int status = 0;
    if (!kill) {
        for (;;) {
            const pid_t done = waitpid(pid, &status, WNOHANG);
            if (done == pid || (done < 0 && errno != EINTR)) {
                return status;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                break;
            }
            usleep(2000);
        }
    }
    ::kill(pid, SIGKILL);
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    return status;
}

} // namespace

FileKind fileKind(std::string_view head)
{
    if (head.starts_with(std::string_view("SQLite format 3\0", 16))) {
        return FileKind::Sqlite;
    }
    if (head.size() < 0x18 || head.substr(0, 4) != std::string_view("\0\1\0\0", 4)) {
        return FileKind::Other;
    }
    // The signature's closing NUL is not looked at: a file damaged there is still named
    // an Access file, and the reader then says what is wrong with it.
    const std::string_view signature = head.substr(4, 15);
    const auto version = static_cast<unsigned char>(head[0x14]);
    if (signature == "Standard Jet DB") {
        return version == 0 ? FileKind::Jet3 : version == 1 ? FileKind::Jet4 : FileKind::Ace;
    }
    if (signature == "Standard ACE DB") {
        return FileKind::Ace;
    }
    return FileKind::Other;
}

const char *kindName(FileKind kind)
{
    switch (kind) {
    case FileKind::Sqlite:
        return "SQLite";
    case FileKind::Jet3:
        return "Jet 3";
    case FileKind::Jet4:
        return "Jet 4";
    case FileKind::Ace:
        return "ACE";
    case FileKind::Other:
        break;
    }
    return "other";
}

PasswordField passwordField(std::string_view headerPage, FileKind kind)
{
    const bool jet3 = kind == FileKind::Jet3;
    const std::size_t scrambledLength = jet3 ? 126 : 128;
    if (headerPage.size() < scrambledStart + scrambledLength) {
        return PasswordField::None;
    }
    const std::string clear = unscrambledHeader(headerPage, scrambledLength);
    const auto at = [&clear](std::size_t offset) { return static_cast<unsigned char>(clear[offset - scrambledStart]); };
    std::array<unsigned char, 4> mask = {};
    if (!jet3) {
        double created = 0;
        std::array<unsigned char, 8> bytes;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = at(creationDateOffset + i);
        }
        std::memcpy(&created, bytes.data(), sizeof created);
        // Days since 30 December 1899; Access dates run from the year 100 to 9999.
        if (!std::isfinite(created) || created < -657434.0 || created > 2958465.0) {
            return PasswordField::Damaged;
        }
        const auto days = static_cast<std::uint32_t>(static_cast<std::int32_t>(created));
        for (std::size_t i = 0; i < mask.size(); ++i) {
            mask[i] = static_cast<unsigned char>(days >> (8 * i));
        }
    }
    // A password is text (up to 20 characters: bytes in Jet 3, UTF-16 units later)
    // followed by zeros; scrambled garbage in a damaged header is no password.
    const std::size_t unit = jet3 ? 1 : 2;
    const std::size_t length = 20 * unit;
    std::size_t characters = 0;
    bool ended = false;
    bool repeatsTheMask = !jet3;
    for (std::size_t i = 0; i < length; i += unit) {
        unsigned value = 0;
        for (std::size_t b = 0; b < unit; ++b) {
            const unsigned char clear = at(passwordOffset + i + b) ^ mask[(i + b) % 4];
            value |= static_cast<unsigned>(clear) << (8 * b);
            repeatsTheMask = repeatsTheMask && clear == (at(passwordOffset + (i + b) % 4) ^ mask[(i + b) % 4]);
        }
        if (value == 0) {
            ended = true;
        } else if (ended || value < 0x20) {
            return PasswordField::None;
        } else {
            ++characters;
        }
    }
    // An empty field unmasked with the days of another date is that date's mask against
    // the right one, over and over: twenty characters in a pattern of two.
    if (characters == 20 && repeatsTheMask) {
        return PasswordField::Damaged;
    }
    return characters > 0 ? PasswordField::Password : PasswordField::None;
}

void readFile(const std::string &reader, const std::string &path, const std::vector<std::string> &tables,
              StreamSink &sink, const ReadLimits &limits)
{
    const PasswordField password = checkHeader(path);
    struct stat info = {};
    stat(path.c_str(), &info);
    const std::uint64_t maxBytes
        = static_cast<std::uint64_t>(info.st_size) * limits.streamPerFileByte + limits.streamExtra;

    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        throw ReadError(ReadError::Kind::ReaderMissing, reader + " cannot be started: " + std::strerror(errno));
    }
    FileDescriptor readEnd(pipeEnds[0]);
    FileDescriptor writeEnd(pipeEnds[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDOUT_FILENO);
    // The Jet library's warnings are no message for the user.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char *> arguments{const_cast<char *>(reader.c_str()), const_cast<char *>(path.c_str())};
    for (const std::string &table : tables) {
        arguments.push_back(const_cast<char *>(table.c_str()));
    }
    arguments.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, reader.c_str(), &actions, nullptr, arguments.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        throw ReadError(ReadError::Kind::ReaderMissing, reader + " cannot be started: " + std::strerror(spawned));
    }
    writeEnd.reset();

    StreamParser parser(sink);
    const auto deadline = std::chrono::steady_clock::now() + limits.time;
    std::string buffer(256 * 1024, '\0');
    std::uint64_t total = 0;
    try {
        for (;;) {
            const auto left
                = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                throw damaged("reading it took longer than " + std::to_string(limits.time.count() / 1000) + " s");
            }
            pollfd ready{readEnd.get(), POLLIN, 0};
            const int polled = poll(&ready, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
            if (polled < 0 && errno != EINTR) {
                throw damaged(std::string("its reader cannot be followed: ") + std::strerror(errno));
            }
            if (polled <= 0) {
                continue;
            }
            const ssize_t got = ::read(readEnd.get(), buffer.data(), buffer.size());
            if (got < 0 && (errno == EINTR || errno == EAGAIN)) {
                continue;
            }
            if (got <= 0) {
                break; // the reader has closed its output: it has ended
            }
            total += static_cast<std::uint64_t>(got);
            if (total > maxBytes) {
                throw damaged("its tables hold far more than a file of its size can");
            }
            parser.feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
        }
    } catch (const ReaderFailure &failure) {
        endChild(pid, true);
        throw damaged(failure.what());
    } catch (const StreamError &) {
        endChild(pid, true);
        throw damaged("its tables cannot be read");
    } catch (...) {
        endChild(pid, true);
        throw;
    }
    const int status = endChild(pid, false, deadline);
    if (std::chrono::steady_clock::now() >= deadline) {
        throw damaged("reading it took longer than " + std::to_string(limits.time.count() / 1000) + " s");
    }
    if (WIFSIGNALED(status)) {
        throw damaged("reading its tables failed");
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !parser.complete()) {
        if (WIFEXITED(status) && WEXITSTATUS(status) == 127) {
            throw ReadError(ReadError::Kind::ReaderMissing, reader + " cannot be started");
        }
        throw damaged("its tables cannot be read");
    }
    if (password == PasswordField::Damaged) {
        throw damaged("its header is damaged: its password field and creation date do not fit together");
    }
    if (password == PasswordField::Password) {
        throw ReadError(ReadError::Kind::Password, "it is protected by a password");
    }
}

} // namespace Jet
