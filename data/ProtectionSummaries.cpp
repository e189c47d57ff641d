// Every product's figures and ANDAs for the importer's table, read with SQLite's C API
// on any connection: the three tables once each, by the statements readAllProducts()
// runs, each value read as RowSet::fieldUtf8() gives it. A text becomes a QString only
// where the rules need one; the figures come from compute(), for the products that have
// patent or exclusivity rows (the others share the figures of a product without rows).
#include "data/Protection.h"

#include "common/AppError.h"
#include "data/Database.h"
#include "data/SqlText.h"

#include <QSet>

#include <sqlite3.h>

#include <string>
#include <string_view>
#include <unordered_map>

namespace Db {

namespace Protection {

namespace {

const QString Source = QStringLiteral("Protection.computeProductSummaries");

bool isAscii(std::string_view text)
{
    return Db::isAscii(QByteArrayView(text.data(), qsizetype(text.size())));
}

// A statement stepped to its end; every step's result is checked.
class Statement
{
public:
    Statement(sqlite3 *db, const QString &sql)
        : m_db(db),
          m_sql(sql)
    {
        const QByteArray utf8 = sql.toUtf8();
        if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &m_statement, nullptr) != SQLITE_OK) {
            fail();
        }
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    // True on a row, false at the end; throws AppError for anything else.
    bool next()
    {
        const int code = sqlite3_step(m_statement);
        if (code == SQLITE_ROW) {
            return true;
        }
        if (code != SQLITE_DONE) {
            fail();
        }
        return false;
    }

    qint64 integer(int column) const { return sqlite3_column_int64(m_statement, column); }

    // The column as UTF-8, the text fieldText(RowSet::field()) gives (Null: empty). The
    // bytes last until the next step, or are kept in m_scratch when they had to be made.
    std::string_view text(int column)
    {
        sqlite3_value *value = sqlite3_column_value(m_statement, column);
        switch (sqlite3_value_type(value)) {
        case SQLITE_NULL:
            return {};
        case SQLITE_FLOAT:
            m_scratch[column % Scratches] = fieldText(QVariant(sqlite3_value_double(value))).toStdString();
            return m_scratch[column % Scratches];
        default: {
            const auto *bytes = reinterpret_cast<const char *>(sqlite3_value_text(value));
            const std::string_view view(bytes, bytes ? size_t(sqlite3_value_bytes(value)) : 0);
            if (isAscii(view) || QByteArrayView(view.data(), qsizetype(view.size())).isValidUtf8()) {
                return view;
            }
            m_scratch[column % Scratches]
                = QString::fromUtf8(view.data(), qsizetype(view.size())).toStdString(); // as field() reads it
            return m_scratch[column % Scratches];
        }
        }
    }
    QString qtext(int column)
    {
        const std::string_view t = text(column);
        return QString::fromUtf8(t.data(), qsizetype(t.size()));
    }

private:
    [[noreturn]] void fail() const
    {
        throw Common::AppError(DbErrorNumber::QueryFailed, Source,
                               QString::fromUtf8(sqlite3_errmsg(m_db)) + QStringLiteral(" (") + m_sql
                                   + QLatin1Char(')'));
    }

