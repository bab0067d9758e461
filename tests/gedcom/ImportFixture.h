#pragma once

#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "data/Base.h"
#include "gedcom/GedcomIn.h"

namespace lignado::test {

// Lines joined with CR LF, each line ended.
inline std::string gedLines(const std::vector<std::string>& lines, const char* end = "\r\n") {
  std::string s;
  for (const std::string& l : lines) s += l + end;
  return s;
}

// One import of a text written to a temporary file.
struct Imported {
  explicit Imported(int capacity = 1000) : db(capacity) {}
  TBD db;
  THead head;
  ImportResult result;
  RecordingHost host;
  std::string log;      // the log file, when asked for
  std::string logPath;  // where it was
  std::string gedPath;
};

struct ImportOptions {
  uint8_t mode = kModeAnsel;
  bool headerOnly = false;
  bool writeLog = false;
  bool nameCase = true;
  int capacity = 1000;
  int abortAfter = 0;
  const Clock* clock = &SystemClock();  // dates the log
};

inline std::unique_ptr<Imported> importBytes(const std::string& bytes, ImportOptions o = {}) {
  auto im = std::make_unique<Imported>(o.capacity);
  TempDir dir;
  im->gedPath = dir.str() + "test.ged";
  im->logPath = dir.str() + "kestrane.log";
  writeFile(im->gedPath, bytes);
  im->host.abortAfter = o.abortAfter;
  im->result = ImportGedcom(im->db, im->gedPath, im->head, o.mode, o.headerOnly, o.writeLog,
                            o.nameCase, &im->host, *o.clock);
  if (o.writeLog) im->log = readFile(im->logPath);
  return im;
}

// The lines after a header line "0 HEAD" when they do not start with one (so the line numbers
// of the log are one more than the lines' indexes).
inline std::unique_ptr<Imported> importLines(const std::vector<std::string>& lines,
                                             ImportOptions o = {}) {
  if (!lines.empty() && lines[0] == "0 HEAD") return importBytes(gedLines(lines), o);
  return importBytes("0 HEAD\r\n" + gedLines(lines), o);
}

}  // namespace lignado::test
