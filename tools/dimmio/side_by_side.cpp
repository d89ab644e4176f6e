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
  // Every field once, in the order first met, and for each the fields that
  // follow it in some module's listing.
  std::vector<SideBySideRow> fields;
  std::vector<std::vector<size_t>> followers;
  std::vector<int> unplacedBefore;  // fields that come before it and are not placed yet
  for (size_t c = 0; c < columns.size(); ++c) {
    constexpr size_t kNone = static_cast<size_t>(-1);
    size_t previous = kNone;
    for (const auto& [field, value] : KeyedLines(columns[c].Facts)) {
      size_t at = 0;
      while (at < fields.size() && fields[at].Field != field) ++at;
      if (at == fields.size()) {
        fields.push_back(
            {field, field.back() == ')', std::vector<std::string>(columns.size(), "-"), false});
        followers.emplace_back();
        unplacedBefore.push_back(0);
      }
      fields[at].Values[c] = value;
      if (previous != kNone) {
        followers[previous].push_back(at);
        ++unplacedBefore[at];
      }
      previous = at;
    }
  }
  // Next is always the first-met field that every module puts after the
  // ones placed, so each column keeps its listing's order whatever the
  // order of the columns.
  std::vector<SideBySideRow> rows;
  std::vector<bool> placed(fields.size(), false);
  while (rows.size() < fields.size()) {
    size_t next = 0;
    while (next < fields.size() && (placed[next] || unplacedBefore[next] > 0)) ++next;
    if (next == fields.size()) {  // listings that disagree on an order: the first unplaced
      next = 0;
      while (placed[next]) ++next;
    }
    placed[next] = true;
    rows.push_back(fields[next]);
    for (size_t f : followers[next]) --unplacedBefore[f];
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
  const auto shown = [](const SideBySideRow& row) {
    return row.Continues ? std::string() : row.Field;
  };
  std::vector<size_t> widths(columns.size() + 1, 0);
  for (size_t c = 0; c < columns.size(); ++c) widths[c + 1] = columns[c].Name.size();
  for (const SideBySideRow& row : rows) {
    widths[0] = std::max(widths[0], shown(row).size());
    for (size_t c = 0; c < row.Values.size(); ++c)
      widths[c + 1] = std::max(widths[c + 1], row.Values[c].size());
  }
  const auto print = [&](const char* mark, const std::string& field,
                         const std::vector<std::string>& cells) {
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
