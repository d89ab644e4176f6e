#include "side_by_side.h"

#include <algorithm>

namespace dimmio::cli {

namespace {

// A module's lines keyed by name; a line continuing the one before carries
// that name and its place: "at standard speeds: (2)".
std::vector<std::pair<std::string, std::string>> KeyedLines(const SpdFacts& facts) {
  std::vector<std::pair<std::string, std::string>> keyed;
  std::string last;
  int continued = 1;
  for (const SpdLine& line : SpdDecodeLines(facts)) {
    if (!line.Name.empty()) {
      last = line.Name;
      continued = 1;
      keyed.emplace_back(line.Name, line.Value);
    } else {
      keyed.emplace_back(last + " (" + std::to_string(++continued) + ")", line.Value);
    }
  }
  return keyed;
}

}  // namespace

std::vector<SideBySideRow> SideBySideRows(const std::vector<SideBySideColumn>& columns) {
  std::vector<SideBySideRow> rows;
  for (size_t c = 0; c < columns.size(); ++c) {
    size_t after = 0;  // where this module's next line goes when it is new
    for (const auto& line : KeyedLines(columns[c].Facts)) {
      const std::string& field = line.first;
      auto row = std::find_if(rows.begin(), rows.end(),
                              [&](const SideBySideRow& r) { return r.Field == field; });
      if (row == rows.end()) {
        row = rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(after),
                          SideBySideRow{field, field.back() == ')',
                                        std::vector<std::string>(columns.size(), "-"), false});
      }
      row->Values[c] = line.second;
      after = static_cast<size_t>(row - rows.begin()) + 1;
    }
  }
  for (SideBySideRow& row : rows) {
    row.Differ = std::any_of(row.Values.begin(), row.Values.end(),
                             [&](const std::string& v) { return v != row.Values.front(); });
  }
  return rows;
}

void PrintSideBySide(const std::vector<SideBySideColumn>& columns, std::ostream& out) {
  const std::vector<SideBySideRow> rows = SideBySideRows(columns);
  // The field column and each module's column as wide as their widest cell.
  const auto shown = [](const SideBySideRow& row) { return row.Continues ? std::string() : row.Field; };
  std::vector<size_t> widths(columns.size() + 1, 0);
  for (size_t c = 0; c < columns.size(); ++c) widths[c + 1] = columns[c].Name.size();
  for (const SideBySideRow& row : rows) {
    widths[0] = std::max(widths[0], shown(row).size());
    for (size_t c = 0; c < row.Values.size(); ++c) widths[c + 1] = std::max(widths[c + 1], row.Values[c].size());
  }
  const auto print = [&](const char* mark, const std::string& field, const std::vector<std::string>& cells) {
    std::string line = mark + field;
    line.append(widths[0] - field.size(), ' ');
    for (size_t c = 0; c < cells.size(); ++c) {
      line += "  " + cells[c];
      if (c + 1 < cells.size()) line.append(widths[c + 1] - cells[c].size(), ' ');
    }
    out << line << '\n';
  };
  std::vector<std::string> names;
  for (const SideBySideColumn& column : columns) names.push_back(column.Name);
  print("    ", "", names);
  for (const SideBySideRow& row : rows) print(row.Differ ? "  * " : "    ", shown(row), row.Values);
  out << "  (* marks the rows whose values differ)\n";
}

nlohmann::json SideBySideJson(const std::vector<SideBySideColumn>& columns) {
  nlohmann::json json = {{"columns", nlohmann::json::array()}, {"rows", nlohmann::json::array()}};
  for (const SideBySideColumn& column : columns) json["columns"].push_back(column.Name);
  for (const SideBySideRow& row : SideBySideRows(columns)) {
    json["rows"].push_back({{"field", row.Field}, {"values", row.Values}, {"differ", row.Differ}});
  }
  return json;
}

}  // namespace dimmio::cli
