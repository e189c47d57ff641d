#pragma once

#include "components/BackdropWidget.h"
#include "data/Protection.h"
#include "search/RecordExport.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace Search {

class WindowHost;

// "Listed protection": the products whose listed protection, or substance and product
// protection, ends between two dates the user gives, grouped by application; and the RX
// reference products with no listed protection left (None listed or Ended) and no ANDA of
// the same ingredient, dosage form, route and strength. A line leads to the product in
// the drug window (double click or Enter); Ctrl+S exports the list that has the keyboard.
class frmProtectionReport : public Components::BackdropWidget
{
    Q_OBJECT

public:
    explicit frmProtectionReport(WindowHost *host, QWidget *parent = nullptr);

    QDateEdit *dtpFrom() const { return m_from; }
    QDateEdit *dtpTo() const { return m_to; }
    // 0: listed protection; 1: substance and product protection.
    QComboBox *cboWhich() const { return m_which; }
    QPushButton *cmdList() const { return m_list; }
    QTreeWidget *lstEnding() const { return m_ending; }
    QTreeWidget *lstNoGeneric() const { return m_noGeneric; }
    QLabel *lblEnding() const { return m_endingCount; }
    QLabel *lblNoGeneric() const { return m_noGenericCount; }

    // Lists what ends in the range on show (the "List" button).
    void PressListButton();
    // The two lists as tables (what the export writes).
    ExportTable endingTable() const;
    ExportTable noGenericTable() const;
    // Writes the list that has the keyboard (else the first) to a CSV file the user chooses.
    void exportList();
    // The drug window shows the product of a line.
    void followLine(QTreeWidgetItem *item);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Reads every product's figures once (the database does not change while it is open).
    bool ensureFigures();
    void fillNoGeneric();

    WindowHost *m_host;
    QDateEdit *m_from = nullptr;
    QDateEdit *m_to = nullptr;
    QComboBox *m_which = nullptr;
    QPushButton *m_list = nullptr;
    QTreeWidget *m_ending = nullptr;
    QTreeWidget *m_noGeneric = nullptr;
    QLabel *m_endingCount = nullptr;
    QLabel *m_noGenericCount = nullptr;
    QDate m_release;
    bool m_read = false;
    std::vector<Db::Protection::ProductFigures> m_products;
};

} // namespace Search
