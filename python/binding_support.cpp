// The records of a Parameters object, the conversion of values between
// Python and the library, the collecting reporter and the running of
// library work on a thread of its own.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <complex>
#include <condition_variable>
#include <exception>
#include <filesystem>
#include <mutex>
#include <thread>

#include "control/calculation_context.h"
#include "control/initialize.h"
#include "control/param_set_ops.h"
#include "hosts/cli/cli_args.h"
#include "python/binding.h"
#include "records/record_value.h"
#include "records/thread_state.h"

namespace tarvio::py {

namespace {

thread_local CallMessages* t_messages = nullptr;

// Hands every dialog to the calling thread's collection; a thread that
// collects nothing prints it as the command line does.
class CollectingReporter : public Reporter {
 public:
  void show(const Message& m) override {
    if (t_messages)
      t_messages->messages.push_back(m);
    else
      StderrReporter().show(m);
  }
  std::string ask(const std::string&, const std::string&, const std::vector<std::string>&,
                  const std::string& default_button) override {
    return default_button;
  }
};

// Installs a collection on the calling thread for a scope.
class MessageScope {
 public:
  explicit MessageScope(CallMessages& m) : old_(t_messages) { t_messages = &m; }
  ~MessageScope() { t_messages = old_; }
  MessageScope(const MessageScope&) = delete;
  MessageScope& operator=(const MessageScope&) = delete;

 private:
  CallMessages* old_;
};

// A numpy array as a Value: 0-d a scalar, 1-d a row, 2-d a matrix (column
// major, as values are stored).
Value array_value(const pyb::array& a0) {
  const bool is_complex = a0.dtype().kind() == 'c';
  if (a0.ndim() > 2) throw FieldError("a value has at most two dimensions, not " + std::to_string(a0.ndim()));
  const size_t rows = a0.ndim() == 2 ? size_t(a0.shape(0)) : 1;
  const size_t cols = a0.ndim() == 0 ? 1 : size_t(a0.shape(a0.ndim() - 1));
  if (is_complex) {
    auto a = pyb::array_t<std::complex<double>, pyb::array::f_style | pyb::array::forcecast>::ensure(a0);
    if (!a) throw FieldError("a complex array cannot be read");
    std::vector<cplx> data(a.data(), a.data() + a.size());
    if (a0.ndim() == 0) return Value::complex(1, 1, std::move(data));
    return Value::complex(rows, cols, std::move(data));
  }
  auto a = pyb::array_t<double, pyb::array::f_style | pyb::array::forcecast>::ensure(a0);
  if (!a) throw FieldError("an array of " + std::string(pyb::str(a0.dtype())) + " is not a number row");
  std::vector<double> data(a.data(), a.data() + a.size());
  if (a0.ndim() == 0) return Value(data.at(0));
  return Value::real(rows, cols, std::move(data));
}

}  // namespace

Records::Records() {
  State* old = use_thread_state(&state);
  try {
    InitializeAll();
    // As a calculation starts: the playback sample rate follows the format.
    state.dontSetSampleRate = 0;
    SetSampleRate();
  } catch (...) {
    use_thread_state(old);
    throw;
  }
  use_thread_state(old);
}

Value to_value(const pyb::handle& o, bool field_is_text) {
  if (o.is_none()) return Value();
  if (pyb::isinstance<pyb::str>(o)) {
    const std::string s = o.cast<std::string>();
    return field_is_text ? Value(s) : cli::parse_value(s);
  }
  if (pyb::isinstance<pyb::bool_>(o)) return Value(o.cast<bool>() ? 1.0 : 0.0);
  if (PyComplex_Check(o.ptr())) {
    const auto c = o.cast<std::complex<double>>();
    return Value::complex(1, 1, std::vector<cplx>{c});
  }
  if (PyNumber_Check(o.ptr()) && !pyb::isinstance<pyb::array>(o)) {
    if (PyLong_Check(o.ptr())) {
      // Whole numbers beyond 2^53 (48-bit addresses are not) would change.
      const double d = o.cast<double>();
      return Value(d);
    }
    return Value(o.cast<double>());
  }
  if (pyb::isinstance<pyb::dict>(o)) {
    Record r;
    for (auto kv : o.cast<pyb::dict>()) r.set(kv.first.cast<std::string>(), to_value(kv.second, false));
    return Value(std::move(r));
  }
  const pyb::module_ np = pyb::module_::import("numpy");
  const pyb::array a = np.attr("asarray")(o);
  if (a.dtype().kind() == 'U' || a.dtype().kind() == 'O')
    throw FieldError("a value of " + std::string(pyb::str(pyb::type::handle_of(o).attr("__name__"))) +
                     " is not a number, a row of numbers or a text");
  return array_value(a);
}

pyb::object from_value(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::Text:
      return pyb::str(v.str());
    case Value::Kind::Record: {
      pyb::dict d;
      for (const auto& [name, field] : v.record().fields()) d[pyb::str(name)] = from_value(field);
      return d;
    }
    case Value::Kind::List: {
      pyb::list l;
      for (const Value& item : v.list()) l.append(from_value(item));
      return l;
    }
    default:
      break;
  }
  if (v.rows() == 0 && v.cols() == 0) return pyb::none();
  const bool row = v.rows() == 1;
  if (v.kind() == Value::Kind::Complex) {
    const std::vector<cplx> c = v.to_complex();
    if (v.numel() == 1) return pyb::cast(c[0]);
    pyb::array_t<std::complex<double>, pyb::array::f_style> a(
        row ? std::vector<ssize_t>{ssize_t(v.cols())} : std::vector<ssize_t>{ssize_t(v.rows()), ssize_t(v.cols())});
    std::copy(c.begin(), c.end(), a.mutable_data());
    return a;
  }
  const std::vector<double> r = v.to_reals();
  if (v.numel() == 1) return pyb::float_(r[0]);
  pyb::array_t<double, pyb::array::f_style> a(row ? std::vector<ssize_t>{ssize_t(v.cols())}
                                                  : std::vector<ssize_t>{ssize_t(v.rows()), ssize_t(v.cols())});
  std::copy(r.begin(), r.end(), a.mutable_data());
  return a;
}

