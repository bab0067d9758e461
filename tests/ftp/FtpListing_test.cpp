#include "ftp/FtpListing.h"

#include <gtest/gtest.h>

namespace lignado {
namespace {

// name, size, folder, link, one entry per line, so that cases read as a table.
std::string shown(const std::vector<FtpEntry>& entries) {
  std::string out;
  for (const FtpEntry& e : entries)
    out += e.name + "|" + std::to_string(e.size) + (e.folder ? "|d" : "") + (e.link ? "|l" : "") +
           "\n";
  return out;
}

TEST(FtpListing, MlsdFactsAndNames) {
  const struct {
    std::string text, want;
    size_t unread = 0;
  } cases[] = {
      {"type=file;size=1234;modify=20240131090500; index.html\r\n", "index.html|1234\n"},
      {"Type=File;Size=7; a b;c.html\r\n", "a b;c.html|7\n"},  // blanks and ";" in the name
      {"type=dir;sizd=4096; images\r\n", "images|4096|d\n"},
      {"type=cdir; /www\r\ntype=pdir; ..\r\ntype=file;size=1; x\r\n", "x|1\n"},
      {"type=OS.unix=slink:/etc;size=4; lien\r\n", "lien|4|l\n"},
      {"type=file;size=12x; bad\r\nmodify=1;type=file; sans-taille\n", "sans-taille|-1\n", 1},
      {"no-space-at-all\r\n\r\ntype=file;size=3; \r\n", "", 2},
  };
  for (const auto& c : cases) {
    size_t unread = 99;
    EXPECT_EQ(shown(ParseMlsd(c.text, &unread)), c.want) << c.text;
    EXPECT_EQ(unread, c.unread) << c.text;
  }
}

TEST(FtpListing, ListInUnixAndDosForms) {
  const struct {
    std::string text, want;
    size_t unread = 0;
  } cases[] = {
      {"total 12\r\n-rw-r--r--   1 owner group     1234 Jan 31 09:05 index.html\r\n",
       "index.html|1234\n"},
      {"-rw-r--r-- 1 owner 77 Dec  1  2023 sans groupe.html\n", "sans groupe.html|77\n"},
      {"drwxr-xr-x   2 owner group  4096 Feb  3 10:00 images\n", "images|4096|d\n"},
      {"lrwxrwxrwx   1 o g  9 Mar  4 11:00 cles -> .ssh\n", "cles|9|l\n"},
      {"-rw-r--r--   1 o g  5 Mar  4 11:00  deux blancs\n", " deux blancs|5\n"},
      {"-rw-r--r--   1 o g  5 Mar  4 11:00 12 Jan 10:00 x\n", "12 Jan 10:00 x|5\n"},
      {"drwxr-xr-x 2 o g 4096 Jan 1 00:00 .\ndrwxr-xr-x 2 o g 4096 Jan 1 00:00 ..\n", ""},
      {"01-31-24  09:05PM       <DIR>          images\r\n", "images|-1|d\n"},
      {"01-31-2024  09:05AM              1234 page un.html\r\n", "page un.html|1234\n"},
      {"-rw-r--r-- 1 o g notanumber Jan 1 00:00 x\ngarbage line\n-rw\n", "", 3},
      {"-rw-r--r-- 1 o g 5 d\xE9"
       "c 4 11:00 mois local\n",
       "", 1},
  };
  for (const auto& c : cases) {
    size_t unread = 99;
    EXPECT_EQ(shown(ParseList(c.text, &unread)), c.want) << c.text;
    EXPECT_EQ(unread, c.unread) << c.text;
  }
}

}  // namespace
}  // namespace lignado
