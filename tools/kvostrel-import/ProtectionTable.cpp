#include "ProtectionTable.h"

#include "ImportError.h"
#include "SqliteDatabase.h"
#include "common/AppError.h"
#include "data/Database.h"
#include "data/Protection.h"
#include "data/SqlText.h"
#include "layout/Schema.h"

#include <string>
#include <vector>

namespace {

namespace Protection = Db::Protection;

std::string isoDate(const QDate &date)
{
    return date.isValid() ? date.toString(Qt::ISODate).toStdString() : std::string();
}

} // namespace

TableRows writeProductProtection(const std::filesystem::path &database)
{
    std::vector<Protection::ProductFigures> products;
    {
        Db::Connection &connection = Db::Connection::shared();
        try {
            connection.open(QString::fromStdString(database.string()));
            products = Protection::readAllProducts(Protection::readReleaseDate());
        } catch (const Common::AppError &error) {
            connection.close();
            throw ImportError(database.string() + ": cannot compute the listed protection of its products: "
                              + error.description().toStdString());
        }
        connection.close();
    }
    SqliteDatabase db(database);
    db.execute("BEGIN");
    db.execute(Db::SqlText::createProductProtection().toStdString());
    {
        SqliteStatement insert = db.prepare(Db::SqlText::insertProductProtection().toStdString());
        for (const Protection::ProductFigures &p : products) {
            const Protection::Figures &f = p.figures;
            // Bound without copying: each text lives until run().
            const std::string texts[] = {
                f.status.toStdString(),     isoDate(f.listedEnd), f.listedSetter.toStdString(),     isoDate(f.coreEnd),
                f.coreSetter.toStdString(), isoDate(f.until180),  isoDate(p.generics.firstApproval)};
            insert.bindInteger(1, p.id);
            for (int i = 0; i < 6; ++i) {
                insert.bindTextOrNull(i + 2, texts[i]);
            }
            insert.bindInteger(8, p.generics.marketedARated);
            insert.bindTextOrNull(9, texts[6]);
            insert.bindInteger(10, p.generics.anyAnda);
            insert.run();
        }
    }
    db.execute("COMMIT");
    db.close();
    return {std::string(Schema::ProductProtection::Table.data(), Schema::ProductProtection::Table.size()),
            static_cast<long>(products.size())};
}
