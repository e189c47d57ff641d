#pragma once

#include "search/AdvancedSearch.h"

#include <QHash>
#include <QWidget>

#include <array>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace Search {

// The advanced search panel (`picAdvanced`): fifteen parameter rows, the matching and
// joining options, "FIND" and "CANCEL". It lies over the details grid, keeps its ticks,
// texts and options for as long as the window lives, and reads them out for the
// statement builder. It runs no query itself: the window does, on findRequested.
class AdvancedPanel : public QWidget
{
    Q_OBJECT

public:
    explicit AdvancedPanel(const AdvancedSearch::RowDesigns &rows, QWidget *parent = nullptr);

    QCheckBox *chkParam(int i) const { return m_chkParam.at(i); }
    QLabel *lblParam(int i) const { return m_lblParam.at(i); }
    QLineEdit *txtParam(int i) const { return m_txtParam.at(i); }
    // The column a row searches (its label's tag); empty for an unused row.
    QString paramTag(int i) const;
    QLabel *lblParamSettings(int i) const { return m_lblParamSettings.at(i); }
    QRadioButton *optParamSettings(int i) const { return m_optParamSettings.at(i); }
    QRadioButton *optParamConcat(int i) const { return m_optParamConcat.at(i); }
    QWidget *picBox() const { return m_picBox; }
    QPushButton *cmdAdvancedSearch() const { return m_cmdAdvancedSearch; }
    QPushButton *cmdAdvancedCancel() const { return m_cmdAdvancedCancel; }
    // Tells the user what the last "FIND" needs (empty when all is well).
    QLabel *lblAdvancedMessage() const { return m_lblAdvancedMessage; }

    // The state as the statement builder reads it: rows 0 to 14 in order.
    QVector<AdvancedSearch::Row> rows() const;
    AdvancedSearch::MatchOption matchOption() const;
    AdvancedSearch::JoinOption joinOption() const;

    // "... Includes ..." and "All Keywords" selected, nothing ticked, every text empty.
    void setDefaults();
    void showMessage(const QString &message);
    // The text box of the first row the window uses (where the keyboard starts).
    QLineEdit *firstRowText() const;

signals:
    void findRequested();
    void cancelRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void layoutContent();
    // A click on `caption` acts on `control` (ticks it, or chooses it).
    void actOnClick(QLabel *caption, QAbstractButton *control);
    QRect contentRect() const;

    std::array<QCheckBox *, AdvancedSearch::RowCount> m_chkParam{};
    std::array<QLabel *, AdvancedSearch::RowCount> m_lblParam{};
    std::array<QLineEdit *, AdvancedSearch::RowCount> m_txtParam{};
    // 0 to 2 and 7 caption the match options, 3 to 6 the rest.
    std::array<QLabel *, 8> m_lblParamSettings{};
    std::array<QRadioButton *, AdvancedSearch::MatchOptionCount> m_optParamSettings{};
    std::array<QRadioButton *, 2> m_optParamConcat{};
    QButtonGroup *m_matchGroup = nullptr;
    QButtonGroup *m_joinGroup = nullptr;
    QWidget *m_picBox = nullptr;
    QPushButton *m_cmdAdvancedSearch = nullptr;
    QPushButton *m_cmdAdvancedCancel = nullptr;
    QLabel *m_lblAdvancedMessage = nullptr;
    QHash<QObject *, QAbstractButton *> m_captionControls;
};

} // namespace Search
