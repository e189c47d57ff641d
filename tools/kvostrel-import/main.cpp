// kvostrel-import: builds the reference database kvostrel.mdb from the FDA's
// approved-drug-product data files and the dosage-form and route vocabularies.

#include "ImportError.h"
#include "KvostrelImport.h"
#include "MdbImport.h"
#include "OutputFile.h"
#include "ProtectionTable.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::string_view usage = R"(Usage: kvostrel-import --fda ZIP_OR_FOLDER --output FILE
                       [--dosage-forms TSV] [--routes TSV] [--listing-terms TSV]
                       [--exclusivity-codes TSV] [--te-codes TSV]
                       [--allow-empty TABLE]... [--previous OLDER_ZIP_OR_FOLDER]
       kvostrel-import --from-mdb FILE --output FILE

Builds the reference database (kvostrel.mdb) from the FDA's approved drug product
data files and the dosage-form and route-of-administration vocabularies. The table
"product protection" holds each product's listed protection, computed from the
patent and exclusivity tables as of the release date (with --from-mdb too).

The five tab-separated files (dosage_forms.tsv, routes.tsv, listing_terms.tsv,
exclusivity_codes.tsv, te_codes.tsv) are found without options: in ../../share/torvanelquist
from the importer's own folder (/usr/share/torvanelquist when installed), or in
the source tree's reference-data/fda when it runs from its build folder. An
option names another file; an option with an empty value leaves that file out
(--listing-terms= ).

  --fda ZIP_OR_FOLDER   the FDA data-file zip archive as published, or a folder
                        holding its products.txt, patent.txt and exclusivity.txt
                        (tilde-separated); without exclusivity.txt the
                        exclusivity table stays empty, with a warning
  --dosage-forms TSV    dosage forms, tab-separated, with the header columns name,
                        definition, use_restrictions, short_name, fda_code, nci_concept_id
  --routes TSV          routes of administration, same columns as the dosage forms
  --listing-terms TSV   the FDA product list's own spellings of vocabulary terms,
                        tab-separated, with the header columns kind ("dosage form"
                        or "route"), listing_value, terms (several separated by
                        ";") and note; each gets a row carrying its terms'
                        definitions and codes
  --exclusivity-codes TSV
                        the families of exclusivity codes, tab-separated, with
                        the header columns code ("NCE", or "I-nnn" for every
                        code "I-" and a number) and meaning
  --te-codes TSV        the therapeutic equivalence codes, tab-separated, with
                        the header columns code ("AB", without a number) and
                        meaning
  --previous OLDER_ZIP_OR_FOLDER
                        an older FDA release (zip or folder, as for --fda): the
                        database also gets the table "changes", what changed
                        from that release to this one (products added, removed
                        or changed, patent listings and exclusivities added,
                        removed or moved, first generics), each with its old
                        and new value, and "compared release", the two
                        releases' dates and counts; the program's "Changes"
                        window lists them
  --from-mdb FILE       instead of the FDA files: an Access (Jet) database holding
                        the four tables (products, patent, dosage form, route of
                        administration; names in any letter case), copied as
                        it is, Null kept apart from empty text
  --output FILE         the database to write; an existing file is replaced only
                        once the new one is complete (through a symbolic link, the
                        file it points to); it must not be one of the inputs
  --allow-empty TABLE   write TABLE empty although the file replaced holds rows
                        of it (may be given for several tables); without it such
                        a run is refused, naming the table
  --progress            print "progress FRACTION FILE" lines on standard output
                        while the data files are read (for programs that start
                        the importer)
  --help                show this text

Both vocabulary tables get a row for every dosage form and route the products
name: the vocabulary's own terms first, in file order, then the listing
spellings, the values made of several terms and spellings separated by ", "
(kits, several routes), and any other value, without definition. Such values
are listed in one warning line; they do not fail the import.

Exit status: 0 on success, 1 when an input is faulty (the message names the file
and line) or the run would empty a table the replaced file fills, 2 when the command line is wrong: an option given twice, --output
naming one of the inputs or something that is no regular file (a folder, a
device, a FIFO, also at the end of its symbolic links). Nothing is written unless
the import succeeds.

Refused inputs: anything but a regular file (a FIFO, a device, a folder where a
file belongs), a file larger than any FDA release could be, a file cut short (in
a folder the FDA's files end right after their last record, the vocabularies
with a line end; a last record short of fields or of its last date), a header
naming a column twice, a zip archive holding two files of one name, and any
field holding a control character. Text is read as UTF-8 where it is valid and
as Windows-1252 where it is not, field by field, with a warning naming the first
line read that way.
)";

