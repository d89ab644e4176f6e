// Several modules' decoded SPD in one table: one column per module, one row
// per line of the decoded listing, the rows whose values differ marked.
#pragma once

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>
#include <vector>

#include "dimmio/spd.h"

namespace dimmio::cli {

struct SideBySideColumn {
  std::string Name;  // "slot 0 (0x50)", a file name
  SpdFacts Facts;
};

struct SideBySideRow {
  std::string Field;                // the listing's name; a continued line "NAME (2)"
  bool Continues = false;           // a continued line: printed without a name
  std::vector<std::string> Values;  // one per column; "-" where the module has no such line
  bool Differ = false;
};

// The rows in the listings' order: a row comes after every row it follows in
// any module's listing, so each column reads in its own listing's order;
// where the modules leave the order open, the first column's lines first.
std::vector<SideBySideRow> SideBySideRows(const std::vector<SideBySideColumn>& columns);

// The table, its rows that differ marked with '*' in the first column.
void PrintSideBySide(const std::vector<SideBySideColumn>& columns, std::ostream& out);

// {"columns": [names], "rows": [{"field", "values", "differ"}]}
nlohmann::json SideBySideJson(const std::vector<SideBySideColumn>& columns);

}  // namespace dimmio::cli
