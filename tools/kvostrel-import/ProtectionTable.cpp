#include "ProtectionTable.h"

#include "ImportError.h"
#include "SqliteDatabase.h"
#include "common/AppError.h"
#include "data/Protection.h"
#include "data/SqlText.h"
#include "layout/Schema.h"

#include <string>
#include <vector>

namespace {

namespace Protection = Db::Protection;

// "2036-09-03", as QDate::toString(Qt::ISODate) writes it; empty for no date.
std::string isoDate(const QDate &date)
{
    if (!date.isValid()) {
        return {};
    }
    int year = date.year();
    if (year < 1 || year > 9999) {
        return date.toString(Qt::ISODate).toStdString();
    }
    std::string text = "0000-00-00";
    for (int i = 3; i >= 0; --i, year /= 10) {
        text[size_t(i)] = char('0' + year % 10);
    }
    text[5] = char('0' + date.month() / 10);
    text[6] = char('0' + date.month() % 10);
    text[8] = char('0' + date.day() / 10);
    text[9] = char('0' + date.day() % 10);
    return text;
}

// The UTF-8 of a text, converted once for a run of rows that share it ("None listed"):
// while the last text is kept, no other text can have its characters' address.
class Utf8Texts
{
public:
    const std::string &operator()(const QString &text)
    {
        if (m_last.constData() == text.constData() && m_last.size() == text.size()) {
            return m_lastUtf8;
        }
        m_last = text;
        m_lastUtf8 = text.toStdString();
        return m_lastUtf8;
    }

private:
    QString m_last;
    std::string m_lastUtf8;
};

} // namespace

TableRows writeProductProtection(const std::filesystem::path &database)
{
    SqliteDatabase db(database);
    db.execute("BEGIN");
    std::vector<Protection::ProductSummary> products;
    try {
        products = Protection::computeProductSummaries(db.handle());
    } catch (const Common::AppError &error) {
        throw ImportError(database.string() + ": cannot compute the listed protection of its products: "
                          + error.description().toStdString());
    }
    db.execute(Db::SqlText::createProductProtection().toStdString());
    {
        SqliteStatement insert = db.prepare(Db::SqlText::insertProductProtection().toStdString());
        Utf8Texts status;
        for (const Protection::ProductSummary &p : products) {
            const Protection::Figures &f = p.figures;
            // Bound without copying: each text lives until run().
            const std::string listedEnd = isoDate(f.listedEnd);
            const std::string listedSetter = f.listedSetter.toStdString();
            const std::string coreEnd = isoDate(f.coreEnd);
            const std::string coreSetter = f.coreSetter.toStdString();
            const std::string until180 = isoDate(f.until180);
            const std::string firstApproval = isoDate(p.generics.firstApproval);
            insert.bindInteger(1, p.id);
            insert.bindTextOrNull(2, status(f.status));
            insert.bindTextOrNull(3, listedEnd);
            insert.bindTextOrNull(4, listedSetter);
            insert.bindTextOrNull(5, coreEnd);
            insert.bindTextOrNull(6, coreSetter);
            insert.bindTextOrNull(7, until180);
            insert.bindInteger(8, p.generics.marketedARated);
            insert.bindTextOrNull(9, firstApproval);
            insert.bindInteger(10, p.generics.anyAnda);
            insert.run();
        }
    }
    db.execute("COMMIT");
    db.close();
    return {std::string(Schema::ProductProtection::Table.data(), Schema::ProductProtection::Table.size()),
            static_cast<long>(products.size())};
}
