// Middle layer of the table control model; the widget layer adds mouse and keyboard handling
// on top of the grid it displays.
#pragma once

#include "grid/GxCustomGridControl.h"

class TGxCustomGrid : public TGxCustomGridControl {
    Q_OBJECT
public:
    explicit TGxCustomGrid(QObject* parent = nullptr);
    ~TGxCustomGrid() override;
};
