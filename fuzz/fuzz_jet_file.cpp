// Access (Jet) files, mutated from the sample file, read as the program reads them:
// kvostrel-mdb-reader in a child process with a time limit, the stream loaded into an
// in-memory SQLite database with the importer's layout. The file is read or refused
// with ReadError; a crash or hang of the Jet library stops the child only, and this
// process survives every input.

#include "jet/JetLoad.h"

#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// The file each input is written to, removed when the fuzzer ends.
struct InputFile
{
    std::string path;
    InputFile()
    {
        char name[] = "/tmp/fuzz_jet_file-XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0) {
            std::abort();
        }
        close(fd);
        path = name;
    }
    ~InputFile() { unlink(path.c_str()); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const InputFile input;
    const std::string &path = input.path;
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
        std::abort();
    }
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        std::abort();
    }
    Jet::ReadLimits limits;
    limits.time = std::chrono::milliseconds(5000);
    try {
        Jet::loadFile(db, KVOSTREL_MDB_READER_PATH, path, limits);
    } catch (const Jet::ReadError &) {
    }
    sqlite3_close(db);
    return 0;
}