std::string CallMessages::errors() const {
  std::string out;
  for (const Message& m : messages)
    if (m.kind == MessageKind::Error) out += (out.empty() ? "" : "\n") + m.title + ": " + m.text;
  return out;
}

std::vector<std::string> CallMessages::warnings() const {
  std::vector<std::string> out;
  for (const Message& m : messages)
    if (m.kind != MessageKind::Error) out.push_back(m.title + ": " + m.text);
  return out;
}

void install_reporter() {
  static std::once_flag once;
  std::call_once(once, [] { set_reporter(std::make_shared<CollectingReporter>()); });
}

void run_here(State& records, CallMessages& messages, const std::function<void()>& work) {
  PacketLog log;
  ThreadCalculationContext ctx(records, log);
  MessageScope scope(messages);
  work();
}

void run_released(State& records, PacketLog& log, CallMessages& messages, const std::function<void()>& work,
                  const std::function<void()>& poll, const std::function<void()>& cancel) {
  std::exception_ptr failure, interrupted;
  std::mutex mu;
  std::condition_variable cv;
  bool done = false;
  {
    pyb::gil_scoped_release release;
    std::thread worker([&] {
      {
        ThreadCalculationContext ctx(records, log);
        MessageScope scope(messages);
        try {
          work();
        } catch (...) {
          failure = std::current_exception();
        }
      }
      std::lock_guard<std::mutex> lock(mu);
      done = true;
      cv.notify_all();
    });
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(mu);
        if (cv.wait_for(lock, std::chrono::milliseconds(50), [&] { return done; })) break;
      }
      pyb::gil_scoped_acquire gil;
      try {
        if (PyErr_CheckSignals() != 0) throw pyb::error_already_set();
        if (poll) poll();
      } catch (...) {
        interrupted = std::current_exception();
        break;
      }
    }
    if (interrupted && cancel) cancel();
    worker.join();
  }
  if (interrupted) std::rethrow_exception(interrupted);
  if (failure) std::rethrow_exception(failure);
}

std::string call_packet_file(const char* what) {
  static std::atomic<unsigned long> counter{0};
  std::error_code ec;
  std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
  if (ec) dir = "/tmp";
  return (dir / ("tarvio-py-" + std::to_string(::getpid()) + "-" + std::to_string(++counter) + "-" + what + ".bin"))
      .string();
}

double records_sample_rate(const State& s) {
  if (s.sigGenSettings.SamplingRate) return *s.sigGenSettings.SamplingRate;
  return (s.parameters.format == 1 ? 20000000.0 : 11000000.0) * s.parameters.OverSampling;
}

}  // namespace tarvio::py
