#include "FdaSource.h"

#include "FileKind.h"
#include "ImportError.h"
#include "common/FileDescriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>

namespace fs = std::filesystem;

namespace {

std::string zipErrorText(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

std::string tooLarge(const fs::path &path, long long bytes)
{
    return path.string() + ": holds " + std::to_string(bytes) + " bytes, more than any FDA release could ("
        + std::to_string(maxInputBytes) + " at most); is it the right file?";
}

// Refuses what is no regular file, or one too large, before anything is read.
void checkInputFile(const fs::path &path, const struct stat &file)
{
    if (!S_ISREG(file.st_mode)) {
        throw ImportError(path.string() + ": is " + kindOfFile(file.st_mode) + ", not a file");
    }
    if (file.st_size > maxInputBytes) {
        throw ImportError(tooLarge(path, file.st_size));
    }
}

// A data file's name in an archive: the part after its last folder.
std::string_view baseName(std::string_view entry)
{
    const auto slash = entry.find_last_of('/');
    return slash == std::string_view::npos ? entry : entry.substr(slash + 1);
}

bool equalIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

int openInputFile(const fs::path &path)
{
    // Checked before it is opened, as opening a device may act on it; checked again on
    // what was opened, in case the path changed between. O_NONBLOCK: a FIFO that slips
    // through opens at once instead of waiting for a writer.
    struct stat file = {};
    if (::stat(path.c_str(), &file) != 0) {
        throw ImportError(path.string() + ": cannot open the file: " + std::strerror(errno));
    }
    checkInputFile(path, file);
    Common::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
        throw ImportError(path.string() + ": cannot open the file: " + std::strerror(errno));
    }
    if (fstat(fd.get(), &file) != 0) {
        throw ImportError(path.string() + ": cannot read the file: " + std::strerror(errno));
    }
    checkInputFile(path, file);
    const int flags = fcntl(fd.get(), F_GETFL);
    if (flags < 0 || fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        throw ImportError(path.string() + ": cannot read the file: " + std::strerror(errno));
    }
    return fd.release();
}

FdaSource::FdaSource(const fs::path &zipOrFolder)
    : m_path(zipOrFolder)
{
    struct stat file = {};
    if (::stat(m_path.c_str(), &file) != 0) {
        throw ImportError(m_path.string() + ": no such zip archive or folder");
    }
    if (S_ISDIR(file.st_mode)) {
        return;
    }
    if (!S_ISREG(file.st_mode)) {
        throw ImportError(m_path.string() + ": is " + kindOfFile(file.st_mode) + ", not a zip archive or folder");
    }
    Common::FileDescriptor fd(openInputFile(m_path));
    int code = 0;
    m_zip = zip_fdopen(fd.get(), 0, &code);
    if (m_zip == nullptr) {
        throw ImportError(m_path.string() + ": cannot read the zip archive: " + zipErrorText(code));
    }
    fd.release(); // the archive's now
}

FdaSource::~FdaSource()
{
    if (m_zip != nullptr) {
        zip_discard(m_zip);
    }
}

std::string FdaSource::read(std::string_view name) const
{
    if (m_zip != nullptr) {
        return readFromZip(name);
    }
    const fs::path file = m_path / name;
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(file, ec))) {
        throw ImportError(m_path.string() + ": the folder holds no " + std::string(name));
    }
    return readWholeFile(file);
}

bool FdaSource::holds(std::string_view name) const
{
    if (m_zip != nullptr) {
        return locate(name) >= 0;
    }
    // Anything of that name counts, so that read() says what is wrong with it.
    std::error_code ec;
    return fs::exists(fs::symlink_status(m_path / name, ec));
}

