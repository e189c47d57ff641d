#pragma once

#include <filesystem>

// The output under construction: a hidden temporary file in the target's folder that
// replaces the target only through commit(). Until then a previous target stays as it
// was; the temporary file is removed when the import fails or is interrupted.
class OutputFile
{
public:
    // Throws ImportError naming the folder when no file can be created there.
    explicit OutputFile(std::filesystem::path target);
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    const std::filesystem::path &temporaryPath() const { return m_temporary; }

    // Flushes the finished file to disk and renames it over the target.
    void commit();

private:
    std::filesystem::path m_target;
    std::filesystem::path m_temporary;
    int m_fd = -1;
    bool m_committed = false;
};
