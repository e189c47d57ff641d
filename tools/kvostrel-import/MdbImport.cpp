#include "MdbImport.h"

#include "FileKind.h"
#include "ImportError.h"
#include "jet/JetLoad.h"
#include "OutputFile.h"
#include "SqliteDatabase.h"

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// kvostrel-mdb-reader lies beside this program (also when it is started through a link).
std::string readerPath()
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return (ec ? fs::path("kvostrel-mdb-reader") : self.parent_path() / "kvostrel-mdb-reader").string();
}

std::string listText(const std::vector<std::string> &items)
{
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + ('"' + items[i] + '"');
    }
    return text;
}

std::string problem(const Jet::ReadError &error)
{
    switch (error.kind) {
    case Jet::ReadError::Kind::NotJet:
        return "is no Access (Jet) database";
    case Jet::ReadError::Kind::Password:
        return "is protected by a password; remove the password with the program that set it";
    case Jet::ReadError::Kind::ReaderMissing:
        return "cannot be read: " + std::string(error.what());
    case Jet::ReadError::Kind::Incomplete: {
        std::vector<std::string> parts;
        if (!error.missingTables.empty()) {
            parts.push_back((error.missingTables.size() == 1 ? "the table " : "the tables ")
                            + listText(error.missingTables));
        }
        for (const auto &[table, columns] : error.missingColumns) {
            parts.push_back((columns.size() == 1 ? "the column " : "the columns ") + listText(columns)
                            + " in the table \"" + table + '"');
        }
        std::string text = "is not a complete drug reference database: it lacks ";
        for (std::size_t i = 0; i < parts.size(); ++i) {
            text += (i == 0 ? "" : "; ") + parts[i];
        }
        return text;
    }
    case Jet::ReadError::Kind::Damaged:
        break;
    }
    return "is damaged (" + std::string(error.what()) + ')';
}

} // namespace

void checkMdbOutputIsNoInput(const fs::path &mdb, const fs::path &output)
{
    struct stat in;
    struct stat out;
    if (stat(output.c_str(), &out) == 0 && stat(mdb.c_str(), &in) == 0 && in.st_dev == out.st_dev
        && in.st_ino == out.st_ino) {
        throw ImportError("--output " + output.string() + " is the same file as --from-mdb " + mdb.string()
                          + "; writing the database there would destroy that input");
    }
}

std::vector<TableRows> importFromMdb(const fs::path &mdb, const fs::path &output, const DerivedTables &derivedTables)
{
    checkMdbOutputIsNoInput(mdb, output);
    struct stat input = {};
    if (::stat(mdb.c_str(), &input) != 0) {
        throw ImportError(mdb.string() + ": no such file");
    }
    if (!S_ISREG(input.st_mode)) {
        throw ImportError(mdb.string() + ": is " + kindOfFile(input.st_mode) + ", not a file");
    }
    OutputFile file(output);
    std::vector<TableRows> rows;
    {
        SqliteDatabase db(file.temporaryPath());
        try {
            for (const Jet::LoadedTable &table : Jet::loadFile(db.handle(), readerPath(), mdb.string())) {
                rows.push_back({table.table, table.rows});
            }
        } catch (const Jet::ReadError &error) {
            throw ImportError(mdb.string() + ": " + problem(error));
        }
        db.close();
    }
    if (derivedTables) {
        for (TableRows &table : derivedTables(file.temporaryPath())) {
            rows.push_back(std::move(table));
        }
    }
    file.commit();
    return rows;
}
