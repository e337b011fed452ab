// Pictures of figures without a desktop: the entry point that tarvio-cli
// looks up by name after loading this library, so that the command line
// itself never links the window toolkit.
#pragma once

#include <cstddef>

#include "displays/figure.h"

// The name tarvio-cli looks up.
#define TARVIO_RENDER_PNG_SYMBOL "tarvio_render_figure_png"

extern "C" {

// Paints `figure` on a width x height picture with the display windows'
// painter, on the offscreen platform (an application object is made when
// the process has none), and writes it as a PNG file. The file is written
// under a temporary name and renamed when complete. Returns 0, or -1 with a
// message in `error` (at most error_size bytes, terminated).
using tarvio_render_png_fn = int (*)(const tarvio::Figure* figure, const char* path, int width, int height, char* error,
                                     size_t error_size);
int tarvio_render_figure_png(const tarvio::Figure* figure, const char* path, int width, int height, char* error,
                             size_t error_size);
}
