#pragma once

#include <filesystem>
#include <string>
#include <string_view>

struct zip;

// The FDA data files of one release, read from the zip archive the FDA publishes or
// from a folder holding the unpacked files.
class FdaSource
{
public:
    // Opens the archive or folder. Throws ImportError when it is missing or is not a
    // readable zip archive.
    explicit FdaSource(const std::filesystem::path &zipOrFolder);
    ~FdaSource();
    FdaSource(const FdaSource &) = delete;
    FdaSource &operator=(const FdaSource &) = delete;

    // The whole content of the data file `name` (such as "products.txt"). Throws
    // ImportError naming the archive or folder when the file is missing or unreadable.
    std::string read(std::string_view name) const;

    // True when the release holds the data file `name` (in the archive at any folder
    // depth and in any letter case, as read() finds it).
    bool holds(std::string_view name) const;

    // The date the data file `name` was written, as "Nov 8, 2024" (the FDA's own form);
    // empty when the archive or folder does not tell it.
    std::string writtenOn(std::string_view name) const;

    // How messages name the data file: "products.txt in /x/release.zip" or "/x/release/products.txt".
    std::string displayName(std::string_view name) const;

    // True for a zip archive, whose checksums prove each file whole; a file in a folder
    // carries no such proof.
    bool isArchive() const { return m_zip != nullptr; }

private:
    // The archive's entry for the data file `name`, or -1. Throws ImportError naming
    // both entries when two of the archive's files have that name.
    long long locate(std::string_view name) const;
    std::string readFromZip(std::string_view name) const;

    std::filesystem::path m_path;
    zip *m_zip = nullptr;
};

// The most an input file may hold: several times the largest file of an FDA release
// (products.txt, 7 MB in 2024), so a wrong file or a device is refused, not read.
constexpr long long maxInputBytes = 256LL << 20;

// The whole content of a regular file of at most maxInputBytes. Throws ImportError
// naming the file when it is anything else (a folder, a FIFO, a device), without
// reading it and without waiting for a writer.
std::string readWholeFile(const std::filesystem::path &path);

// A regular file of at most maxInputBytes, opened for reading. Throws ImportError as
// readWholeFile does.
int openInputFile(const std::filesystem::path &path);
