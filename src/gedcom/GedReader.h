#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "gedcom/uStringFormat.h"
#include "util/Owned.h"

namespace lignado {

// A text of at most four bytes as one number (its length included), so that tags compare as
// integers; longer texts give 0, which no key equals.
constexpr uint64_t TagKey(const char* s, size_t n) {
  if (n > 4) return 0;
  uint64_t k = static_cast<uint64_t>(n) << 32;
  for (size_t i = 0; i < n; ++i)
    k |= static_cast<uint64_t>(static_cast<unsigned char>(s[i])) << (8 * i);
  return k;
}
constexpr uint64_t operator""_tag(const char* s, size_t n) {
  return TagKey(s, n);
}

// The current GEDCOM line.
struct TGed {
  std::string raw;    // whole line, trimmed and converted
  std::string tag;    // second token; upper-cased when a value follows
  std::string value;  // rest of the line after the tag
  int32_t level = -1;
  uint64_t tagKey = 0, valueKey = 0;  // TagKey of tag and value
};

// Cuts one trimmed, converted line into level, tag and value.
void SplitGedLine(TGed& line);

// Reads a GEDCOM file line by line in big blocks. A line ends at CR LF, CR or LF, whatever its
// length; a last line without an end is read too. A byte-order mark or UTF-16 zero bytes fix
// the decoding; otherwise the default applies until selectCharset() changes it.
class GedReader {
 public:
  GedReader();
  ~GedReader();
  GedReader(const GedReader&) = delete;
  GedReader& operator=(const GedReader&) = delete;

  // False (with a French reason) when the file cannot be opened or read.
  bool open(const std::string& fileName, Charset defaultCharset, std::string* error);
  void close();

  // The next line into `line`; false past the last line (line then empty, level -1).
  bool next(TGed& line) { return read(line, false); }
  // The next line of level 0, the lines before it passed over unread.
  bool nextTop(TGed& line) { return read(line, true); }
  bool pastEnd() const { return pastEnd_; }
  bool failed() const { return failed_; }  // a read error ended the file early
  uint64_t lineNumber() const { return lineNumber_; }

  long long fileSize() const { return size_; }
  long long offset() const;  // file bytes consumed so far (approximate for UTF-16)

  // The header's character set, for the lines after it. Ignored once a byte-order mark or
  // UTF-16 has fixed the decoding.
  void selectCharset(Charset c);
  Charset charset() const { return charset_; }

 private:
  bool fill();  // appends a block to buf_; false at end of file or on error
  bool read(TGed& line, bool topOnly);
  void convert(std::string& line) const;

  OwnedFile file_;
  std::unique_ptr<Utf16Decoder> utf16_;
  std::string buf_;  // decoded bytes not yet cut into lines, from pos_
  std::string raw_;  // scratch for UTF-16 blocks
  size_t pos_ = 0;
  size_t lfNext_ = std::string::npos;  // next LF in buf_; npos: none before lfScanned_
  size_t lfScanned_ = 0;
  bool eof_ = false;
  bool pastEnd_ = false;
  bool failed_ = false;
  bool fixed_ = false;
  Charset charset_ = Charset::Ansel;
  uint64_t lineNumber_ = 0;
  long long size_ = 0;
  long long read_ = 0;  // file bytes read into buf_
};

}  // namespace lignado
