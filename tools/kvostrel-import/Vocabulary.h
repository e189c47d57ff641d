#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One row of a vocabulary table, in its column order. Empty text is stored as Null.
struct VocabularyRow
{
    std::string name;
    std::string definition;
    std::string useRestrictions;
    std::string shortName;
    std::string fdaCode;
    std::string nciConceptId;
};

// Text as the database's NOCASE collation compares it: ASCII letters in lower case.
std::string foldedCase(std::string_view text);

// Values a column of products.txt holds, each once (letter case ignored), in folded
// order, as first spelled.
using DistinctValues = std::map<std::string, std::string>;

// What a vocabulary table holds beyond the vocabulary's own terms.
struct AddedRows
{
    std::vector<VocabularyRow> rows;
    std::vector<std::string> unmatched; // values that are no term and no listing spelling, nor made of them
};

// A vocabulary (the dosage forms or the routes) with the FDA product list's own
// spellings of its terms. The products name dosage forms and routes as that list does:
// INJECTABLE for the term INJECTION, OTIC for AURICULAR (OTIC), and kits or several
// routes as one value whose parts are separated by ", " ("CAPSULE, TABLET").
class Vocabulary
{
public:
    // `kind` names one row ("dosage form", "route"); `sourceName` is how messages name the file.
    Vocabulary(std::string kind, std::string sourceName, std::vector<VocabularyRow> terms);

    const std::string &kind() const { return m_kind; }
    const std::string &sourceName() const { return m_sourceName; }
    const std::vector<VocabularyRow> &terms() const { return m_terms; }
    // The term named `name` (letter case ignored), or null.
    const VocabularyRow *term(std::string_view name) const;

    // Records that the product list writes `value` for the terms `termNames`. Returns
    // the problem as a message, or an empty text: the value is a term itself or already
    // recorded, or a name is no term.
    std::string addListingSpelling(std::string_view value, const std::vector<std::string> &termNames);

    // One row for each value that is not a term: a listing spelling carries its terms'
    // definitions and codes; a value made of several terms and spellings joined by ", "
    // (split where the fewest, so longest, parts cover it) names each part's term and
    // definition; any other value gets a row without definition and is reported.
    AddedRows rowsFor(const DistinctValues &values) const;

private:
    struct Part
    {
        std::string name; // as the value spells it
        std::vector<std::size_t> terms;
    };

    // The terms a part stands for: a term itself, or a listing spelling's terms.
    std::optional<std::vector<std::size_t>> partTerms(const std::string &folded) const;
    std::vector<Part> parts(const std::string &value) const;
    VocabularyRow rowOf(const std::string &value, const std::vector<Part> &parts) const;

    std::string m_kind;
    std::string m_sourceName;
    std::vector<VocabularyRow> m_terms;
    std::map<std::string, std::size_t> m_termIndex; // folded name -> position in m_terms
    std::map<std::string, std::vector<std::size_t>> m_listing; // folded listing spelling -> its terms
};

// The term names of a listing line's terms field: separated by ";", without the spaces
// around them, empty ones left out.
std::vector<std::string> listingTermNames(std::string_view terms);

// Reads the file of the product list's spellings (tab-separated, header columns kind,
// listing_value, terms, note; several terms separated by ";") into the vocabulary of
// each line's kind. Throws ImportError naming the file and line at fault. A warning
// about the file's text, if any, goes to `warnings`.
void readListingTerms(const std::filesystem::path &path, const std::vector<Vocabulary *> &vocabularies,
                      std::vector<std::string> &warnings);
