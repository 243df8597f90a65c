#pragma once
// The code-page machinery under gbk.cpp: iconv on POSIX systems
// (codepage_posix.cpp), the system's code page 936 on Windows
// (codepage_windows.cpp). Both accept the same characters: GBK's assigned
// double-byte characters and ASCII, never the user-defined areas, which a
// file written on one system would read back differently on the other.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace kp::codepage {

enum class Direction { GbkToUtf8, Utf8ToGbk };

class Converter {
 public:
  enum class Stop { Done, Invalid, Incomplete };

  explicit Converter(Direction direction);
  ~Converter();
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // False when the system lacks the code page.
  bool usable() const;

  // Converts from in[pos..], appending to out, until the input ends (Done) or
  // a sequence cannot be converted (Invalid) or is cut off by the end of the
  // input (Incomplete); pos is left at the offending byte. Utf8ToGbk input
  // must be well-formed UTF-8.
  Stop run(std::string_view in, std::size_t& pos, std::string& out);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kp::codepage
