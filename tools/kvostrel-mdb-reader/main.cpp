// kvostrel-mdb-reader: reads tables of an Access (Jet) database file and writes them on
// standard output as the stream JetStream.h describes. The program and the importer run
// it as a child process with a time limit, so that a file that makes the Jet library
// crash or loop stops this process only. Its standard error carries the library's own
// warnings; the callers do not show them.
//
//   kvostrel-mdb-reader FILE TABLE...   tables named ignoring letter case; a table the
//                                       file lacks is left out of the stream
// Exit status: 0 with a whole stream, 1 after a Failure record, 2 for a wrong command line.

#include "jet/JetStream.h"

// The Debian header opens extern "C" around glib's headers, which must come first.
#include <glib.h>

#include <mdbtools.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define KVOSTREL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KVOSTREL_ASAN 1
#endif
#endif

namespace {

// Raised by this program for a file it cannot read; its text ends up in the start-up
// message ("The database file ... is damaged (TEXT)").
struct Unreadable
{
    std::string why;
};

constexpr int offsetMask = 0x1fff; // a row offset without its flags

std::string output;

void flushOutput()
{
    std::size_t done = 0;
    while (done < output.size()) {
        const ssize_t written = ::write(STDOUT_FILENO, output.data() + done, output.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            std::_Exit(1); // the reading side has gone
        }
        done += static_cast<std::size_t>(written);
    }
    output.clear();
}

bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return g_ascii_tolower(x) == g_ascii_tolower(y);
           });
}

std::string inQuotes(std::string_view name)
{
    return '"' + std::string(name) + '"';
}

// The little-endian integer of `size` bytes at `p`.
long long littleEndian(const unsigned char *p, int size, bool isSigned)
{
    unsigned long long value = 0;
    for (int i = size; i-- > 0;) {
        value = (value << 8) | p[i];
    }
    if (isSigned && size < 8 && (value >> (8 * size - 1)) != 0) {
        return static_cast<long long>(value) - (1LL << (8 * size));
    }
    return static_cast<long long>(value);
}

Jet::ValueKind kindOf(const MdbColumn &column)
{
    switch (column.col_type) {
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
        return Jet::ValueKind::Integer;
    case MDB_BINARY:
    case MDB_OLE:
    case MDB_COMPLEX:
        return Jet::ValueKind::Unsupported;
    default:
        return Jet::ValueKind::Text;
    }
}

std::string takeString(char *text)
{
    std::string value = text != nullptr ? text : "";
    g_free(text);
    return value;
}

class TableReader
{
public:
    TableReader(MdbHandle *mdb, MdbCatalogEntry *entry, std::size_t fileSize)
        : m_mdb(mdb),
          m_fileSize(fileSize),
          m_table(mdb_read_table(entry))
    {
        if (m_table == nullptr || mdb_read_columns(m_table) == nullptr || m_table->num_cols == 0
            || m_table->num_cols > MDB_MAX_COLS) {
            throw Unreadable{"the layout of its table " + inQuotes(entry->object_name) + " cannot be read"};
        }
        m_name = entry->object_name;
    }
    ~TableReader() { mdb_free_tabledef(m_table); }
    TableReader(const TableReader &) = delete;
    TableReader &operator=(const TableReader &) = delete;

