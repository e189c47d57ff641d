#pragma once

#include <QAbstractItemView>
#include <QFocusEvent>
#include <QItemSelectionModel>

namespace Components {

// An item view that does not make its first line current when it merely receives the
// keyboard focus. Qt's views do that on focus-in; here the focus follows the pointer,
// and a line must become current only when the user or the program chooses one (the
// first arrow key then lands on the first line, not the second).
template<typename View>
class QuietFocusView : public View
{
public:
    using View::View;

protected:
    void focusInEvent(QFocusEvent *event) override
    {
        QItemSelectionModel *selection = this->selectionModel();
        const bool hadCurrent = selection && selection->currentIndex().isValid();
        if (selection && !hadCurrent) {
            const QSignalBlocker blocker(selection);
            View::focusInEvent(event);
            selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
            return;
        }
        View::focusInEvent(event);
    }
};

} // namespace Components
