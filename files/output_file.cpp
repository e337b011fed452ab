// Temporary-name-then-rename output files.
#include "files/output_file.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace tarvio {

namespace {
std::string reason() { return std::strerror(errno); }
}  // namespace

OutputFile::OutputFile(const std::string& path) : path_(path), temp_(path + ".partial") {
  f_ = std::fopen(temp_.c_str(), "wb");
  if (f_ == nullptr) throw std::runtime_error("cannot create '" + path_ + "': " + reason());
}

OutputFile::~OutputFile() {
  if (f_ != nullptr) std::fclose(f_);
  if (!committed_) std::remove(temp_.c_str());
}

void OutputFile::write(const uint8_t* data, size_t n) {
  if (f_ == nullptr) throw std::runtime_error("cannot write '" + path_ + "': the file is closed");
  if (n > 0 && std::fwrite(data, 1, n, f_) != n) throw std::runtime_error("cannot write '" + path_ + "': " + reason());
}

void OutputFile::commit() {
  if (f_ == nullptr) throw std::runtime_error("cannot write '" + path_ + "': the file is closed");
  std::FILE* f = f_;
  f_ = nullptr;
  if (std::fclose(f) != 0) throw std::runtime_error("cannot write '" + path_ + "': " + reason());
  if (std::rename(temp_.c_str(), path_.c_str()) != 0)
    throw std::runtime_error("cannot rename '" + temp_ + "' to '" + path_ + "': " + reason());
  committed_ = true;
}

}  // namespace tarvio