long long FdaSource::locate(std::string_view name) const
{
    long long found = -1;
    const zip_int64_t entries = zip_get_num_entries(m_zip, 0);
    for (zip_int64_t i = 0; i < entries; ++i) {
        const char *entry = zip_get_name(m_zip, static_cast<zip_uint64_t>(i), 0);
        if (entry == nullptr || !equalIgnoringCase(baseName(entry), name)) {
            continue;
        }
        if (found >= 0) {
            throw ImportError(m_path.string() + ": the zip archive holds two files named " + std::string(name) + ", \""
                              + zip_get_name(m_zip, static_cast<zip_uint64_t>(found), 0) + "\" and \"" + entry
                              + "\"; it is not clear which one to read");
        }
        found = i;
    }
    return found;
}

std::string FdaSource::writtenOn(std::string_view name) const
{
    std::time_t written = 0;
    if (m_zip != nullptr) {
        const zip_int64_t index = locate(name);
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (index < 0 || zip_stat_index(m_zip, static_cast<zip_uint64_t>(index), 0, &stat) != 0
            || !(stat.valid & ZIP_STAT_MTIME)) {
            return {};
        }
        written = stat.mtime;
    } else {
        struct stat file = {};
        if (::stat((m_path / name).c_str(), &file) != 0) {
            return {};
        }
        written = file.st_mtime;
    }
    // Archives keep local times: read back in local time, the date is the one written.
    std::tm local = {};
    if (localtime_r(&written, &local) == nullptr) {
        return {};
    }
    char text[32];
    if (std::strftime(text, sizeof text, "%b %d, %Y", &local) == 0) {
        return {};
    }
    std::string date(text);
    if (date.size() > 4 && date[4] == '0') { // "Nov 08" is written "Nov 8"
        date.erase(4, 1);
    }
    return date;
}

std::string FdaSource::displayName(std::string_view name) const
{
    if (m_zip != nullptr) {
        return std::string(name) + " in " + m_path.string();
    }
    return (m_path / name).string();
}

std::string FdaSource::readFromZip(std::string_view name) const
{
    const std::string member(name);
    // Found by name at any folder depth and in any letter case, as archives repacked by hand may differ.
    const zip_int64_t index = locate(name);
    if (index < 0) {
        throw ImportError(m_path.string() + ": the zip archive holds no " + member);
    }
    const auto fail = [&](const char *reason) -> ImportError {
        return ImportError(displayName(name) + ": cannot unpack the file: " + reason);
    };
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(m_zip, static_cast<zip_uint64_t>(index), 0, &stat) != 0) {
        throw fail(zip_strerror(m_zip));
    }
    std::unique_ptr<zip_file_t, int (*)(zip_file_t *)> file(zip_fopen_index(m_zip, static_cast<zip_uint64_t>(index), 0),
                                                            zip_fclose);
    if (!file) {
        throw fail(zip_strerror(m_zip));
    }
    std::string content;
    if (stat.valid & ZIP_STAT_SIZE) {
        if (stat.size > static_cast<zip_uint64_t>(maxInputBytes)) {
            throw ImportError(tooLarge(displayName(name), static_cast<long long>(stat.size)));
        }
        content.reserve(static_cast<std::size_t>(stat.size));
    }
    char buffer[1 << 16];
    for (;;) {
        const zip_int64_t n = zip_fread(file.get(), buffer, sizeof buffer);
        if (n < 0) {
            throw fail(zip_file_strerror(file.get()));
        }
        if (n == 0) {
            break;
        }
        if (static_cast<long long>(content.size()) + n > maxInputBytes) {
            throw ImportError(tooLarge(displayName(name), static_cast<long long>(content.size()) + n));
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
    return content;
}

std::string readWholeFile(const fs::path &path)
{
    const Common::FileDescriptor fd(openInputFile(path));
    std::string content;
    struct stat file = {};
    if (fstat(fd.get(), &file) == 0) {
        content.reserve(static_cast<std::size_t>(file.st_size));
    }
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            throw ImportError(path.string() + ": cannot read the file: " + std::strerror(errno));
        }
        if (n == 0) {
            return content;
        }
        if (static_cast<long long>(content.size()) + n > maxInputBytes) {
            throw ImportError(tooLarge(path, static_cast<long long>(content.size()) + n));
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
}
