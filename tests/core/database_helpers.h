// Database files in the states the tests need: one damaged page in a table, as a failing disk or
// another program leaves it.
#pragma once

#include <string>

namespace zt::dbtest {

// Overwrites the first page of Table's b-tree in the closed database file Path with bytes that are
// no page at all; every other page stays intact.
void DamageTablePage(const std::string& Path, const std::string& Table);

} // namespace zt::dbtest