    static constexpr int Scratches = 16;
    sqlite3 *m_db;
    QString m_sql;
    sqlite3_stmt *m_statement = nullptr;
    std::string m_scratch[Scratches];
};

// The lowercase names of a table's columns; empty when there is no such table.
QSet<QString> columnsOf(sqlite3 *db, const QString &table)
{
    QSet<QString> names;
    Statement columns(db, SqlText::tableColumns(table));
    while (columns.next()) {
        names.insert(columns.qtext(1).toLower());
    }
    return names;
}

QDate dateOf(std::string_view text)
{
    char16_t buffer[32];
    if (text.size() > std::size(buffer) || !isAscii(text)) {
        return parseDate(QString::fromUtf8(text.data(), qsizetype(text.size())));
    }
    for (size_t i = 0; i < text.size(); ++i) {
        buffer[i] = char16_t(static_cast<unsigned char>(text[i]));
    }
    return parseDate(QStringView(buffer, qsizetype(text.size())));
}

// The field, trimmed, is `word` (letter case ignored), as QString compares them; ASCII
// text (all but a few fields of the FDA's files) is compared without making a QString.
bool isWord(std::string_view field, QLatin1StringView word)
{
    if (isAscii(field)) {
        return QLatin1StringView(field.data(), qsizetype(field.size())).trimmed().compare(word, Qt::CaseInsensitive)
            == 0;
    }
    return QString::fromUtf8(field.data(), qsizetype(field.size())).trimmed().compare(word, Qt::CaseInsensitive) == 0;
}

bool isYes(std::string_view field)
{
    return isWord(field, QLatin1StringView("Y")) || isWord(field, QLatin1StringView("Yes"));
}

// Ingredient, dosage form, route and strength, letter case ignored: into `key`, the UTF-8
// of the case-folded text readAllProducts() keys them by (ASCII text folded in place).
void sameKey(Statement &row, const int (&columns)[4], std::string &key)
{
    key.clear();
    bool ascii = true;
    for (size_t i = 0; i < std::size(columns); ++i) {
        if (i > 0) {
            key += '\x1f';
        }
        const std::string_view t = row.text(columns[i]);
        ascii = ascii && isAscii(t);
        key += t;
    }
    if (!ascii) {
        key = QString::fromUtf8(key.data(), qsizetype(key.size())).toCaseFolded().toStdString();
        return;
    }
    for (char &c : key) {
        if (c >= 'A' && c <= 'Z') {
            c = char(c - 'A' + 'a');
        }
    }
}

struct ProductRows
{
    std::vector<PatentRow> patents;
    std::vector<ExclusivityRow> exclusivities;
};

std::string productKey(std::string_view application, std::string_view product)
{
    std::string key(application);
    key += '\x1f';
    key += product;
    return key;
}

} // namespace

std::vector<ProductSummary> computeProductSummaries(sqlite3 *db)
{
    const bool delistFlag = columnsOf(db, QStringLiteral("Patent")).contains(QStringLiteral("delist flag"));
    const bool withExclusivity = !columnsOf(db, QStringLiteral("exclusivity")).isEmpty();
    const bool applicationType = columnsOf(db, QStringLiteral("products")).contains(QStringLiteral("application type"));
    QDate release;
    if (!columnsOf(db, QStringLiteral("release")).isEmpty()) {
        Statement read(db, SqlText::releaseDate());
        if (read.next()) {
            release = parseDate(read.qtext(0));
        }
    }

    std::unordered_map<std::string, ProductRows> rows;
    // The broadest kind of each patent number on any product, by its UTF-8.
    std::unordered_map<std::string, PatentKind> kindAnywhere;
    {
        Statement read(db, SqlText::allPatentRows(delistFlag));
        while (read.next()) {
            PatentRow row;
            row.id = read.integer(0);
            row.number = read.qtext(1).trimmed();
            row.expires = dateOf(read.text(2));
            row.substance = isYes(read.text(3));
            row.product = isYes(read.text(4));
            row.useCode = read.qtext(5).trimmed();
            row.delisted = isYes(read.text(6));
            if (!isPediatricPatent(row.number)) {
                const PatentKind kind = patentKind(row);
                const auto [found, added] = kindAnywhere.try_emplace(row.number.toStdString(), kind);
                if (!added && int(kind) < int(found->second)) {
                    found->second = kind;
                }
            }
            rows[productKey(read.text(7), read.text(8))].patents.push_back(std::move(row));
        }
    }
    if (withExclusivity) {
        Statement read(db, SqlText::allExclusivityRows());
        while (read.next()) {
            rows[productKey(read.text(3), read.text(4))].exclusivities.push_back(
                {read.integer(0), read.qtext(1).trimmed(), dateOf(read.text(2))});
        }
    }

    const auto kindElsewhere = [&kindAnywhere](const QString &number) -> std::optional<PatentKind> {
        const auto found = kindAnywhere.find(number.toStdString());
        return found == kindAnywhere.end() ? std::nullopt : std::optional<PatentKind>(found->second);
    };
    const Figures withoutRows = compute({}, {}, kindElsewhere, release);
    std::vector<ProductSummary> products;
    // Each product's ANDAs, tallied in the map by ingredient, dosage form, route and
    // strength (its entries stay where they are while it grows).
    std::unordered_map<std::string, Generics> generics;
    std::vector<const Generics *> sameGenerics;
    {
        Statement read(db, SqlText::allProtectionProducts(applicationType));
        constexpr int keyColumns[4] = {10, 6, 7, 5}; // ingredient, dosage form, route, strength
        std::string key;
        while (read.next()) {
            ProductSummary &p = products.emplace_back();
            p.id = read.integer(0);
            const auto found = rows.find(productKey(read.text(2), read.text(3)));
            if (found == rows.end()) {
                p.figures = withoutRows;
            } else {
                p.figures = compute(found->second.patents, found->second.exclusivities, kindElsewhere, release);
                p.figures.timeline.clear();
            }
            if (!applicationType) {
                continue;
            }
            sameKey(read, keyColumns, key);
            auto same = generics.find(key);
            if (same == generics.end()) {
                same = generics.emplace(key, Generics()).first;
            }
            sameGenerics.push_back(&same->second);
            if (isWord(read.text(1), QLatin1StringView("A"))) {
                const bool counted = isMarketedARated(read.qtext(8).trimmed(), read.qtext(12).trimmed());
                countAnda(same->second, counted, counted ? dateOf(read.text(11)) : QDate());
            }
        }
    }
    for (size_t i = 0; i < sameGenerics.size(); ++i) {
        products[i].generics = *sameGenerics[i];
    }
    return products;
}

} // namespace Protection

} // namespace Db
