// An output file written under a temporary name beside its final name and
// renamed into place only when complete, so that a failed write leaves
// neither a partial file nor a damaged old one behind.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace tarvio {

class OutputFile {
 public:
  // Creates path + ".partial"; throws std::runtime_error naming the file.
  explicit OutputFile(const std::string& path);
  // Removes the temporary file unless commit() succeeded.
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Appends bytes; throws std::runtime_error on a write failure.
  void write(const uint8_t* data, size_t n);
  void write(const std::string& text) { write(reinterpret_cast<const uint8_t*>(text.data()), text.size()); }
  // Closes the file and renames it to the final name (replacing any old
  // file); throws std::runtime_error on failure.
  void commit();

  const std::string& path() const { return path_; }
  const std::string& temp_path() const { return temp_; }

 private:
  std::string path_, temp_;
  std::FILE* f_ = nullptr;
  bool committed_ = false;
};

}  // namespace tarvio
