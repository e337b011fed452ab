// Tests of the MAT 5 files: every kind written and read back unchanged, a
// file written by Octave read with its kinds, a file of ours read by scipy,
// atomic writes, and the errors for bad files and names.
#include "runtime/matfile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <string>

#include "file_size_limit.h"
#include "mat5_craft.h"

namespace fs = std::filesystem;

namespace tarvio {
namespace {

Value rowv(std::vector<double> d) { return Value::row(std::move(d)); }

class MatFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (fs::temp_directory_path() / "tarvio-matfile-XXXXXX").string();
    ASSERT_NE(::mkdtemp(templ.data()), nullptr);
    dir_ = templ;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  size_t files_in_dir() const {
    size_t n = 0;
    for (const auto& e : fs::directory_iterator(dir_)) n += e.is_regular_file();
    return n;
  }
  static std::string error_of(const std::function<void()>& f) {
    try {
      f();
    } catch (const std::runtime_error& e) {
      return e.what();
    }
    return "no error";
  }
  fs::path dir_;
};

Record sample_record() {
  Record inner;
  inner.set("gamma", "deep");
  inner.set("delta", Value::real(2, 1, {0.5, 0.25}));
  inner.set("nothing", Value());
  Record mid;
  mid.set("beta", Value(inner));
  mid.set("alpha", 1.0);  // fields out of alphabetical order on purpose
  mid.set("emptyRecord", Value(Record()));

  Record r;
  r.set("zeta", rowv({1, 2, 3}));
  r.set("matrix", Value::real(2, 3, {1, 4, 2, 5, 3, 6}));
  r.set("iq", Value::complex(2, 2, {cplx(1, 2), cplx(-3.5, -0.25), cplx(0, 1), cplx(4, 0)}));
  r.set("count", Value::int32(1, 3, {7, -8, std::numeric_limits<int32_t>::max()}));
  r.set("flags", Value::logical(1, 4, {1, 0, 1, 1}));
  r.set("text", "Tarvio \xC3\xA9 \xC2\xB5");  // e acute, micro sign
  r.set("blank", "");
  r.set("empty", Value());
  r.set("emptyRow", Value::real(1, 0, {}));
  r.set("emptyList", Value::list({}));
  r.set("huge", rowv({std::numeric_limits<double>::infinity(), -1e300, 5e-324}));
  r.set("nested", Value(mid));
  r.set("items", Value::list({Value(1.0), Value("two"), rowv({3, 4}), Value::list({}),
                              Value::list({Value(mid), Value::int32_scalar(5)})}));
  return r;
}

TEST_F(MatFile, EveryKindRoundTripsUnchanged) {
  MatVars vars = {
      {"rec", Value(sample_record())},
      {"scalar", Value(42.0)},
      {"cx", Value::complex_row({cplx(0, -1)})},
      {"txt", "plain"},
      {"astral", "\xF0\x9F\x93\xA1"},  // outside the 16-bit range: a UTF-16 surrogate pair in the file
      {"list", Value::list({Value("a"), Value(Record())})},
      {"bool", Value::logical_scalar(false)},
      {"ints", Value::int32(0, 0, {})},
      {"nothing", Value()},
  };
  mat_write(path("all.mat"), vars);
  MatVars back = mat_read(path("all.mat"));
  ASSERT_EQ(back.size(), vars.size());
  for (size_t i = 0; i < vars.size(); ++i) {
    EXPECT_EQ(back[i].first, vars[i].first);
    EXPECT_TRUE(back[i].second == vars[i].second) << "variable " << vars[i].first << "\nwritten:\n"
                                                  << to_display(vars[i].second) << "read:\n"
                                                  << to_display(back[i].second);
  }
  EXPECT_EQ(mat_read_var(path("all.mat"), "txt"), Value("plain"));
}

TEST_F(MatFile, FileWrittenByOctaveLoadsWithItsKinds) {
  MatVars vars = mat_read(std::string(TARVIO_SOURCE_DIR) + "/tests/runtime/data/octave_written.mat");
  ASSERT_EQ(vars.size(), 3u);
  EXPECT_EQ(vars[0].first, "s");
  EXPECT_EQ(vars[1].first, "mixed");
  EXPECT_EQ(vars[2].first, "answer");
  EXPECT_EQ(vars[2].second, Value(42.0));
  EXPECT_EQ(vars[1].second, Value::list({Value::int32_scalar(5), Value("x")}));

  const Record& s = vars[0].second.record();
  std::vector<std::string> names;
  for (const auto& f : s.fields()) names.push_back(f.first);
  EXPECT_EQ(names, (std::vector<std::string>{"name", "rate", "row", "matrix", "iq", "count", "flags", "nothing",
                                             "blank", "inner", "items"}));
  EXPECT_EQ(s.at("name"), Value("Tarvio"));
  EXPECT_EQ(s.at("rate"), Value(5.5));
  EXPECT_EQ(s.at("row"), rowv({1, 2, 3}));
  EXPECT_EQ(s.at("matrix"), Value::real(2, 3, {1, 4, 2, 5, 3, 6}));
  EXPECT_EQ(s.at("iq"), Value::complex_row({cplx(1, 2), cplx(-3.5, -0.25), cplx(0, 1)}));
  EXPECT_EQ(s.at("count"), Value::int32(1, 3, {7, -8, 2147483647}));
  EXPECT_EQ(s.at("flags"), Value::logical(1, 4, {1, 0, 1, 1}));
  EXPECT_TRUE(s.at("nothing").is_numeric() && s.at("nothing").is_empty());
  EXPECT_EQ(s.at("blank").str(), "");
  const Record& inner = s.at("inner").record();
  EXPECT_EQ(inner.at("alpha"), Value(1.0));
  EXPECT_EQ(inner.at("beta").record().at("gamma"), Value("deep"));
  EXPECT_EQ(inner.at("beta").record().at("delta"), Value::real(2, 1, {0.5, 0.25}));
  EXPECT_EQ(s.at("items"), Value::list({Value(1.0), Value("two"), rowv({3, 4}), Value::list({})}));
}

TEST_F(MatFile, ScipyReadsEveryKindWeWrite) {
  if (std::system("/usr/bin/python3 -c 'import scipy.io' >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "/usr/bin/python3 has no scipy";
  mat_write(path("ours.mat"), {{"rec", Value(sample_record())}, {"after", Value("last")}});
  std::string script = path("check.py");
  std::ofstream(script) << R"(import sys, numpy as np, scipy.io as sio
d = sio.loadmat(sys.argv[1])
r = d['rec'][0, 0]
assert r.dtype.names == ('zeta', 'matrix', 'iq', 'count', 'flags', 'text', 'blank', 'empty', 'emptyRow',
                         'emptyList', 'huge', 'nested', 'items'), r.dtype.names
assert (r['matrix'] == np.array([[1, 2, 3], [4, 5, 6]])).all()
assert r['iq'].dtype.kind == 'c' and r['iq'][1, 0] == -3.5 - 0.25j and r['iq'][1, 1] == 4
assert r['count'].dtype == np.int32 and r['count'][0, 2] == 2147483647
assert r['flags'].dtype == np.uint8 and list(r['flags'][0]) == [1, 0, 1, 1]
assert r['text'][0] == 'Tarvio \u00e9 \u00b5', repr(r['text'])
assert r['empty'].size == 0 and r['emptyList'].size == 0
n = r['nested'][0, 0]
assert n.dtype.names == ('beta', 'alpha', 'emptyRecord')
assert n['beta'][0, 0]['gamma'][0] == 'deep'
assert r['items'].shape == (1, 5) and r['items'][0, 1][0] == 'two'
assert d['after'][0] == 'last'
print('ok')
)";
  std::string cmd = "/usr/bin/python3 " + script + " " + path("ours.mat");
  EXPECT_EQ(std::system(cmd.c_str()), 0);
}

TEST_F(MatFile, FailedWriteLeavesExistingFileAndNoTemporary) {
  mat_write(path("keep.mat"), {{"old", Value(1.0)}});
  Record bad;
  bad.set("not a name", 1.0);
  // The first variable is fine and written before the second one fails.
  std::string err = error_of([&] { mat_write(path("keep.mat"), {{"fine", Value(2.0)}, {"bad", Value(bad)}}); });
  EXPECT_NE(err.find(path("keep.mat")), std::string::npos) << err;
  EXPECT_NE(err.find("'not a name'"), std::string::npos) << err;
  EXPECT_EQ(mat_read(path("keep.mat")), (MatVars{{"old", Value(1.0)}}));
  EXPECT_EQ(files_in_dir(), 1u);
}

TEST_F(MatFile, BadNamesAreRefusedBeforeAnythingIsWritten) {
  for (const char* name : {"1abc", "", "_x", "a-b", "a b"}) {
    std::string err = error_of([&] { mat_write(path("n.mat"), {{name, Value(1.0)}}); });
    EXPECT_NE(err.find("not allowed"), std::string::npos) << name << ": " << err;
  }
  EXPECT_NE(error_of([&] {
              mat_write(path("n.mat"), {{"a", 1.0}, {"a", 2.0}});
            }).find("given twice"),
            std::string::npos);
  EXPECT_FALSE(mat_valid_name(std::string(64, 'a')));
  EXPECT_TRUE(mat_valid_name(std::string(63, 'a')));
  EXPECT_EQ(files_in_dir(), 0u);
}

TEST_F(MatFile, ReadErrorsNameTheFileAndTheProblem) {
  std::string missing = path("missing.mat");
  EXPECT_EQ(error_of([&] { mat_read(missing); }), "MAT file '" + missing + "': no such file");
  std::ofstream(path("text.mat")) << "this is not a MAT file at all, just some text long enough for a header\n";
  std::string err = error_of([&] { mat_read(path("text.mat")); });
  EXPECT_NE(err.find("not a readable MAT file"), std::string::npos) << err;
  mat_write(path("one.mat"), {{"a", Value(1.0)}});
  err = error_of([&] { mat_read_var(path("one.mat"), "b"); });
  EXPECT_NE(err.find("has no variable 'b'"), std::string::npos) << err;
  err = error_of([&] { mat_write(path("no/such/folder/x.mat"), {{"a", Value(1.0)}}); });
  EXPECT_NE(err.find("cannot create"), std::string::npos) << err;
}

TEST_F(MatFile, TruncatedOrDamagedFileIsRefusedNotReadInPart) {
  mat_write(path("full.mat"), {{"first", Value(sample_record())}, {"second", rowv({1, 2, 3})}});
  const auto size = fs::file_size(path("full.mat"));
  std::ifstream in(path("full.mat"), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // Cut inside the second variable, inside the first, and inside a tag.
  for (size_t keep : {size_t(size - 5), size_t(200), size_t(132)}) {
    std::string cut = path("cut" + std::to_string(keep) + ".mat");
    std::ofstream(cut, std::ios::binary) << bytes.substr(0, keep);
    std::string err = error_of([&] { mat_read(cut); });
    EXPECT_NE(err.find("truncated"), std::string::npos) << keep << ": " << err;
    err = error_of([&] { mat_read_var(cut, "first"); });
    EXPECT_NE(err.find("truncated"), std::string::npos) << keep << ": " << err;
  }
  // Eight bytes of an unknown element after the variables.
  std::ofstream(path("tail.mat"), std::ios::binary) << bytes << std::string("\x07\0\0\0\0\0\0\0", 8);
  std::string err = error_of([&] { mat_read(path("tail.mat")); });
  EXPECT_NE(err.find("damaged"), std::string::npos) << err;
}

TEST_F(MatFile, AFullDiskFailsTheWriteAndKeepsTheOldFile) {
  mat_write(path("keep.mat"), {{"old", Value(1.0)}});
  std::vector<double> row(100000);
  for (size_t k = 0; k < row.size(); ++k) row[k] = std::sin(double(k));  // does not compress away
  for (size_t n : {size_t(100), row.size()}) {                           // within the write buffer, and beyond it
    std::string err = error_of([&] {
      testing::FileSizeLimit limit(512);
      mat_write(path("keep.mat"), {{"big", rowv(std::vector<double>(row.begin(), row.begin() + long(n)))},
                                   {"rec", Value(sample_record())}});
    });
    EXPECT_NE(err.find("'" + path("keep.mat") + "': File too large"), std::string::npos) << err;
    EXPECT_EQ(mat_read(path("keep.mat")), (MatVars{{"old", Value(1.0)}}));
    EXPECT_EQ(files_in_dir(), 1u);
  }
}

TEST_F(MatFile, ALargeVariableIsWrittenUncompressedAndReadsBack) {
  std::vector<cplx> wave(1200000);  // 19 MB: above the compression bound
  for (size_t k = 0; k < wave.size(); ++k) wave[k] = cplx(double(k), -double(k));
  MatWriter w(path("big.mat"));
  w.add("wave", Value::complex_row(wave));
  MatStream st;
  st.rows = 2;
  st.cols = 3;
  st.fill = [](int, const MatStream::Put& put) {
    const double v[6] = {1, 2, 3, 4, 5, 6};
    put(v, 4);
    put(v + 4, 2);
  };
  w.add("streamed", st);
  w.commit();
  EXPECT_GT(fs::file_size(path("big.mat")), 16ull * wave.size());
  const MatVars back = mat_read(path("big.mat"));
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].second, Value::complex_row(wave));
  EXPECT_EQ(back[1].second, Value::real(2, 3, {1, 2, 3, 4, 5, 6}));
}

TEST_F(MatFile, AStreamThatGivesTooFewValuesIsAnError) {
  MatWriter w(path("short.mat"));
  MatStream st;
  st.rows = 1;
  st.cols = 5;
  st.fill = [](int, const MatStream::Put& put) {
    const double v[2] = {1, 2};
    put(v, 2);
  };
  EXPECT_NE(error_of([&] { w.add("x", st); }).find("was given 2 values instead of 5"), std::string::npos);
}

struct CraftCase {
  const char* name;
  std::string bytes;
  const char* reason;
};

void PrintTo(const CraftCase& c, std::ostream* os) { *os << c.name; }

namespace m5 = testing::mat5;

std::vector<CraftCase> crafted_files() {
  std::string deep = m5::matrix(m5::mxDOUBLE, {0, 0}, "", m5::doubles(0));
  for (int k = 0; k < 70; ++k) deep = m5::matrix(m5::mxCELL, {1, 1}, k == 69 ? "deep" : "", deep);
  const std::string field = m5::matrix(m5::mxDOUBLE, {1, 1}, "", m5::doubles(1, 5));
  return {
      {"HugeTopLevelStruct",
       m5::header() + m5::matrix(m5::mxSTRUCT, {100000, 100000}, "fileParameters", m5::struct_names({"a"}) + field),
       "'fileParameters' (100000 x 100000) claims 10000000000 elements of 1 fields; its element holds 64 bytes"},
      {"HugeNestedFieldCompressed",
       m5::header() + m5::compressed(m5::matrix(
                          m5::mxSTRUCT, {1, 1}, "s",
                          m5::struct_names({"f"}) + m5::matrix(m5::mxDOUBLE, {1, 100000000}, "", m5::doubles(2)))),
       "'s.f' (1 x 100000000) claims 100000000 elements; its data hold 2"},
      {"ShortNumbers", m5::header() + m5::matrix(m5::mxDOUBLE, {2, 5}, "x", m5::doubles(2)),
       "claims 10 elements; its data hold 2"},
      {"NegativeDimension", m5::header() + m5::matrix(m5::mxDOUBLE, {-1, 1}, "x", m5::doubles(1)),
       "a dimension is negative"},
      {"ManyCellsInFewBytes", m5::header() + m5::matrix(m5::mxCELL, {1, 1000000}, "c", field), "claims 1000000 cells"},
      {"EndlessNesting", m5::header() + deep, "nested more than 64 deep"},
      {"UnterminatedFieldName",
       m5::header() + m5::matrix(m5::mxSTRUCT, {1, 1}, "s", m5::struct_names({"abcd"}, 4) + field),
       "field name 1 is not terminated"},
      {"Sparse", m5::header() + m5::matrix(m5::mxSPARSE, {1, 1}, "sp", m5::doubles(1)),
       "sparse matrices are not supported"},
      {"Hdf5Version", m5::header(0x0200) + std::string(512, '\0'), "version 7.3 (HDF5)"},
      // Found by fuzzing: a char matrix of no columns and 100 million rows
      // became 100 million empty texts.
      {"ManyEmptyTextRows",
       m5::header() + m5::matrix(m5::mxSTRUCT, {1, 1}, "fileParameters",
                                 m5::struct_names({"t"}) +
                                     m5::matrix(m5::mxCHAR, {100000000, 0}, "", m5::element(m5::miUINT16, ""))),
       "'fileParameters.t' (100000000 x 0) would need 256000007"},
      {"StructArrayWithoutFields", m5::header() + m5::matrix(m5::mxSTRUCT, {1, 100000000}, "s", m5::struct_names({})),
       "'s' (1 x 100000000) would need 25600000000 bytes of memory"},
      {"DamagedCompression", m5::header() + m5::u32(m5::miCOMPRESSED) + m5::u32(16) + std::string(16, 'x'),
       "the compressed data are damaged"},
  };
}

class CraftedMatFile : public MatFile, public ::testing::WithParamInterface<CraftCase> {};

TEST_P(CraftedMatFile, IsRefusedWithTheReason) {
  m5::save(path("crafted.mat"), GetParam().bytes);
  for (bool one : {false, true}) {
    std::string err = error_of([&] {
      if (one)
        mat_read_var(path("crafted.mat"), "fileParameters", {kSettingsFileMaxBytes});
      else
        mat_read(path("crafted.mat"));
    });
    EXPECT_NE(err.find("MAT file '" + path("crafted.mat") + "'"), std::string::npos) << err;
    EXPECT_NE(err.find(GetParam().reason), std::string::npos) << err;
  }
}

INSTANTIATE_TEST_SUITE_P(Files, CraftedMatFile, ::testing::ValuesIn(crafted_files()),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(MatFile, WhatASmallCompressedFileMayExpandToIsBounded) {
  // 80 MB of zeros in a file of about 80 kB.
  m5::save(path("bomb.mat"), m5::header() + m5::compressed_zeros("fileParameters", 10000000));
  EXPECT_LT(fs::file_size(path("bomb.mat")), 200000u);
  std::string err = error_of([&] { mat_read(path("bomb.mat"), {kSettingsFileMaxBytes}); });
  EXPECT_NE(err.find("would need 160000000 bytes of memory; at most 67108864 are allowed"), std::string::npos) << err;
  // Without the settings bound the same file is an ordinary variable.
  EXPECT_EQ(mat_read_var(path("bomb.mat"), "fileParameters").numel(), 10000000u);
}

}  // namespace
}  // namespace tarvio
