// The records of a Python Parameters object: fields by dotted name with the
// command line's rules (tarvio-cli calc --set and --sig), the data-rate
// list, the entries in microseconds, parameter files and the field
// reference.
#include <pybind11/stl.h>

#include "control/parameter_checks.h"
#include "control/parameter_files.h"
#include "hosts/cli/calc_entries.h"
#include "hosts/cli/calc_options.h"
#include "hosts/cli/field_reference.h"
#include "python/binding.h"
#include "records/field_catalog.h"
#include "records/record_value.h"

namespace tarvio::py {

namespace {

enum class Which { Parameters, SigGen, Configuration, Impairments };

Which which(const std::string& record) {
  if (record == "parameters") return Which::Parameters;
  if (record == "SigGenSettings") return Which::SigGen;
  if (record == "configuration") return Which::Configuration;
  if (record == "Impairments") return Which::Impairments;
  throw std::invalid_argument("no record '" + record + "' (parameters, SigGenSettings, configuration, Impairments)");
}

std::vector<FieldEntry> catalog(const State& s, Which w) {
  switch (w) {
    case Which::Parameters:
      return field_catalog(s.parameters);
    case Which::SigGen:
      return field_catalog(s.sigGenSettings);
    case Which::Impairments:
      return field_catalog(s.impairments);
    case Which::Configuration:
      break;
  }
  return field_catalog(s.configuration);
}

std::optional<FieldEntry> entry(const State& s, Which w, const std::string& path) {
  for (FieldEntry& e : catalog(s, w))
    if (e.path == path) return std::move(e);
  return std::nullopt;
}

// Fails with the message of the dialogs an operation showed.
void raise_errors(const CallMessages& m, const std::string& fallback) {
  const std::string e = m.errors();
  throw std::runtime_error(e.empty() ? fallback : e);
}

pyb::list warnings_of(const CallMessages& m, std::vector<std::string> notes = {}) {
  for (const std::string& w : m.warnings()) notes.push_back(w);
  return pyb::cast(notes);
}

}  // namespace

void bind_records(pyb::module_& m) {
  pyb::class_<Records, std::shared_ptr<Records>>(m, "_Records", "The records of one parameter set (internal).")
      .def(pyb::init<>())
      .def("copy", [](const Records& r) { return std::make_shared<Records>(r); })
      .def(
          "get",
          [](const Records& r, const std::string& record, const std::string& path) -> pyb::object {
            const auto e = entry(r.state, which(record), path);
            if (!e) throw pyb::key_error(record + "." + path);
            return from_value(e->value);
          },
          "The value of a field by its dotted name.")
      .def(
          "kind",
          [](const Records& r, const std::string& record, const std::string& path) -> std::string {
            const auto e = entry(r.state, which(record), path);
            if (!e) return "";
            if (e->is_record) return "record";
            return e->value.is_text() ? "text" : "value";
          },
          "'record', 'text', 'value', or '' when there is no such field.")
      .def(
          "names",
          [](const Records& r, const std::string& record, const std::string& prefix) {
            std::vector<std::string> out;
            const std::string head = prefix.empty() ? "" : prefix + ".";
            for (const FieldEntry& e : catalog(r.state, which(record))) {
              if (e.path.compare(0, head.size(), head) != 0) continue;
              const std::string rest = e.path.substr(head.size());
              if (!rest.empty() && rest.find('.') == std::string::npos) out.push_back(rest);
            }
            return out;
          },
          "The names of the fields directly inside a record (the record itself for an empty prefix).")
      .def(
          "set",
          [](Records& r, const std::string& record, const std::string& path, const pyb::handle& value) {
            const Which w = which(record);
            const auto e = entry(r.state, w, path);
            const Value v = to_value(value, e && e->value.is_text());
            CallMessages msgs;
            std::vector<std::string> notes;
            run_here(r.state, msgs, [&] {
              if (w == Which::Parameters) {
                cli::set_parameter(path, v);
              } else if (w == Which::SigGen) {
                notes = cli::set_sig_gen(path, v, "SigGenSettings." + path);
              } else if (w == Which::Impairments) {
                cli::set_parameter("Impairments." + path, v);
              } else {
                set_field(r.state.configuration, path, v, "configuration");
                check_field(r.state.configuration, path, "configuration");
              }
            });
            return warnings_of(msgs, notes);
          },
          "Sets a field as tarvio-cli calc --set (parameters, Impairments.X) or --sig (SigGenSettings) does; "
          "returns the "
          "notes of the entry rules.")
      .def(
          "select_rate",
          [](Records& r, double rate) {
            CallMessages msgs;
            std::vector<std::string> notes;
            run_here(r.state, msgs, [&] {
              const double before = r.state.parameters.dataLength;
              char text[32];
              std::snprintf(text, sizeof text, "%.15g", rate);
              cli::select_rate(text);
              if (r.state.parameters.dataLength != before)
                notes.push_back("dataLength " + std::to_string(before) + " is held at " +
                                std::to_string(r.state.parameters.dataLength) + " (maxDataLen)");
            });
            return warnings_of(msgs, notes);
          },
          "Chooses a data rate in Mbit/s as the window's data-rate list does.")
      .def("idle_us",
           [](Records& r, const std::string& t) {
             CallMessages msgs;
             run_here(r.state, msgs, [&] { cli::set_idle_us(t); });
           })
      .def("ramp_us",
           [](Records& r, const std::string& t) {
             CallMessages msgs;
             run_here(r.state, msgs, [&] { cli::set_ramp_us(t); });
           })
      .def("payload_file",
           [](Records& r, const std::string& path, const std::string& order) {
             CallMessages msgs;
             run_here(r.state, msgs, [&] { cli::load_payload_file(path, order); });
           })
      .def("memory",
           [](Records& r, const std::string& option) {
             CallMessages msgs;
             run_here(r.state, msgs, [&] { cli::set_memory(option); });
           })
      .def(
          "check",
          [](Records& r) {
            CallMessages msgs;
            run_here(r.state, msgs, [&] { check_and_derive(r.state.parameters); });
          },
          "Checks the rules between fields as the calculation does before it starts.")
      .def(
          "record",
          [](const Records& r, const std::string& record) -> pyb::object {
            switch (which(record)) {
              case Which::Parameters:
                return from_value(to_value(r.state.parameters));
              case Which::SigGen:
                return from_value(to_value(r.state.sigGenSettings));
              case Which::Impairments:
                return from_value(to_value(r.state.impairments));
              case Which::Configuration:
                break;
            }
            return from_value(to_value(r.state.configuration));
          },
          "A whole record as a dict.")
      .def("save",
           [](const Records& r, const std::string& path) {
             CallMessages msgs;
             bool ok = false;
             State copy = r.state;
             run_here(copy, msgs, [&] { ok = saveParameters(path, copy.parameters, copy.sigGenSettings); });
             if (!ok) raise_errors(msgs, "the parameter file '" + path + "' was not written");
           })
      .def_static("load", [](const std::string& path) {
        auto r = std::make_shared<Records>();
        CallMessages msgs;
        bool ok = false;
        run_here(r->state, msgs, [&] {
          ok = LoadParameters(path);
          // The file's own derived fields may be stale (edited elsewhere).
          if (ok) recompute_derived(r->state.parameters);
        });
        if (!ok) raise_errors(msgs, "the parameter file '" + path + "' was not loaded");
        return r;
      });

  m.def(
      "_fields",
      [] {
        State s;
        CallMessages msgs;
        std::vector<cli::ReferenceRecord> recs;
        run_here(s, msgs, [&] { recs = cli::reference_records(); });
        pyb::list out;
        for (const auto& rec : recs)
          for (const FieldEntry& e : rec.fields) {
            pyb::dict d;
            d["record"] = rec.name;
            d["name"] = e.path;
            d["meaning"] = std::string(e.info.meaning);
            d["unit"] = std::string(e.info.unit);
            d["values"] = std::string(e.info.values);
            d["default"] = e.path == "multiFrame.tmpFileName" ? pyb::none() : from_value(e.value);
            d["derived"] = e.info.derived;
            d["is_record"] = e.is_record;
            out.append(d);
          }
        return out;
      },
      "Every field of the three records with its description and default (internal).");
}

}  // namespace tarvio::py
