// GPIB connection through the Linux GPIB library (libgpib.so.0), loaded by
// name when first needed; without it the operation fails with a text saying
// that GPIB support is not installed. The bus time-out is the record's
// time-out rounded up to the library's next step.
#include <dlfcn.h>

#include <algorithm>
#include <mutex>

#include "instrument/hwio/transport.h"

namespace tarvio::hwio_module {

namespace {

// Status bits and error codes of the GPIB library's interface.
constexpr int kErr = 0x8000;
constexpr int kTimo = 0x4000;
constexpr int kEnd = 0x2000;  // the read ended with EOI
constexpr int kEabo = 6;      // I/O aborted (time-out)

struct GpibLib {
  int (*ibdev)(int, int, int, int, int, int) = nullptr;
  int (*ibwrt)(int, const void*, long) = nullptr;
  int (*ibrd)(int, void*, long) = nullptr;
  int (*ibloc)(int) = nullptr;
  int (*ibonl)(int, int) = nullptr;
  int (*ibeot)(int, int) = nullptr;
  int (*ThreadIberr)() = nullptr;
  long (*ThreadIbcntl)() = nullptr;
  std::string error;  // why the library is not usable
};

template <class F>
bool bind(void* h, const char* name, F& f) {
  f = reinterpret_cast<F>(dlsym(h, name));
  return f != nullptr;
}

const GpibLib& gpib_lib() {
  static GpibLib lib;
  static std::once_flag once;
  std::call_once(once, [] {
    void* h = dlopen("libgpib.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!h) {
      lib.error = "GPIB support is not installed (the Linux GPIB library libgpib.so.0 was not found)";
      return;
    }
    if (!(bind(h, "ibdev", lib.ibdev) && bind(h, "ibwrt", lib.ibwrt) && bind(h, "ibrd", lib.ibrd) &&
          bind(h, "ibloc", lib.ibloc) && bind(h, "ibonl", lib.ibonl) && bind(h, "ibeot", lib.ibeot) &&
          bind(h, "ThreadIberr", lib.ThreadIberr) && bind(h, "ThreadIbcntl", lib.ThreadIbcntl)))
      lib.error = "GPIB support is not usable: libgpib.so.0 lacks a required function";
  });
  return lib;
}

// The library's time-out steps: index k waits kSteps[k] seconds.
int timeout_code(double s) {
  static const double kSteps[] = {0,   10e-6, 30e-6, 100e-6, 300e-6, 1e-3, 3e-3, 10e-3, 30e-3,
                                  0.1, 0.3,   1,     3,      10,     30,   100,  300,   1000};
  for (int k = 1; k < 18; ++k)
    if (kSteps[k] >= s) return k;
  return 17;
}

const char* error_text(int iberr) {
  switch (iberr) {
    case 0:
      return "system error";
    case 1:
      return "the interface is not controller-in-charge";
    case 2:
      return "no listener on the bus (is the instrument on and at this address?)";
    case 3:
      return "the interface is not addressed correctly";
    case 4:
      return "invalid argument";
    case 5:
      return "the interface is not system controller";
    case kEabo:
      return "time-out";
    case 7:
      return "no such GPIB board";
    case 10:
      return "operation not allowed now";
    case 11:
      return "the board does not support this";
    case 12:
      return "no resources";
    case 14:
      return "bus error";
    case 20:
      return "device not found";
    default:
      return "GPIB error";
  }
}

class GpibTransport : public Transport {
 public:
  GpibTransport(const GpibLib& lib, int ud, std::string where) : lib_(lib), ud_(ud), where_(std::move(where)) {}
  ~GpibTransport() override { lib_.ibonl(ud_, 0); }
  void write(const uint8_t* p, size_t n, bool end_of_message) override {
    size_t done = 0;
    do {
      size_t chunk = std::min<size_t>(n - done, size_t(1) << 20);
      // EOI goes with the last byte of a message only.
      lib_.ibeot(ud_, end_of_message && done + chunk == n ? 1 : 0);
      int sta = lib_.ibwrt(ud_, p + done, static_cast<long>(chunk));
      if (sta & kErr) fail("write", sta);
      long sent = lib_.ThreadIbcntl();
      if (sent <= 0 && chunk > 0) throw TransportError(where_ + ": write made no progress");
      done += static_cast<size_t>(sent);
    } while (done < n);
  }
  size_t read_some(uint8_t* p, size_t n) override {
    int sta = lib_.ibrd(ud_, p, static_cast<long>(n));
    if (sta & kErr) fail("read", sta);
    long got = lib_.ThreadIbcntl();
    if (got <= 0) throw TransportError(where_ + ": the instrument sent nothing");
    // A reply ended by EOI alone counts as ended by a line feed.
    if ((sta & kEnd) && p[got - 1] != '\n' && static_cast<size_t>(got) < n) p[got++] = '\n';
    return static_cast<size_t>(got);
  }
  void go_to_local() override {
    int sta = lib_.ibloc(ud_);
    if (sta & kErr) fail("return to local", sta);
  }
  std::string where() const override { return where_; }

 private:
  [[noreturn]] void fail(const char* what, int sta) {
    int e = lib_.ThreadIberr();
    if ((sta & kTimo) || e == kEabo) throw TransportError(where_ + ": " + what + " timed out");
    throw TransportError(where_ + ": " + what + " failed: " + error_text(e));
  }
  const GpibLib& lib_;
  int ud_;
  std::string where_;
};

}  // namespace

std::unique_ptr<Transport> open_gpib(const ConnectionConfig& c) {
  const GpibLib& lib = gpib_lib();
  if (!lib.error.empty()) throw TransportError(lib.error);
  std::string where = "GPIB" + std::to_string(c.gpib_board) + "::" + std::to_string(c.gpib_primary);
  if (c.gpib_secondary >= 0) where += "::" + std::to_string(c.gpib_secondary);
  if (c.gpib_primary < 0 || c.gpib_primary > 30 || c.gpib_secondary < -1 || c.gpib_secondary > 31)
    throw TransportError(where + ": the address is outside primary 0 to 30, secondary -1 to 31");
  int sad = c.gpib_secondary < 0 ? 0 : 0x60 + c.gpib_secondary;
  int ud = lib.ibdev(c.gpib_board, c.gpib_primary, sad, timeout_code(c.timeout_s), 1, 0);
  if (ud < 0) throw TransportError(where + ": cannot open the device: " + error_text(lib.ThreadIberr()));
  return std::make_unique<GpibTransport>(lib, ud, where);
}

}  // namespace tarvio::hwio_module
