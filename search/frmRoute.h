#pragma once

#include "search/RecordWindow.h"

namespace Search {

// "Route of Administration": the route vocabulary looked up by name, one route's five
// fields, and a double click that lists every product given by a route containing the name.
class frmRoute : public RecordWindow
{
    Q_OBJECT

public:
    explicit frmRoute(WindowHost *host, QWidget *parent = nullptr);

    static constexpr int RowCount = 5;
    static SearchWindowDesign windowDesign();
};

} // namespace Search
