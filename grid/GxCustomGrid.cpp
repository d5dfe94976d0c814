// Middle layer of the table control model.
#include "grid/GxCustomGrid.h"

TGxCustomGrid::TGxCustomGrid(QObject* parent) : TGxCustomGridControl(parent) {}

TGxCustomGrid::~TGxCustomGrid() = default;