struct CommandLine
{
    ImportOptions options;
    std::filesystem::path fromMdb; // empty: the FDA files
    bool help = false;
    bool progressLines = false;
};

// Where the vocabularies lie: installed, ../../share/torvanelquist from the importer's
// folder (lib/torvanelquist -> share/torvanelquist); built, the source tree's copy.
std::filesystem::path referenceDataFolder()
{
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    std::vector<std::filesystem::path> candidates;
    if (!ec) {
        candidates.push_back(self.parent_path() / ".." / ".." / "share" / "torvanelquist");
    }
#ifdef KVOSTREL_SOURCE_DATA_DIR
    candidates.push_back(KVOSTREL_SOURCE_DATA_DIR);
#endif
    for (const std::filesystem::path &folder : candidates) {
        if (std::filesystem::is_regular_file(folder / "dosage_forms.tsv", ec)
            && std::filesystem::is_regular_file(folder / "routes.tsv", ec)) {
            return folder.lexically_normal();
        }
    }
    return {};
}

// Reads "--name VALUE" and "--name=VALUE" options. Throws the text of a usage error.
CommandLine parseCommandLine(int argc, char *argv[])
{
    CommandLine line;
    std::optional<std::string> fda, dosageForms, routes, listingTerms, exclusivityCodes, teCodes, output, fromMdb,
        previous;
    const std::pair<std::string_view, std::optional<std::string> *> options[]
        = {{"--fda", &fda},
           {"--dosage-forms", &dosageForms},
           {"--routes", &routes},
           {"--listing-terms", &listingTerms},
           {"--output", &output},
           {"--from-mdb", &fromMdb},
           {"--exclusivity-codes", &exclusivityCodes},
           {"--te-codes", &teCodes},
           {"--previous", &previous}};
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            line.help = true;
            return line;
        }
        if (arg == "--progress") {
            line.progressLines = true;
            continue;
        }
        std::optional<std::string> inlineValue;
        if (const auto equals = arg.find('='); arg.starts_with("--") && equals != std::string_view::npos) {
            inlineValue = std::string(arg.substr(equals + 1));
            arg = arg.substr(0, equals);
        }
        if (arg == "--allow-empty") {
            if (!inlineValue && i + 1 >= argc) {
                throw std::string(arg) + " needs a value";
            }
            const std::string table = inlineValue ? *inlineValue : std::string(argv[++i]);
            if (table.empty()) {
                throw std::string(arg) + " needs a value";
            }
            line.options.allowEmpty.push_back(table);
            continue;
        }
        const auto option
            = std::find_if(std::begin(options), std::end(options), [arg](const auto &o) { return o.first == arg; });
        if (option == std::end(options)) {
            throw std::string("unknown option \"") + argv[i] + '"';
        }
        if (!inlineValue && i + 1 >= argc) {
            throw std::string(arg) + " needs a value";
        }
        // Which of two values was meant cannot be known, so neither is taken.
        if (*option->second) {
            throw std::string(arg) + " is given twice, as \"" + **option->second + "\" and \""
                + (inlineValue ? *inlineValue : std::string(argv[i + 1])) + '"';
        }
        *option->second = inlineValue ? *inlineValue : std::string(argv[++i]);
        // An empty value leaves an optional file out; any other option needs one.
        const bool mayBeEmpty
            = option->second == &listingTerms || option->second == &exclusivityCodes || option->second == &teCodes;
        if (option->second->value().empty() && !mayBeEmpty) {
            throw std::string(arg) + " needs a value";
        }
    }
    if (fromMdb) {
        for (const auto &[name, value] : options) {
            if (*value && value != &fromMdb && value != &output) {
                throw std::string(name) + " does not go with --from-mdb";
            }
        }
        if (!line.options.allowEmpty.empty()) {
            throw std::string("--allow-empty does not go with --from-mdb");
        }
        if (!output) {
            throw std::string("--output is missing");
        }
        line.fromMdb = *fromMdb;
        line.options.output = *output;
        return line;
    }
    // The reference files the command line leaves out come from their usual folder.
    if (const std::filesystem::path folder = referenceDataFolder(); !folder.empty()) {
        for (const auto &[value, file] : {std::pair{&dosageForms, "dosage_forms.tsv"},
                                          {&routes, "routes.tsv"},
                                          {&listingTerms, "listing_terms.tsv"},
                                          {&exclusivityCodes, "exclusivity_codes.tsv"},
                                          {&teCodes, "te_codes.tsv"}}) {
            std::error_code ec;
            if (!*value && std::filesystem::is_regular_file(folder / file, ec)) {
                *value = (folder / file).string();
            }
        }
    }
    for (const auto &[name, value] : options) {
        if (!*value && value != &listingTerms && value != &exclusivityCodes && value != &teCodes && value != &fromMdb
            && value != &previous) {
            throw std::string(name) + " is missing"
                + (value == &dosageForms || value == &routes
                       ? " (no dosage_forms.tsv and routes.tsv in ../../share/torvanelquist beside the importer)"
                       : "");
        }
    }
    std::vector<std::string> allowEmpty = std::move(line.options.allowEmpty);
    line.options = {*fda,
                    *dosageForms,
                    *routes,
                    listingTerms.value_or(std::string()),
                    exclusivityCodes.value_or(std::string()),
                    teCodes.value_or(std::string()),
                    *output,
                    std::move(allowEmpty),
                    previous.value_or(std::string()),
                    {}};
    return line;
}

