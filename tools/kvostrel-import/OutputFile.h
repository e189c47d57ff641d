#pragma once

#include <csignal>
#include <filesystem>

// The output under construction: a hidden temporary file in the target's folder
// (".NAME.tmp-XXXXXX") that replaces the target only through commit(). Until then a
// previous target stays as it was; the temporary file is removed when the import fails,
// throws or is ended by a signal it can catch (SIGINT, SIGTERM, SIGHUP, SIGPIPE, ...).
// What a run could not remove (SIGKILL, a crash) the next run writing the same target
// removes: each run holds a lock on its own file, and one that nobody holds is a
// leftover.
//
// A target that is a symbolic link (or a chain of them, or one whose target does not
// exist yet) is written through: the file at the end of the chain is replaced, and the
// links stay links.
class OutputFile
{
public:
    static constexpr std::size_t cleanedUpSignalCount = 11;

    // Throws ImportError naming the folder when no file can be created there.
    explicit OutputFile(std::filesystem::path target);
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    const std::filesystem::path &temporaryPath() const { return m_temporary; }

    // Flushes the finished file to disk and renames it over the target.
    void commit();

private:
    void restoreSignalHandling();

    std::filesystem::path m_output; // as given
    std::filesystem::path m_target; // the final target, symbolic links resolved
    std::filesystem::path m_temporary;
    int m_fd = -1;
    bool m_committed = false;
    // How the signals were handled before, restored by the destructor.
    struct sigaction m_previous[cleanedUpSignalCount] = {};
    bool m_handled[cleanedUpSignalCount] = {};
};

// The file a path names once every symbolic link at its end is followed, whether or
// not that file exists yet. Throws ImportError naming the path for a link loop.
std::filesystem::path finalLinkTarget(const std::filesystem::path &path);

// Throws ImportError naming `output` (and where its links lead) when it, or the end of
// its chain of symbolic links, exists and is no regular file: a folder, a device such
// as /dev/null, a FIFO or a socket is never replaced by a database.
void checkOutputIsAFile(const std::filesystem::path &output);
