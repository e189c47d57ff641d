#include "FdaSource.h"

#include "ImportError.h"

#include <sys/stat.h>
#include <ctime>
#include <zip.h>

#include <cerrno>
#include <cstring>
#include <fstream>
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

} // namespace

FdaSource::FdaSource(const fs::path &zipOrFolder)
    : m_path(zipOrFolder)
{
    std::error_code ec;
    const fs::file_status status = fs::status(m_path, ec);
    if (!fs::exists(status)) {
        throw ImportError(m_path.string() + ": no such zip archive or folder");
    }
    if (fs::is_directory(status)) {
        return;
    }
    int code = 0;
    m_zip = zip_open(m_path.c_str(), ZIP_RDONLY, &code);
    if (m_zip == nullptr) {
        throw ImportError(m_path.string() + ": cannot read the zip archive: " + zipErrorText(code));
    }
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
    if (!fs::exists(file)) {
        throw ImportError(m_path.string() + ": the folder holds no " + std::string(name));
    }
    return readWholeFile(file);
}

bool FdaSource::holds(std::string_view name) const
{
    if (m_zip != nullptr) {
        return zip_name_locate(m_zip, std::string(name).c_str(), ZIP_FL_NOCASE | ZIP_FL_NODIR) >= 0;
    }
    std::error_code ec;
    return fs::is_regular_file(m_path / name, ec);
}

std::string FdaSource::writtenOn(std::string_view name) const
{
    std::time_t written = 0;
    if (m_zip != nullptr) {
        const zip_int64_t index = zip_name_locate(m_zip, std::string(name).c_str(), ZIP_FL_NOCASE | ZIP_FL_NODIR);
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
    const zip_int64_t index = zip_name_locate(m_zip, member.c_str(), ZIP_FL_NOCASE | ZIP_FL_NODIR);
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
        content.append(buffer, static_cast<std::size_t>(n));
    }
    return content;
}

std::string readWholeFile(const fs::path &path)
{
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        throw ImportError(path.string() + ": is a folder, not a file");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw ImportError(path.string() + ": cannot open the file: " + std::strerror(errno));
    }
    std::string content;
    const auto size = fs::file_size(path, ec);
    if (!ec) {
        content.reserve(static_cast<std::size_t>(size));
    }
    char buffer[1 << 16];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        content.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
        throw ImportError(path.string() + ": cannot read the file: " + std::strerror(errno));
    }
    return content;
}
