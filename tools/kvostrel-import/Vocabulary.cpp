#include "Vocabulary.h"

#include "DelimitedReader.h"
#include "FdaSource.h"
#include "ImportError.h"
#include "TextDecoding.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace {

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> pieces;
    for (;;) {
        const std::size_t at = text.find(separator);
        pieces.push_back(trimmed(text.substr(0, at)));
        if (at == std::string_view::npos) {
            return pieces;
        }
        text.remove_prefix(at + 1);
    }
}

std::string joined(const std::vector<std::string> &texts, std::string_view separator)
{
    std::string text;
    for (const std::string &t : texts) {
        text += (text.empty() ? "" : std::string(separator)) + t;
    }
    return text;
}

std::string inQuotes(std::string_view text)
{
    return '"' + std::string(text) + '"';
}

} // namespace

std::string foldedCase(std::string_view text)
{
    std::string folded(text);
    std::transform(folded.begin(), folded.end(), folded.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return folded;
}

Vocabulary::Vocabulary(std::string kind, std::string sourceName, std::vector<VocabularyRow> terms)
    : m_kind(std::move(kind)),
      m_sourceName(std::move(sourceName)),
      m_terms(std::move(terms))
{
    for (std::size_t i = 0; i < m_terms.size(); ++i) {
        m_termIndex.emplace(foldedCase(m_terms[i].name), i); // the first of two equal names wins
    }
}

const VocabularyRow *Vocabulary::term(std::string_view name) const
{
    const auto found = m_termIndex.find(foldedCase(name));
    return found == m_termIndex.end() ? nullptr : &m_terms[found->second];
}

std::string Vocabulary::addListingSpelling(std::string_view value, const std::vector<std::string> &termNames)
{
    if (value.empty()) {
        return "the listing value is empty";
    }
    if (const VocabularyRow *same = term(value)) {
        return inQuotes(value) + " is a term of " + m_sourceName + " itself (" + same->name
            + "); only the product list's other spellings belong here";
    }
    std::vector<std::size_t> terms;
    for (const std::string &name : termNames) {
        const auto found = m_termIndex.find(foldedCase(name));
        if (found == m_termIndex.end()) {
            return inQuotes(name) + " is no " + m_kind + " of " + m_sourceName;
        }
        terms.push_back(found->second);
    }
    if (terms.empty()) {
        return "no " + m_kind + " of " + m_sourceName + " is given for " + inQuotes(value);
    }
    if (!m_listing.emplace(foldedCase(value), std::move(terms)).second) {
        return inQuotes(value) + " is listed twice";
    }
    return {};
}

std::optional<std::vector<std::size_t>> Vocabulary::partTerms(const std::string &folded) const
{
    if (const auto found = m_termIndex.find(folded); found != m_termIndex.end()) {
        return std::vector<std::size_t>{found->second};
    }
    if (const auto listed = m_listing.find(folded); listed != m_listing.end()) {
        return listed->second;
    }
    return std::nullopt;
}

std::vector<Vocabulary::Part> Vocabulary::parts(const std::string &value) const
{
    const std::vector<std::string_view> pieces = split(value, ',');
    const std::size_t n = pieces.size();
    // fewest[i]: the fewest parts covering pieces i.. (n + 1 where none does), and the
    // end of the first of them. Of two splits with as many parts, the one whose first
    // part is longer wins.
    std::vector<std::size_t> fewest(n + 1, n + 1), firstEnd(n + 1, n);
    fewest[n] = 0;
    for (std::size_t i = n; i-- > 0;) {
        std::string candidate;
        std::vector<std::string> names;
        for (std::size_t j = i; j < n; ++j) {
            candidate += (j == i ? "" : ", ") + std::string(pieces[j]);
            names.push_back(candidate);
        }
        for (std::size_t j = n; j > i; --j) {
            if (!pieces[j - 1].empty() && fewest[j] + 1 < fewest[i] && partTerms(foldedCase(names[j - i - 1]))) {
                fewest[i] = fewest[j] + 1;
                firstEnd[i] = j;
            }
        }
    }
    std::vector<Part> found;
    if (fewest[0] > n) {
        return found;
    }
    for (std::size_t i = 0; i < n; i = firstEnd[i]) {
        std::string name(pieces[i]);
        for (std::size_t j = i + 1; j < firstEnd[i]; ++j) {
            name += ", " + std::string(pieces[j]);
        }
        const std::string folded = foldedCase(name);
        found.push_back(
            {m_termIndex.contains(folded) ? m_terms[m_termIndex.at(folded)].name : name, *partTerms(folded)});
    }
    return found;
}

VocabularyRow Vocabulary::rowOf(const std::string &value, const std::vector<Part> &parts) const
{
    std::vector<std::size_t> terms; // each once, in order
    std::vector<std::string> partTexts;
    for (const Part &part : parts) {
        std::vector<std::string> names;
        for (const std::size_t t : part.terms) {
            names.push_back(m_terms[t].name);
            if (std::find(terms.begin(), terms.end(), t) == terms.end()) {
                terms.push_back(t);
            }
        }
        partTexts.push_back(m_termIndex.contains(foldedCase(part.name)) ? part.name
                                                                        : part.name + " = " + joined(names, " + "));
    }

    VocabularyRow row{value, {}, {}, {}, {}, {}};
    if (parts.size() == 1) {
        std::vector<std::string> names;
        for (const std::size_t t : terms) {
            names.push_back(m_terms[t].name);
        }
        row.definition = "The FDA product list's wording for " + joined(names, " + ") + '.';
        if (terms.size() == 1) {
            row.useRestrictions = m_terms[terms[0]].useRestrictions;
            row.shortName = m_terms[terms[0]].shortName;
        }
    } else {
        row.definition = "Several " + m_kind + "s: " + joined(partTexts, "; ") + '.';
    }
    std::vector<std::string> codes, concepts;
    for (const std::size_t t : terms) {
        const VocabularyRow &term = m_terms[t];
        if (!term.definition.empty()) {
            row.definition += ' ' + term.name + ": " + term.definition;
        }
        for (const auto &[list, code] : {std::pair{&codes, &term.fdaCode}, {&concepts, &term.nciConceptId}}) {
            if (!code->empty() && std::find(list->begin(), list->end(), *code) == list->end()) {
                list->push_back(*code);
            }
        }
    }
    row.fdaCode = joined(codes, "; ");
    row.nciConceptId = joined(concepts, "; ");
    return row;
}

AddedRows Vocabulary::rowsFor(const DistinctValues &values) const
{
    AddedRows added;
    for (const auto &[folded, value] : values) {
        if (m_termIndex.contains(folded)) {
            continue;
        }
        if (const auto listed = m_listing.find(folded); listed != m_listing.end()) {
            added.rows.push_back(rowOf(value, {{value, listed->second}}));
        } else if (const std::vector<Part> found = parts(value); found.size() > 1) {
            added.rows.push_back(rowOf(value, found));
        } else {
            added.rows.push_back({value, {}, {}, {}, {}, {}});
            added.unmatched.push_back(value);
        }
    }
    return added;
}

std::vector<std::string> listingTermNames(std::string_view terms)
{
    std::vector<std::string> names;
    for (const std::string_view name : split(terms, ';')) {
        if (!name.empty()) {
            names.emplace_back(name);
        }
    }
    return names;
}

void readListingTerms(const std::filesystem::path &path, const std::vector<Vocabulary *> &vocabularies,
                      std::vector<std::string> &warnings)
{
    const std::string text = readWholeFile(path);
    DelimitedReader reader(path.string(), TextDecoding::withoutByteOrderMark(text), '\t',
                           DelimitedReader::Quoting::None, DelimitedReader::Ending::LineEnd);
    const std::size_t kind = reader.column("kind"), value = reader.column("listing_value"),
                      terms = reader.column("terms");
    reader.column("note"); // every line says what its mapping rests on
    std::map<std::pair<Vocabulary *, std::string>, long> lines;
    while (reader.next()) {
        const auto fail = [&](const std::string &problem) {
            throw ImportError(reader.sourceName() + ", line " + std::to_string(reader.lineNumber()) + ": " + problem);
        };
        const auto vocabulary = std::find_if(vocabularies.begin(), vocabularies.end(), [&](const Vocabulary *v) {
            return foldedCase(v->kind()) == foldedCase(trimmed(reader.field(kind)));
        });
        if (vocabulary == vocabularies.end()) {
            std::string known;
            for (const Vocabulary *v : vocabularies) {
                known += (known.empty() ? "" : " or ") + inQuotes(v->kind());
            }
            fail("the kind " + inQuotes(reader.field(kind)) + " is none of " + known);
        }
        const std::string_view listed = trimmed(reader.field(value));
        const auto [earlier, first] = lines.emplace(std::pair{*vocabulary, foldedCase(listed)}, reader.lineNumber());
        if (!first && !listed.empty()) {
            fail(inQuotes(listed) + " is listed already on line " + std::to_string(earlier->second));
        }
        if (const std::string problem
            = (*vocabulary)->addListingSpelling(listed, listingTermNames(reader.field(terms)));
            !problem.empty()) {
            fail(problem);
        }
    }
    if (std::string warning = reader.reinterpretedWarning(); !warning.empty()) {
        warnings.push_back(std::move(warning));
    }
}
