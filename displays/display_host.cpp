// The installed display host.
#include "displays/display_host.h"

#include <stdexcept>

namespace tarvio {

namespace {

std::shared_ptr<DisplayHost>& installed() {
  static std::shared_ptr<DisplayHost> host;
  return host;
}

}  // namespace

std::shared_ptr<DisplayHost> set_display_host(std::shared_ptr<DisplayHost> host) {
  std::shared_ptr<DisplayHost> previous = std::move(installed());
  installed() = std::move(host);
  return previous;
}

DisplayHost* display_host() { return installed().get(); }

DisplayHost& require_display_host(const std::string& operation) {
  if (DisplayHost* h = display_host()) return *h;
  throw std::runtime_error(operation +
                           ": no display windows in this program; the analysis displays need the desktop program "
                           "(tarvio-cli plot draws them into PNG files)");
}

}  // namespace tarvio
