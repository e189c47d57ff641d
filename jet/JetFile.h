#pragma once

#include "jet/JetStream.h"

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Reading an Access (Jet) database file through kvostrel-mdb-reader, run as a child
// process: what kind of file a header shows, and the run itself with its limits.
namespace Jet {

enum class FileKind {
    Sqlite,
    Jet3, // Access 97 and older: 2 KB pages, text in the file's code page
    Jet4, // Access 2000 to 2003: 4 KB pages, Unicode text
    Ace, // Access 2007 and later (.accdb)
    Other
};

// The kind of database file whose first bytes are `head` (at least the first 32).
FileKind fileKind(std::string_view head);
const char *kindName(FileKind kind);

// What the header page of a Jet or ACE file says of a database password. The page's
// bytes from 0x18 are scrambled with a fixed RC4 key; Jet 4 and later mask the password
// further with the whole days of the file's creation date. Damaged: the field cannot be
// read as a password nor as none (a creation date that is no date, or one that masks
// an empty field into text repeating the mask's pattern, as a damaged date does).
enum class PasswordField {
    None,
    Password,
    Damaged
};
PasswordField passwordField(std::string_view headerPage, FileKind kind);
inline bool hasPassword(std::string_view headerPage, FileKind kind)
{
    return passwordField(headerPage, kind) == PasswordField::Password;
}

// Why a Jet file cannot be read, in the program's words.
class ReadError : public std::runtime_error
{
public:
    enum class Kind {
        Damaged, // what() says why, as "the file is damaged (WHY)" goes on
        NotJet, // no Access (Jet or ACE) database at all
        Password,
        ReaderMissing, // what() names the reader program and why it cannot start
        Incomplete // see missingTables and missingColumns
    };
    ReadError(Kind kind, const std::string &what)
        : std::runtime_error(what),
          kind(kind)
    {
    }
    Kind kind;
    std::vector<std::string> missingTables;
    std::vector<std::pair<std::string, std::vector<std::string>>> missingColumns; // table, its columns
};

struct ReadLimits
{
    std::chrono::milliseconds time{30000};
    // The stream may be this many times larger than the file, plus streamExtra bytes: a
    // damaged file that makes the reader go round in circles is stopped before memory
    // runs out.
    std::uint64_t streamPerFileByte = 16;
    std::uint64_t streamExtra = 16U << 20;
};

// Runs `reader` on the Jet file `path`, asking for `tables`, and hands the stream to
// `sink` as it arrives. Throws ReadError for a file that is damaged, cut off, or that the
// reader cannot read within the limits (a crash, a non-zero exit, a broken stream, too
// much time or data), and for a whole file protected by a password once it is read (a
// damaged header is no password); the child process never outlives the call.
// Exceptions the sink throws pass through.
void readFile(const std::string &reader, const std::string &path, const std::vector<std::string> &tables,
              StreamSink &sink, const ReadLimits &limits = {});

} // namespace Jet
