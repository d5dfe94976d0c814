// The group picker's own tree, built in two passes over list_group: first the top-level groups,
// then each group under the nodes of its parent present at that moment (so a group whose parent
// row comes later is left out), and the path of a node as the picker gives it.
#pragma once

#include "core/DatabaseLoader.h"

class THostStore;

// Rows whose look-up fails are passed over; the next row follows.
TGroupTree BuildGroupPickerTree(THostStore& Store);

// The captions from the top down to Node, joined with "\" ("Servers\Office\Printers").
QString GroupPickerPath(const TGroupTree& Tree, int Node);
