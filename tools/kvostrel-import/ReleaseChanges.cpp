#include "ReleaseChanges.h"

#include "DelimitedReader.h"
#include "FdaSource.h"
#include "ImportError.h"
#include "SqliteDatabase.h"
#include "TextDecoding.h"
#include "layout/ImportLayout.h"
#include "layout/Schema.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <set>
#include <string_view>

using namespace ImportLayout;

namespace {

namespace P = Schema::Products;
namespace Pt = Schema::Patent;
namespace E = Schema::Exclusivity;
namespace C = Schema::Changes;

std::size_t columnOf(const TableMapping &mapping, QLatin1StringView column)
{
    for (std::size_t i = 0; i < mapping.columns.size(); ++i) {
        if (mapping.columns[i].column == column) {
            return i;
        }
    }
    throw ImportError("no column " + text(column) + " in " + text(mapping.table));
}

std::vector<std::vector<std::string>> readTable(const FdaSource &fda, const TableMapping &mapping, const char *file)
{
    std::vector<std::vector<std::string>> rows;
    if (&mapping == &exclusivityMapping && !fda.holds(file)) {
        return rows;
    }
    const std::string content = fda.read(file);
    DelimitedReader reader(fda.displayName(file), TextDecoding::withoutByteOrderMark(content), '~',
                           DelimitedReader::Quoting::DoubleQuotes,
                           fda.isArchive() ? DelimitedReader::Ending::Any : DelimitedReader::Ending::NoLineEnd);
    constexpr std::size_t noColumn = std::size_t(-1);
    std::vector<std::size_t> positions;
    for (const ColumnMapping &c : mapping.columns) {
        positions.push_back(c.optional && !reader.hasColumn(c.header) ? noColumn : reader.column(c.header));
    }
    std::string storage;
    while (reader.next()) {
        std::vector<std::string> &row = rows.emplace_back();
        row.reserve(positions.size());
        for (std::size_t i = 0; i < positions.size(); ++i) {
            row.emplace_back(positions[i] == noColumn
                                 ? std::string_view()
                                 : fieldPart(reader.field(positions[i]), mapping.columns[i].part, storage));
        }
    }
    return rows;
}

// A date as the FDA writes it ("Oct 7, 2014", "Approved Prior to Jan 1, 1982") as a day
// number; -1 when the text is no such date.
long dayNumber(std::string_view text, int addMonths = 0)
{
    constexpr std::string_view prior = "Approved Prior to ";
    if (text.starts_with(prior)) {
        text.remove_prefix(prior.size());
    }
    constexpr std::string_view months[]
        = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const auto month = std::find(std::begin(months), std::end(months), text.substr(0, 3));
    const std::size_t comma = text.find(", ");
    if (month == std::end(months) || text.size() < 11 || comma == std::string_view::npos || text[3] != ' ') {
        return -1;
    }
    long d = 0, y = 0;
    for (char c : text.substr(4, comma - 4)) {
        if (c < '0' || c > '9') {
            return -1;
        }
        d = d * 10 + (c - '0');
    }
    for (char c : text.substr(comma + 2)) {
        if (c < '0' || c > '9') {
            return -1;
        }
        y = y * 10 + (c - '0');
    }
    long m = (month - std::begin(months)) + addMonths; // 0-based
    y += m / 12;
    m %= 12;
    constexpr int monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    d = std::min<long>(d, monthDays[m] + (m == 1 && leap ? 1 : 0)); // a month's end stays in its month
    // Days since 1970-01-01 of the civil date (Howard Hinnant's algorithm).
    const long ym = m + 1 <= 2 ? y - 1 : y;
    const long era = ym / 400;
    const long yoe = ym - era * 400;
    const long mp = (m + 1 + 9) % 12;
    const long doy = (153 * mp + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::string productKey(const std::vector<std::string> &row, std::size_t type, std::size_t number, std::size_t product)
{
    return (row[type].empty() ? std::string() : row[type] + ' ') + row[number] + '/' + row[product];
}

// Where the newer release's record of a change is: the product the row names.
void placeAtProduct(ReleaseChange &change, const std::vector<std::string> &row, std::size_t type, std::size_t number,
                    std::size_t product)
{
    change.applicationType = row[type];
    change.applicationNumber = row[number];
    change.productNumber = row[product];
}

// Products, listings and exclusivities are compared through this shape: a key, and
// per record what its kinds of change compare.
struct Item
{
    std::string key;
    std::string subKey; // tells records of one key apart (a product's type)
    const std::vector<std::string> *row = nullptr;
    std::set<std::string> useCodes; // patent listings: the use codes of its rows
    // What pairs the items left once the keys are paired, when it is not the key.
    std::string looseKey;
};

class Comparer
{
public:
    Comparer(const ReleaseRecords &older, const ReleaseRecords &newer)
        : m_older(older),
          m_newer(newer),
          m_olderDay(dayNumber(older.date)),
          m_newerDay(dayNumber(newer.date))
    {
    }

    ReleaseComparison run()
    {
        compareProducts();
        comparePatents();
        compareExclusivities();
        findFirstGenerics();
        nameProducts();
        return std::move(m_result);
    }

private:
    const std::size_t pType
        = columnOf(productsMapping, P::ApplicationType),
        pNumber = columnOf(productsMapping, P::NDANumber), pProduct = columnOf(productsMapping, P::ProductNumber),
        pKind = columnOf(productsMapping, P::Type), pTradeName = columnOf(productsMapping, P::TradeName),
        pStrength = columnOf(productsMapping, P::Strength), pNote = columnOf(productsMapping, P::StrengthNote),
        pIngredient = columnOf(productsMapping, P::Ingredient), pForm = columnOf(productsMapping, P::DosageForm),
        pRoute = columnOf(productsMapping, P::Route), pApproval = columnOf(productsMapping, P::ApprovalDate),
        pRld = columnOf(productsMapping, P::RLD), pRs = columnOf(productsMapping, P::RS),
        pTe = columnOf(productsMapping, P::TECode), pApplicant = columnOf(productsMapping, P::Applicant);
    const std::size_t tType
        = columnOf(patentMapping, Pt::ApplicationType),
        tNumber = columnOf(patentMapping, Pt::NDANumber), tProduct = columnOf(patentMapping, Pt::ProductNumber),
        tPatent = columnOf(patentMapping, Pt::PatentNumber), tExpiry = columnOf(patentMapping, Pt::ExpireDate),
        tUse = columnOf(patentMapping, Pt::UseCode), tSubstance = columnOf(patentMapping, Pt::SubstanceFlag),
        tProductFlag = columnOf(patentMapping, Pt::ProductFlag), tDelist = columnOf(patentMapping, Pt::DelistFlag);
    const std::size_t eType = columnOf(exclusivityMapping, E::ApplicationType),
                      eNumber = columnOf(exclusivityMapping, E::NDANumber),
                      eProduct = columnOf(exclusivityMapping, E::ProductNumber),
                      eCode = columnOf(exclusivityMapping, E::Code), eDate = columnOf(exclusivityMapping, E::Date);

    // Each change names its product's trade name, the newer release's where it has one.
    void nameProducts()
    {
        std::unordered_map<std::string, std::string> names;
        for (const ReleaseChange &change : m_result.changes) {
            if (!change.productKey.empty()) {
                names.emplace(change.productKey, std::string());
            }
        }
        if (names.empty()) {
            return;
        }
        for (const auto *release : {&m_older, &m_newer}) {
            for (const auto &row : release->products) {
                if (const auto found = names.find(productKey(row, pType, pNumber, pProduct)); found != names.end()) {
                    found->second = row[pTradeName];
                }
            }
        }
        for (ReleaseChange &change : m_result.changes) {
            if (change.tradeName.empty() && !change.productKey.empty()) {
                change.tradeName = names[change.productKey];
            }
        }
    }

    ReleaseChange &add(std::string kind, const std::string &key, std::string oldValue, std::string newValue)
    {
        ReleaseChange &change = m_result.changes.emplace_back();
        change.kind = std::move(kind);
        change.key = key;
        change.oldValue = std::move(oldValue);
        change.newValue = std::move(newValue);
        return change;
    }

    // Pairs the items of both releases by key and sub-key, then what is left of one key
    // one to one (in file order); calls `changed` for each pair and `added` / `removed`
    // for the rest.
    template<typename Changed, typename Added, typename Removed>
    static void pair(const std::vector<Item> &older, const std::vector<Item> &newer, Changed changed, Added added,
                     Removed removed)
    {
        // Indexes of older items by key (and sub-key), last in file order first, so that
        // pop_back takes the first.
        std::unordered_map<std::string, std::vector<std::size_t>> exact;
        exact.reserve(older.size());
        for (std::size_t i = older.size(); i-- > 0;) {
            exact[older[i].key + '\t' + older[i].subKey].push_back(i);
        }
        std::vector<char> used(older.size(), 0);
        std::vector<const Item *> unmatchedNewer;
        for (const Item &item : newer) {
            const auto found = exact.find(item.key + '\t' + item.subKey);
            if (found != exact.end() && !found->second.empty()) {
                used[found->second.back()] = 1;
                changed(older[found->second.back()], item);
                found->second.pop_back();
            } else {
                unmatchedNewer.push_back(&item);
            }
        }
        std::unordered_map<std::string, std::vector<std::size_t>> left;
        for (std::size_t i = older.size(); i-- > 0;) {
            if (!used[i]) {
                left[older[i].looseKey.empty() ? older[i].key : older[i].looseKey].push_back(i);
            }
        }
        for (const Item *item : unmatchedNewer) {
            const auto found = left.find(item->looseKey.empty() ? item->key : item->looseKey);
            if (found != left.end() && !found->second.empty()) {
                used[found->second.back()] = 1;
                changed(older[found->second.back()], *item);
                found->second.pop_back();
            } else {
                added(*item);
            }
        }
        for (std::size_t i = 0; i < older.size(); ++i) {
            if (!used[i]) {
                removed(older[i]);
            }
        }
    }

    ReleaseChange &addForProduct(std::string kind, const std::vector<std::string> &row, std::string oldValue,
                                 std::string newValue, bool inNewer)
    {
        const std::string key = productKey(row, pType, pNumber, pProduct);
        ReleaseChange &change = add(std::move(kind), key, std::move(oldValue), std::move(newValue));
        change.productKey = key;
        if (inNewer) {
            placeAtProduct(change, row, pType, pNumber, pProduct);
        }
        return change;
    }

    void compareProducts()
    {
        const auto items = [&](const ReleaseRecords &release) {
            std::vector<Item> list;
            for (const auto &row : release.products) {
                list.push_back({productKey(row, pType, pNumber, pProduct), row[pKind], &row, {}, {}});
            }
            return list;
        };
        const std::vector<Item> older = items(m_older), newer = items(m_newer);
        m_result.older.products = static_cast<long>(older.size());
        m_result.newer.products = static_cast<long>(newer.size());
        pair(
            older, newer,
            [&](const Item &o, const Item &n) {
                const auto &a = *o.row;
                const auto &b = *n.row;
                const auto differ = [&](std::size_t column, const char *kind) {
                    if (a[column] != b[column]) {
                        addForProduct(kind, b, a[column], b[column], true);
                    }
                };
                if (a[pKind] != b[pKind]) {
                    addForProduct("Type changed: " + a[pKind] + " to " + b[pKind], b, a[pKind], b[pKind], true);
                }
                differ(pTe, "TE code changed");
                differ(pRld, "RLD changed");
                differ(pRs, "RS changed");
                differ(pTradeName, "Trade name changed");
                differ(pApplicant, "Applicant changed");
                differ(pIngredient, "Ingredient changed");
                if (a[pForm] != b[pForm] || a[pRoute] != b[pRoute]) {
                    addForProduct("Dosage form/route changed", b, a[pForm] + ';' + a[pRoute],
                                  b[pForm] + ';' + b[pRoute], true);
                }
                // A product number reused for another strength is a strength change; a
                // note alone reworded is not.
                differ(pStrength, "Strength changed");
                differ(pNote, "Note reworded");
                differ(pApproval, "Approval date changed");
            },
            [&](const Item &n) {
                const long approved = dayNumber((*n.row)[pApproval]);
                const bool newApproval = m_olderDay >= 0 && approved > m_olderDay;
                addForProduct(newApproval ? "Product added: approved since the older release"
                                          : "Product added: approved before the older release",
                              *n.row, {}, describeProduct(*n.row), true);
            },
            [&](const Item &o) { addForProduct("Product removed", *o.row, describeProduct(*o.row), {}, false); });
    }

    std::string describeProduct(const std::vector<std::string> &row) const
    {
        return row[pTradeName] + ' ' + row[pStrength] + ' ' + row[pForm] + ';' + row[pRoute] + " (" + row[pKind] + ')';
    }

    // A patent listing is one patent of one product; its rows differ by use code alone.
    std::vector<Item> listings(const ReleaseRecords &release) const
    {
        std::vector<Item> list;
        std::unordered_map<std::string, std::size_t> at;
        at.reserve(release.patents.size());
        for (const auto &row : release.patents) {
            std::string key = productKey(row, tType, tNumber, tProduct) + " patent " + row[tPatent];
            const auto [it, isNew] = at.try_emplace(key, list.size());
            if (isNew) {
                list.push_back({std::move(key), {}, &row, {}, {}});
            }
            if (!row[tUse].empty()) {
                list[it->second].useCodes.insert(row[tUse]);
            }
        }
        return list;
    }

    static std::string joined(const std::set<std::string> &values)
    {
        std::string text;
        for (const std::string &value : values) {
            text += (text.empty() ? "" : ", ") + value;
        }
        return text;
    }

    ReleaseChange &addForPatent(std::string kind, const std::vector<std::string> &row, std::string oldValue,
                                std::string newValue, bool inNewer)
    {
        const std::string product = productKey(row, tType, tNumber, tProduct);
        ReleaseChange &change
            = add(std::move(kind), product + " patent " + row[tPatent], std::move(oldValue), std::move(newValue));
        change.productKey = product;
        if (inNewer) {
            placeAtProduct(change, row, tType, tNumber, tProduct);
            change.patentNumber = row[tPatent];
        }
        return change;
    }

    void comparePatents()
    {
        const std::vector<Item> older = listings(m_older), newer = listings(m_newer);
        m_result.older.patentListings = static_cast<long>(older.size());
        m_result.newer.patentListings = static_cast<long>(newer.size());
        const auto flags = [&](const std::vector<std::string> &row) {
            return "substance " + (row[tSubstance].empty() ? std::string("-") : row[tSubstance]) + ", product "
                + (row[tProductFlag].empty() ? std::string("-") : row[tProductFlag]);
        };
        pair(
            older, newer,
            [&](const Item &o, const Item &n) {
                const auto &a = *o.row;
                const auto &b = *n.row;
                const long before = dayNumber(a[tExpiry]), after = dayNumber(b[tExpiry]);
                if (before != after) {
                    addForPatent(after > before ? "Patent expiry moved later" : "Patent expiry moved earlier", b,
                                 a[tExpiry], b[tExpiry], true);
                }
                if (o.useCodes != n.useCodes) {
                    addForPatent("Patent use code changed", b, joined(o.useCodes), joined(n.useCodes), true);
                }
                if (flags(a) != flags(b)) {
                    addForPatent("Patent flags changed", b, flags(a), flags(b), true);
                }
                if (a[tDelist] != b[tDelist]) {
                    addForPatent("Patent delist flag changed", b, a[tDelist], b[tDelist], true);
                }
            },
            [&](const Item &n) { addForPatent("Patent listing added", *n.row, {}, (*n.row)[tExpiry], true); },
            [&](const Item &o) {
                const long expiry = dayNumber((*o.row)[tExpiry]);
                const bool expired = m_newerDay >= 0 && expiry >= 0 && expiry < m_newerDay;
                addForPatent(expired ? "Patent listing removed: expired" : "Patent listing removed before expiry",
                             *o.row, (*o.row)[tExpiry], {}, false);
            });
    }

    // Exclusivities by product, code and date; a PED row extends another row of its
    // product by six months and is known by the code of that row, so that it pairs
    // with its like although both dates moved.
    std::vector<Item> exclusivities(const ReleaseRecords &release) const
    {
        std::unordered_map<std::string, std::vector<const std::vector<std::string> *>> byProduct;
        for (const auto &row : release.exclusivities) {
            byProduct[productKey(row, eType, eNumber, eProduct)].push_back(&row);
        }
        std::vector<Item> list;
        for (const auto &row : release.exclusivities) {
            const std::string product = productKey(row, eType, eNumber, eProduct);
            std::string code = row[eCode];
            if (code == "PED") {
                const long date = dayNumber(row[eDate]);
                for (const auto *other : byProduct[product]) {
                    if ((*other)[eCode] != "PED" && dayNumber((*other)[eDate], 6) == date) {
                        code = "PED of " + (*other)[eCode];
                        break;
                    }
                }
            }
            // A PED whose extended row is in one release only still pairs with its like.
            list.push_back({product + ' ' + code, {}, &row, {}, product + ' ' + row[eCode]});
            list.back().useCodes.insert(code);
        }
        return list;
    }

    ReleaseChange &addForExclusivity(std::string kind, const Item &item, std::string oldValue, std::string newValue,
                                     bool inNewer)
    {
        const auto &row = *item.row;
        const std::string product = productKey(row, eType, eNumber, eProduct);
        ReleaseChange &change
            = add(std::move(kind), product + ' ' + *item.useCodes.begin(), std::move(oldValue), std::move(newValue));
        change.productKey = product;
        if (inNewer) {
            placeAtProduct(change, row, eType, eNumber, eProduct);
            change.exclusivityCode = row[eCode];
        }
        return change;
    }

    void compareExclusivities()
    {
        std::vector<Item> older = exclusivities(m_older), newer = exclusivities(m_newer);
        m_result.older.exclusivities = static_cast<long>(older.size());
        m_result.newer.exclusivities = static_cast<long>(newer.size());
        // Same code and date first (the sub-key), then one left of a code to one left.
        for (auto *list : {&older, &newer}) {
            for (Item &item : *list) {
                item.subKey = (*item.row)[eDate];
            }
        }
        pair(
            older, newer,
            [&](const Item &o, const Item &n) {
                if (dayNumber((*o.row)[eDate]) != dayNumber((*n.row)[eDate])) {
                    addForExclusivity("Exclusivity date changed", n, (*o.row)[eDate], (*n.row)[eDate], true);
                }
            },
            [&](const Item &n) { addForExclusivity("Exclusivity added", n, {}, (*n.row)[eDate], true); },
            [&](const Item &o) {
                const long ends = dayNumber((*o.row)[eDate]);
                const bool ended = m_newerDay >= 0 && ends >= 0 && ends < m_newerDay;
                addForExclusivity(ended ? "Exclusivity removed: ended" : "Exclusivity removed before its end", o,
                                  (*o.row)[eDate], {}, false);
            });
    }

    // An ingredient, dosage form, route and strength that had a reference product and
    // no ANDA in the older release, and has an ANDA in the newer.
    void findFirstGenerics()
    {
        struct Group
        {
            bool reference = false;
            const std::vector<std::string> *anda = nullptr;
        };
        const auto groups = [&](const ReleaseRecords &release) {
            std::unordered_map<std::string, Group> map;
            map.reserve(release.products.size());
            for (const auto &row : release.products) {
                Group &group = map[row[pIngredient] + "; " + row[pForm] + ';' + row[pRoute] + "; " + row[pStrength]];
                group.reference = group.reference || row[pRld] == "Yes";
                if (row[pType] == "A" && group.anda == nullptr) {
                    group.anda = &row;
                }
            }
            return map;
        };
        const auto older = groups(m_older), newer = groups(m_newer);
        for (const auto &[key, group] : newer) {
            const auto was = older.find(key);
            if (group.anda != nullptr && was != older.end() && was->second.reference && was->second.anda == nullptr) {
                const auto &row = *group.anda;
                ReleaseChange &change
                    = add("First generic", key, {},
                          productKey(row, pType, pNumber, pProduct) + ' ' + row[pTradeName] + ", " + row[pApplicant]);
                change.tradeName = row[pTradeName];
                placeAtProduct(change, row, pType, pNumber, pProduct);
            }
        }
    }

    const ReleaseRecords &m_older;
    const ReleaseRecords &m_newer;
    long m_olderDay, m_newerDay;
    ReleaseComparison m_result;
};

} // namespace

ReleaseRecords readRelease(const std::filesystem::path &zipOrFolder)
{
    const FdaSource fda(zipOrFolder);
    ReleaseRecords release;
    release.date = fda.writtenOn("products.txt");
    release.products = readTable(fda, productsMapping, "products.txt");
    release.patents = readTable(fda, patentMapping, "patent.txt");
    release.exclusivities = readTable(fda, exclusivityMapping, "exclusivity.txt");
    return release;
}

ReleaseComparison compareReleases(const ReleaseRecords &older, const ReleaseRecords &newer)
{
    return Comparer(older, newer).run();
}

void writeChanges(SqliteDatabase &db, const ReleaseComparison &comparison, const std::string &olderDate,
                  const std::string &newerDate)
{
    const auto b = [](QLatin1StringView name) { return bracketed(text(name)); };
    std::string create = "CREATE TABLE " + b(C::Table) + " (ID INTEGER PRIMARY KEY";
    for (QLatin1StringView column :
         {C::Kind, C::Key, C::TradeName, C::OldValue, C::NewValue, C::OlderRelease, C::NewerRelease, C::ApplicationType,
          C::NDANumber, C::ProductNumber, C::PatentNumber, C::ExclusivityCode}) {
        create += ", " + b(column) + " TEXT COLLATE NOCASE";
    }
    db.execute(create + ')');
    db.execute("CREATE INDEX " + bracketed(text(C::Table) + " by " + text(C::Kind)) + " ON " + b(C::Table) + " ("
               + b(C::Kind) + ", " + b(C::Key) + ')');
    SqliteStatement insert
        = db.prepare("INSERT INTO " + b(C::Table) + " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    long id = 0;
    for (const ReleaseChange &change : comparison.changes) {
        insert.bindInteger(1, ++id);
        int at = 2;
        for (const std::string *value :
             {&change.kind, &change.key, &change.tradeName, &change.oldValue, &change.newValue, &olderDate, &newerDate,
              &change.applicationType, &change.applicationNumber, &change.productNumber, &change.patentNumber,
              &change.exclusivityCode}) {
            insert.bindTextOrNull(at++, *value);
        }
        insert.run();
    }
    db.execute("CREATE TABLE " + b(C::ReleaseTable) + " (ID INTEGER PRIMARY KEY, " + b(C::ReleaseDate)
               + " TEXT COLLATE NOCASE, " + b(C::Products) + " INTEGER, " + b(C::PatentListings) + " INTEGER, "
               + b(C::Exclusivities) + " INTEGER)");
    SqliteStatement release = db.prepare("INSERT INTO " + b(C::ReleaseTable) + " VALUES (?, ?, ?, ?, ?)");
    long releaseId = 0;
    for (const auto &[date, counts] : {std::pair{&olderDate, &comparison.older}, {&newerDate, &comparison.newer}}) {
        release.bindInteger(1, ++releaseId);
        release.bindTextOrNull(2, *date);
        release.bindInteger(3, counts->products);
        release.bindInteger(4, counts->patentListings);
        release.bindInteger(5, counts->exclusivities);
        release.run();
    }
}
