#include "gedcom/GedReader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "util/SystemReason.h"
#include "util/Text.h"
#include "util/Utf8.h"

namespace lignado {
namespace {

constexpr size_t kBlock = 1 << 20;

}  // namespace

void SplitGedLine(TGed& line) {
  line.level = -1;
  line.tag.clear();
  line.value.clear();
  line.tagKey = line.valueKey = TagKey("", 0);
  const std::string& r = line.raw;
  const size_t n = r.size();
  // Level and tag are short: a plain loop beats a library search here.
  auto blank = [&](size_t from) {
    while (from < n && r[from] != ' ') ++from;
    return from < n ? from : std::string::npos;
  };
  size_t sp = blank(0);
  if (sp == std::string::npos) return;
  line.level = ParseInt32({r.data(), sp}).value_or(-1);
  size_t t = sp + 1;
  while (t < n && r[t] == ' ') ++t;
  size_t sp2 = blank(t);
  if (sp2 == std::string::npos) {
    line.tag.assign(r, t, std::string::npos);
    line.tagKey = TagKey(line.tag.data(), line.tag.size());
    return;
  }
  line.tag.assign(r, t, sp2 - t);
  RaiseAscii(line.tag);
  size_t v = sp2 + 1;
  while (v < n && r[v] == ' ') ++v;
  line.value.assign(r, v, std::string::npos);
  line.tagKey = TagKey(line.tag.data(), line.tag.size());
  line.valueKey = TagKey(line.value.data(), line.value.size());
}

GedReader::GedReader() = default;

GedReader::~GedReader() {
  close();
}

void GedReader::close() {
  file_.reset();
}

bool GedReader::open(const std::string& fileName, Charset defaultCharset, std::string* error) {
  close();
  utf16_.reset();
  buf_.clear();
  pos_ = 0;
  lfNext_ = std::string::npos;
  lfScanned_ = 0;
  eof_ = pastEnd_ = failed_ = fixed_ = false;
  charset_ = defaultCharset;
  lineNumber_ = 0;
  read_ = size_ = 0;

  file_.reset(std::fopen(fileName.c_str(), "rb"));
  struct stat st {};
  if (!file_ || fstat(fileno(file_.get()), &st) != 0 || S_ISDIR(st.st_mode)) {
    int err = file_ ? (S_ISDIR(st.st_mode) ? EISDIR : errno) : errno;
    close();
    if (error)
      *error = "Impossible de lire le fichier " + Utf8ToCp1252(fileName) + " : " +
               SystemReason(err) + ".";
    return false;
  }
  size_ = static_cast<long long>(st.st_size);

  // Sniff the first bytes: byte-order marks, then the zero bytes of UTF-16 "0 HEAD".
  while (buf_.size() < 4 && fill()) {
  }
  if (failed_) {
    if (error) *error = "Erreur de lecture du fichier " + Utf8ToCp1252(fileName) + ".";
    close();
    return false;
  }
  auto b = [&](size_t i) { return i < buf_.size() ? static_cast<unsigned char>(buf_[i]) : 256u; };
  bool le = false, be = false;
  size_t skip = 0;
  if (b(0) == 0xEF && b(1) == 0xBB && b(2) == 0xBF) {
    charset_ = Charset::Utf8;
    fixed_ = true;
    pos_ = 3;
  } else if (b(0) == 0xFF && b(1) == 0xFE) {
    le = true, skip = 2;
  } else if (b(0) == 0xFE && b(1) == 0xFF) {
    be = true, skip = 2;
  } else if (b(0) != 0 && b(0) < 256 && b(1) == 0) {
    le = true;
  } else if (b(0) == 0 && b(1) != 0 && b(1) < 256) {
    be = true;
  }
  if (le || be) {
    charset_ = le ? Charset::Utf16LE : Charset::Utf16BE;
    fixed_ = true;
    utf16_ = std::make_unique<Utf16Decoder>(be);
    std::string undecoded = buf_.substr(skip);
    buf_.clear();
    utf16_->feed(undecoded.data(), undecoded.size(), buf_);
    if (eof_) utf16_->finish(buf_);
  }
  return true;
}

bool GedReader::fill() {
  if (eof_ || !file_) return false;
  size_t got;
  if (utf16_) {
    raw_.resize(kBlock);
    got = std::fread(raw_.data(), 1, kBlock, file_.get());
    utf16_->feed(raw_.data(), got, buf_);
  } else {
    size_t old = buf_.size();
    buf_.resize(old + kBlock);
    got = std::fread(buf_.data() + old, 1, kBlock, file_.get());
    buf_.resize(old + got);
  }
  read_ += static_cast<long long>(got);
  if (got < kBlock) {
    if (std::ferror(file_.get())) failed_ = true;
    eof_ = true;
    if (utf16_) utf16_->finish(buf_);
  }
  return got > 0;
}

bool GedReader::read(TGed& line, bool topOnly) {
  if (pastEnd_) {
    line.raw.clear();
    SplitGedLine(line);
    return false;
  }
  for (;;) {  // once, or until a line of level 0 when topOnly
    size_t scan = pos_;
    size_t b = 0, e = 0;
    for (;;) {
      const char* d = buf_.data();
      size_t n = buf_.size();
      // The next LF is looked for once and remembered, so that files with CR ends alone do not
      // rescan the block for every line; a CR before it ends the line first.
      if (lfNext_ == std::string::npos || lfNext_ < scan) {
        size_t from = std::max(scan, lfScanned_);
        const void* lf = from < n ? std::memchr(d + from, '\n', n - from) : nullptr;
        lfNext_ = lf ? static_cast<size_t>(static_cast<const char*>(lf) - d) : std::string::npos;
        lfScanned_ = lf ? lfNext_ + 1 : n;
      }
      size_t limit = lfNext_ == std::string::npos ? n : lfNext_;
      const void* cr = scan < limit ? std::memchr(d + scan, '\r', limit - scan) : nullptr;
      size_t i = cr ? static_cast<size_t>(static_cast<const char*>(cr) - d) : limit;
      if (i < n && !(d[i] == '\r' && i + 1 == n && !eof_)) {
        b = pos_;
        e = i;
        pos_ = i + 1;
        if (d[i] == '\r' && pos_ < n && d[pos_] == '\n') ++pos_;
        break;
      }
      if (i >= n && eof_) {
        if (pos_ >= n) {
          pastEnd_ = true;
          line.raw.clear();
          SplitGedLine(line);
          return false;
        }
        b = pos_;
        e = pos_ = n;
        break;
      }
      // Need more bytes: drop what was consumed, keep the partial line, read a block.
      scan = i - pos_;
      if (pos_ > 0) {
        buf_.erase(0, pos_);
        lfScanned_ = lfScanned_ > pos_ ? lfScanned_ - pos_ : 0;
        lfNext_ =
            lfNext_ != std::string::npos && lfNext_ >= pos_ ? lfNext_ - pos_ : std::string::npos;
        pos_ = 0;
      }
      if (!fill() && !eof_) eof_ = true;
    }
    ++lineNumber_;
    std::string_view text = TrimSpaces({buf_.data() + b, e - b});
    // The level is ASCII digits in every character set: no conversion needed to see it.
    if (topOnly) {
      size_t sp = text.find(' ');
      if (sp == std::string_view::npos || ParseInt32(text.substr(0, sp)) != 0) continue;
    }
    line.raw.assign(text.data(), text.size());
    convert(line.raw);
    SplitGedLine(line);
    return true;
  }
}

void GedReader::convert(std::string& line) const {
  switch (charset_) {
    case Charset::IbmPc:
      IbmPcToAnsi(line);
      break;
    case Charset::Ansel:
      AnselToAnsi(line);
      break;
    case Charset::Utf8:
      Utf8ToAnsi(line);
      break;
    default:
      break;
  }
}

void GedReader::selectCharset(Charset c) {
  if (fixed_) return;
  // "UNICODE" in a file without 16-bit units: the nearest reading is UTF-8.
  if (c == Charset::Utf16LE || c == Charset::Utf16BE) c = Charset::Utf8;
  charset_ = c;
}

long long GedReader::offset() const {
  long long pending = static_cast<long long>(buf_.size() - pos_);
  long long off = read_ - (utf16_ ? 2 * pending : pending);
  return off < 0 ? 0 : off > size_ ? size_ : off;
}

}  // namespace lignado
