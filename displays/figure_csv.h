// The traces of a figure as a CSV table, for people who want the numbers
// rather than the picture: every point of every trace, nothing reduced.
#pragma once

#include <ostream>
#include <string>

#include "displays/figure.h"

namespace tarvio {

// A header line naming the columns with their units, then one row per point.
// Traces that share their x values share one x column (named by their
// axes' x label) placed before them; a trace with x values of its own gets
// its own x column. A column shorter than the table leaves its cells empty.
// Numbers are written in the shortest form that reads back to the same
// double. A figure without traces writes the header line only.
void write_figure_csv(const Figure& f, std::ostream& out);

// The same into a file, written under a temporary name and renamed when
// complete. Throws std::runtime_error naming the file when it cannot be
// written.
void write_figure_csv(const Figure& f, const std::string& path);

}  // namespace tarvio