    void write(Jet::StreamWriter &stream)
    {
        std::vector<Jet::Column> columns;
        for (unsigned int i = 0; i < m_table->num_cols; ++i) {
            const auto *column = static_cast<MdbColumn *>(g_ptr_array_index(m_table->columns, i));
            columns.push_back({column->name, kindOf(*column)});
        }
        stream.beginTable(m_name, columns);
        mdb_rewind_table(m_table);
        std::uint64_t rows = 0;
        std::vector<MdbField> fields(MDB_MAX_COLS);
        while (mdb_fetch_row(m_table) != 0) {
            // The row the library has just read stands on the page in its buffer: crack it
            // again to learn which values are Null (bound values do not tell).
            int start = 0;
            size_t size = 0;
            if (m_table->cur_row == 0 || mdb_find_row(m_mdb, static_cast<int>(m_table->cur_row) - 1, &start, &size) != 0
                || size == 0) {
                throw Unreadable{"a row of its table " + inQuotes(m_name) + " cannot be found"};
            }
            start &= offsetMask;
            const int count = mdb_crack_row(m_table, start, size, fields.data());
            if (count != static_cast<int>(m_table->num_cols)) {
                throw Unreadable{"a row of its table " + inQuotes(m_name) + " cannot be read"};
            }
            std::vector<const MdbField *> byColumn(m_table->num_cols, nullptr);
            for (int i = 0; i < count; ++i) {
                if (fields[i].colnum < 0 || fields[i].colnum >= count || byColumn[fields[i].colnum] != nullptr) {
                    throw Unreadable{"a row of its table " + inQuotes(m_name) + " cannot be read"};
                }
                byColumn[fields[i].colnum] = &fields[i];
            }
            stream.beginRow();
            for (unsigned int i = 0; i < m_table->num_cols; ++i) {
                writeValue(stream, *static_cast<MdbColumn *>(g_ptr_array_index(m_table->columns, i)), *byColumn[i]);
            }
            ++rows;
            if (output.size() >= (1U << 20)) {
                flushOutput();
            }
        }
        // A data page the file lacks (cut off) or cannot name ends the scan early.
        if (rows < m_table->num_rows) {
            throw Unreadable{"its table " + inQuotes(m_name) + " should hold " + std::to_string(m_table->num_rows)
                             + " rows, but " + std::to_string(rows) + " can be read"};
        }
        stream.endTable(rows);
    }

private:
    void writeValue(Jet::StreamWriter &stream, MdbColumn &column, const MdbField &field)
    {
        // A yes/no value is held in the row's null mask: set means Yes.
        if (column.col_type == MDB_BOOL) {
            stream.value(field.is_null ? "No" : "Yes");
            return;
        }
        if (field.is_null || kindOf(column) == Jet::ValueKind::Unsupported) {
            stream.null();
            return;
        }
        const auto *bytes = static_cast<const unsigned char *>(field.value);
        const int size = field.siz;
        const auto badValue = [&] {
            return Unreadable{"a value in the column " + inQuotes(column.name) + " of its table " + inQuotes(m_name)
                              + " cannot be read"};
        };
        if (size < 0 || field.start < 0 || field.start + size > static_cast<int>(m_mdb->fmt->pg_size)) {
            throw badValue();
        }
        switch (column.col_type) {
        case MDB_BYTE:
        case MDB_INT:
        case MDB_LONGINT: {
            const int width = column.col_type == MDB_BYTE ? 1 : column.col_type == MDB_INT ? 2 : 4;
            if (size != width) {
                throw badValue();
            }
            stream.value(std::to_string(littleEndian(bytes, width, column.col_type != MDB_BYTE)));
            return;
        }
        case MDB_DATETIME: {
            double days = 0;
            if (size != 8) {
                throw badValue();
            }
            std::memcpy(&days, bytes, sizeof days);
            const std::optional<std::string> text = Jet::dateText(days);
            if (!text) {
                throw Unreadable{"a date in the column " + inQuotes(column.name) + " of its table " + inQuotes(m_name)
                                 + " lies outside the years 100 to 9999"};
            }
            stream.value(*text);
            return;
        }
        case MDB_MEMO: {
            // The library cuts a memo at its bind size: make room for the whole value, at
            // most three bytes of UTF-8 for each byte the file holds.
            if (size < MDB_MEMO_OVERHEAD) {
                throw badValue();
            }
            const auto length = static_cast<std::size_t>(littleEndian(bytes, 4, false) & 0x3fffffff);
            if (length > m_fileSize) {
                throw badValue();
            }
            mdb_set_bind_size(m_mdb, std::max<std::size_t>(MDB_BIND_SIZE, 3 * length + 16));
            stream.value(takeString(mdb_col_to_string(m_mdb, m_mdb->pg_buf, field.start, column.col_type, size)));
            return;
        }
        default:
            stream.value(takeString(mdb_col_to_string(m_mdb, m_mdb->pg_buf, field.start, column.col_type, size)));
            return;
        }
    }

    MdbHandle *m_mdb;
    std::size_t m_fileSize;
    MdbTableDef *m_table;
    std::string m_name;
};

// A process that ends with its parent, and that a file cannot make run away with the
// machine's memory or processor.
void limitThisProcess()
{
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const rlimit cpu{120, 120};
    setrlimit(RLIMIT_CPU, &cpu);
#ifndef KVOSTREL_ASAN
    // AddressSanitizer reserves far more address space than this; only plain builds limit it.
    const rlimit memory{4ULL << 30, 4ULL << 30};
    setrlimit(RLIMIT_AS, &memory);
#endif
}

} // namespace

#ifdef KVOSTREL_ASAN
// The Jet library keeps some of what it allocates until the process ends.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libmdb.so\nleak:libglib-2.0.so\n";
}
#endif

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fputs("usage: kvostrel-mdb-reader FILE TABLE...\n", stderr);
        return 2;
    }
    limitThisProcess();
    // Text comes out as UTF-8, and a Jet 3 file is read in the code page it names.
    unsetenv("MDBICONV");
    unsetenv("MDB_JET3_CHARSET");
    unsetenv("MDBOPTS");

    Jet::StreamWriter stream(output);
    stream.begin();
    int status = 0;
    MdbHandle *mdb = nullptr;
    try {
        struct stat info = {};
        if (stat(argv[1], &info) != 0) {
            throw Unreadable{std::string("it cannot be read: ") + std::strerror(errno)};
        }
        mdb = mdb_open(argv[1], MDB_NOFLAGS);
        if (mdb == nullptr || mdb->f == nullptr) {
            throw Unreadable{"it cannot be opened as an Access database"};
        }
        if (mdb_read_catalog(mdb, MDB_TABLE) == nullptr) {
            throw Unreadable{"its list of tables cannot be read"};
        }
        for (int wanted = 2; wanted < argc; ++wanted) {
            for (guint i = 0; i < mdb->catalog->len; ++i) {
                auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
                if (entry->object_type == MDB_TABLE && sameIgnoringCase(entry->object_name, argv[wanted])) {
                    TableReader(mdb, entry, static_cast<std::size_t>(info.st_size)).write(stream);
                    break;
                }
            }
        }
        stream.end();
    } catch (const Unreadable &error) {
        stream.failure(error.why);
        status = 1;
    }
    flushOutput();
    if (mdb != nullptr) {
        mdb_close(mdb);
    }
    return status;
}