bool progressLineOpen = false;

// For a program that starts the importer: one line per step, read as it comes.
void printProgressLine(const std::string &source, double fraction)
{
    std::printf("progress %.3f %s\n", fraction, source.c_str());
    std::fflush(stdout);
}

// On a terminal, one line per data file that counts up in place; elsewhere (build
// logs) nothing until the summary.
void showProgress(const std::string &source, double fraction)
{
    progressLineOpen = fraction < 1.0;
    std::fprintf(stderr, "\rReading %s: %3d%%%s", source.c_str(), static_cast<int>(fraction * 100.0),
                 progressLineOpen ? "" : "\n");
    std::fflush(stderr);
}

} // namespace

int main(int argc, char *argv[])
{
    CommandLine line;
    try {
        line = parseCommandLine(argc, argv);
    } catch (const std::string &problem) {
        std::cerr << "kvostrel-import: " << problem << "\nTry \"kvostrel-import --help\".\n";
        return 2;
    }
    if (line.help) {
        std::cout << usage;
        return 0;
    }
    try {
        checkOutputIsAFile(line.options.output);
        if (line.fromMdb.empty()) {
            checkOutputIsNoInput(line.options);
        } else {
            checkMdbOutputIsNoInput(line.fromMdb, line.options.output);
        }
    } catch (const ImportError &error) {
        std::cerr << "kvostrel-import: " << error.what() << '\n';
        return 2;
    }

    line.options.derivedTables = [](const std::filesystem::path &database) {
        return std::vector<TableRows>{writeProductProtection(database)};
    };
    const auto started = std::chrono::steady_clock::now();
    try {
        const std::vector<TableRows> tables = !line.fromMdb.empty()
            ? importFromMdb(line.fromMdb, line.options.output, line.options.derivedTables)
            : importKvostrel(
                line.options,
                line.progressLines          ? ImportProgress(printProgressLine)
                    : isatty(STDERR_FILENO) ? ImportProgress(showProgress)
                                            : ImportProgress(),
                [](const std::string &message) { std::cerr << "kvostrel-import: warning: " << message << '\n'; });
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
        std::printf("Wrote %s in %.2f s:\n", line.options.output.c_str(), elapsed.count());
        for (const TableRows &t : tables) {
            std::printf("  %-25s %7ld rows\n", t.table.c_str(), t.rows);
        }
        return 0;
    } catch (const std::exception &error) {
        const bool expected = dynamic_cast<const ImportError *>(&error) != nullptr;
        std::cerr << (progressLineOpen ? "\n" : "") << "kvostrel-import: " << (expected ? "" : "unexpected failure: ")
                  << error.what() << '\n';
    } catch (...) {
        // Caught all the same, so that the temporary file is removed on the way here.
        std::cerr << (progressLineOpen ? "\n" : "") << "kvostrel-import: unexpected failure\n";
    }
    std::error_code ec;
    std::cerr << "kvostrel-import: " << line.options.output.string()
              << (std::filesystem::exists(line.options.output, ec) ? " was left as it was.\n" : " was not created.\n");
    return 1;
}
