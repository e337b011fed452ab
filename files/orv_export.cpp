// Orv_Export: settings header, choice of input mode, and the call of the
// export plug-in.
#include "files/orv_export.h"

#include <stdexcept>

#include "files/export_plugin.h"
#include "records/record_value.h"
#include "records/state.h"
#include "runtime/registry.h"

namespace tarvio {

namespace {

Value marker_matrix(const std::vector<std::vector<double>>& rows) {
  const size_t m = rows.size();
  const size_t n = m == 0 ? 0 : rows[0].size();
  std::vector<double> data(m * n);
  for (size_t r = 0; r < m; ++r) {
    if (rows[r].size() != n) throw std::invalid_argument("Orv_Export: marker rows must all have the same length");
    for (size_t c = 0; c < n; ++c) data[c * m + r] = rows[r][c];
  }
  return Value::real(m, n, std::move(data));
}

std::vector<Value> common_args(int32_t mode, const std::string& file_name, const SigGenSettings& settings,
                               const std::vector<std::vector<double>>& markers) {
  return {Value::int32_scalar(mode),  Value::text(file_name),      Value::row(export_settings_header(settings)),
          Value::text(kExportOption), Value::text(kExportComment), marker_matrix(markers)};
}

ExportStatus to_status(const std::vector<Value>& out) {
  ExportStatus s;
  s.status = out.empty() ? 0 : out[0].to_double();
  s.description = out.size() > 1 ? out[1].str() : "";
  return s;
}

std::vector<std::vector<double>> rows_of(const Value& v) {
  if (!v.is_numeric()) throw std::invalid_argument("Orv_Export: Markers must be a numeric matrix");
  const std::vector<double> d = v.to_reals();
  std::vector<std::vector<double>> rows(v.rows(), std::vector<double>(v.cols()));
  for (size_t c = 0; c < v.cols(); ++c)
    for (size_t r = 0; r < v.rows(); ++r) rows[r][c] = d[c * v.rows() + r];
  return rows;
}

}  // namespace

std::vector<double> export_settings_header(const SigGenSettings& s) {
  if (!s.SamplingRate)
    throw std::runtime_error("Orv_Export: SigGenSettings.SamplingRate is not set; calculate a waveform first");
  const double bandwidth = s.BBfilter == 1 ? 2100000 : s.BBfilter == 2 ? 40000000 : 0;
  return {s.Frequency,      *s.SamplingRate, bandwidth, s.Scaling, s.ModAttenAuto != 0 ? -2 : s.ModAtten,
          s.MarkerPolarity, 2 * s.RFblanking};
}

std::vector<std::vector<double>> marker_rows(const Markers& m) {
  std::vector<std::vector<double>> rows(2);
  rows[0].assign(m.row1.begin(), m.row1.end());
  rows[1].assign(m.row2.begin(), m.row2.end());
  return rows;
}

ExportStatus export_packet_file(const std::string& file_name, const std::vector<std::vector<double>>& markers,
                                const SigGenSettings& settings) {
  // The packets as the last calculation wrote them, whatever the parameter
  // set says now.
  const CalculatedPackets calc = packet_file_contents();
  std::vector<Value> args = common_args(2, file_name, settings, markers);
  args.push_back(Value::text(calc.file));
  args.push_back(Value(calc.pktSize));
  args.push_back(Value(calc.packets));
  // The peak kept while the packets were written spares the plug-in a
  // reading pass; it checks it against the samples it reads.
  args.push_back(Value(calc.max));
  return to_status(call_export_plugin(args, 2));
}

ExportStatus Orv_Export(const std::string& file_name, const CVec& iq, const std::vector<std::vector<double>>& markers,
                        const SigGenSettings& settings, const AppInfo& appInfo) {
  if (appInfo.ApplicationFunction == "dot11g_GUI_c") return export_packet_file(file_name, markers, settings);
  std::vector<Value> args = common_args(1, file_name, settings, markers);
  args.push_back(Value::complex_row(iq));
  return to_status(call_export_plugin(args, 2));
}

TARVIO_OP(
    "Orv_Export", 5, 2,
    [](const Args& in, int) -> std::vector<Value> {
      const std::string name = arg_required(in, 0, "Orv_Export").str();
      const CVec iq = arg_required(in, 1, "Orv_Export").to_complex();
      const auto markers = rows_of(arg_required(in, 2, "Orv_Export"));
      const auto settings = record_from_value<SigGenSettings>(arg_required(in, 3, "Orv_Export"), "SigGenSettings");
      const auto app = record_from_value<AppInfo>(arg_required(in, 4, "Orv_Export"), "appInfo");
      const ExportStatus s = Orv_Export(name, iq, markers, settings, app);
      return {Value(s.status), Value::text(s.description)};
    },
    "[status, description] = Orv_Export(FileName, IQData, Markers, settings, appInfo): writes the waveform export "
    "file");

}  // namespace tarvio
