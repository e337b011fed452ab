// CSV export of a figure's traces.
#include "displays/figure_csv.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "runtime/output_file.h"

namespace tarvio {

namespace {

struct Column {
  std::string name;
  const Trace* trace;
  bool is_x;  // the column holds the trace's x values
};

std::string quoted(const std::string& s) {
  if (s.find_first_of(",\"\n") == std::string::npos) return s;
  std::string q = "\"";
  for (char c : s) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

std::vector<Column> columns_of(const Figure& f) {
  std::vector<Column> cols;
  size_t x_col = SIZE_MAX;  // the most recent x column
  for (const Axes& a : f.axes) {
    for (const Trace& t : a.traces) {
      // Share the most recent x column when the values agree; it then reads
      // its values from the longest of the traces sharing it.
      if (x_col != SIZE_MAX && t.same_x(*cols[x_col].trace)) {
        if (t.size() > cols[x_col].trace->size()) cols[x_col].trace = &t;
      } else {
        x_col = cols.size();
        cols.push_back({a.xlabel.empty() ? "x" : a.xlabel, &t, true});
      }
      cols.push_back({t.label.empty() ? "y" : t.label, &t, false});
    }
  }
  return cols;
}

}  // namespace

void write_figure_csv(const Figure& f, std::ostream& out) {
  const std::vector<Column> cols = columns_of(f);
  size_t rows = 0;
  for (size_t i = 0; i < cols.size(); ++i) {
    out << (i ? "," : "") << quoted(cols[i].name);
    rows = std::max(rows, cols[i].trace->size());
  }
  out << '\n';
  // Rows are formatted into a buffer and written in large blocks.
  std::string buf;
  buf.reserve(1 << 20);
  char num[32];
  for (size_t r = 0; r < rows; ++r) {
    for (size_t i = 0; i < cols.size(); ++i) {
      if (i) buf += ',';
      const Trace& t = *cols[i].trace;
      if (r >= t.size()) continue;
      const double v = cols[i].is_x ? t.x_at(r) : (*t.y)[r];
      const auto res = std::to_chars(num, num + sizeof num, v);
      buf.append(num, res.ptr);
    }
    buf += '\n';
    if (buf.size() >= (1 << 20)) {
      out.write(buf.data(), std::streamsize(buf.size()));
      buf.clear();
    }
  }
  out.write(buf.data(), std::streamsize(buf.size()));
}

void write_figure_csv(const Figure& f, const std::string& path) {
  // A unique temporary beside the file, every byte checked, renamed into
  // place when complete (runtime/output_file.h).
  OutputFile file(path);
  OutputFileStream out(file);
  write_figure_csv(f, out);
  file.commit();
}

}  // namespace tarvio
