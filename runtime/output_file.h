// An output file written under a temporary name of its own in the folder of
// its final name and renamed into place only when every byte has reached
// the file, so that a failed or interrupted write leaves neither a partial
// file nor a damaged old one behind.
//
// The temporary name is unique to this writer: it is created exclusively
// (O_EXCL), so two runs writing the same output never share a temporary and
// the last rename leaves one complete file. While it exists it is on the
// interrupt clean-up table (runtime/cleanup.h); its name carries the process
// id, so a later run removes it when this one was killed.
//
// A symbolic link is followed and the file it leads to replaced; a
// character device or a FIFO is written in place (no temporary, no rename:
// a full device fails the write, a pipe's reader gets the bytes); other
// kinds of file are refused (runtime/output_target.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "runtime/cleanup.h"

namespace tarvio {

class OutputFile {
 public:
  // Creates the temporary file beside `path` (beside the file a link at
  // `path` leads to), or opens a device or FIFO at `path`. Throws
  // std::runtime_error naming the file and the reason (empty name, name or
  // path too long for the system, folder missing or not writable, `path` a
  // folder, a block device or a socket).
  explicit OutputFile(const std::string& path);
  // Removes the temporary file unless commit() succeeded.
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Appends bytes; throws std::runtime_error on a write failure (a full
  // disk, a file-size limit, an I/O error).
  void write(const void* data, size_t n);
  void write(const std::string& text) { write(text.data(), text.size()); }
  // Bytes written so far.
  uint64_t size() const { return written_; }
  // Writes what is buffered and closes the file, checking both; throws
  // std::runtime_error on failure. For outputs of several files: close all,
  // then commit all, so that none is renamed while another may still fail.
  void close();
  // close() when not done yet, then renames the file to the final name
  // (replacing any old file); throws std::runtime_error on failure, the old
  // file then stays as it was. For a device or FIFO only the close().
  void commit();

  const std::string& path() const { return path_; }
  // Empty for a device or FIFO, which is written in place.
  const std::string& temp_path() const { return temp_; }
  bool in_place() const { return in_place_; }

 private:
  void flush();
  [[noreturn]] void fail(const std::string& what) const;

  std::string path_, target_, temp_;
  int fd_ = -1;
  bool in_place_ = false;
  CleanupGuard guard_;
  std::vector<uint8_t> buf_;
  uint64_t written_ = 0;
  bool closed_ = false;
  bool committed_ = false;
};

// A std::ostream that writes into an OutputFile, for writers that produce
// text through a stream. A failed write throws from the stream (its
// exception mask includes badbit); commit the OutputFile afterwards.
class OutputFileStream : public std::ostream {
 public:
  explicit OutputFileStream(OutputFile& file) : std::ostream(&buf_), buf_(file) { exceptions(std::ios::badbit); }

 private:
  class Buf : public std::streambuf {
   public:
    explicit Buf(OutputFile& f) : f_(f) {}

   protected:
    int_type overflow(int_type c) override {
      if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
      const char ch = traits_type::to_char_type(c);
      f_.write(&ch, 1);
      return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
      f_.write(s, size_t(n));
      return n;
    }

   private:
    OutputFile& f_;
  };
  Buf buf_;
};

// A unique temporary name in the folder of `path`, created exclusively with
// `open_flags` | O_CREAT | O_EXCL (mode 0666 less the umask). Returns the
// open descriptor, sets `temp` and puts the file on the clean-up table
// (`guard`) before it is created, so that no moment exists in which an
// interrupt would leave it behind. Throws std::runtime_error naming `path`
// when no file can be created there. The name is ".NAME.PID.RANDOM" and
// `suffix` (runtime/output_target.h); temporaries of the same name and
// suffix that ended processes left in the folder are removed first.
int create_unique_temp(const std::string& path, const std::string& suffix, int open_flags, std::string& temp,
                       CleanupGuard& guard);

// Checks that `path` can name a file: not empty, not a folder name, and
// within the system's limits for a name and a path. Throws
// std::runtime_error saying which limit it exceeds.
void check_output_path(const std::string& path);

}  // namespace tarvio
