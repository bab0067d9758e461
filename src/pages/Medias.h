#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "pages/Vignettes.h"

namespace lignado {

// The site folder that holds the copies of the persons' media files.
inline const std::string kMediaFolder = "medias/";

// The largest media file copied unless told otherwise: 100 MB.
inline constexpr uint64_t kMediaMaxBytes = 100ull << 20;

// Where the site keeps a media file named as the GEDCOM file writes it ("photos/a b.jpg",
// "C:\Photos\x.jpg"): kMediaFolder, then its file name made safe (lower-case ASCII letters,
// digits, "-" and "_"; lists lower-case what they hold), a mark of the whole path, and its
// extension. The same text always gives the same name; two texts with the same file name
// give different ones.
std::string MediaSitePath(const std::string& written);

class TBD;
class TVivants;
class TPageList;
struct TMedia;

// The site paths of the reduced copies of a picture copied at site path `site`: a thumbnail
// and a copy the size of a page, beside it ("medias/x_1a2b3c4d_320.jpg"); empty when the
// picture is not reduced (ReducedExtension).
std::string ThumbnailPath(const std::string& site);
std::string PageSizePath(const std::string& site);

// "230 Ko", "1,5 Mo", "12 octets".
std::string FileSizeWords(uint64_t bytes);

// What a copy in the site is, once CopyMedia made it.
struct MediaFacts {
  uint64_t bytes = 0;
  std::string thumbnail, pageSize;  // site paths; empty when not made
  PictureSize thumbnailSize;
};

// Every media link of a database, numbered from 1 in a fixed order (each person's own files,
// then those of its events and facts; each union's, then its events'; each source's), so that
// a page names one by a number, as it names a person. Made from the database; what the copy
// found is added by CopyMedia.
class MediaSite {
 public:
  enum class Owner : uint8_t { Person, PersonEvent, Union, UnionEvent, Source };
  struct Entry {
    std::string file, title;  // as the GEDCOM file writes them
    std::string site;         // MediaSitePath (file)
    Owner owner;
    int32_t number;  // of the person, union or source
  };

  // With vivants, the sources that a shown person or union cites are told apart.
  MediaSite(const TBD& db, const TVivants* vivants);

  int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
  const Entry* At(int32_t m) const;  // 1..Count, else nullptr
  // The numbers of a list of files that the database holds (a person's, an event's...):
  // those vivants shows and, once copied, those that were copied.
  std::vector<int32_t> Numbers(const std::vector<TMedia>& list) const;
  // Facts of a copy; nullptr before the copy or when it was not copied.
  const MediaFacts* Facts(const std::string& site) const;
  bool Copied() const { return copied_; }
  // Whether a shown person or union cites source s (every source without vivants).
  bool SourceShown(int32_t s) const;

 private:
  friend struct MediaCopier;
  std::vector<Entry> entries_;
  std::unordered_map<const void*, int32_t> first_;  // a list's address -> its first number
  std::unordered_map<std::string, MediaFacts> facts_;
  std::unordered_set<int32_t> sourceCited_;
  bool withVivants_ = false, copied_ = false;
};

// The extension of a path, without its dot; empty when it has none.
std::string MediaExtension(const std::string& path);
// Whether a page shows this file as a picture (reduced, or as it is when a browser shows its
// kind and it is not to be reduced); anything else, an unreadable picture too, is a link.
bool ShownAsPicture(const MediaSite::Entry& e, const MediaFacts* facts);

// The media of db for the tags and lists: the one a generation put in place (MediaSiteScope),
// else one made from db (kept while db's counts and vivants stay the same).
std::shared_ptr<const MediaSite> MediaSiteOf(const TBD& db, const TVivants* vivants);

// While it lives, MediaSiteOf (db) gives site: the pages of a generation see what its copy
// did.
class MediaSiteScope {
 public:
  MediaSiteScope(const TBD& db, std::shared_ptr<const MediaSite> site);
  ~MediaSiteScope();
  MediaSiteScope(const MediaSiteScope&) = delete;
  MediaSiteScope& operator=(const MediaSiteScope&) = delete;

 private:
  const TBD& db_;
};

// Where media files may be read from. A file is copied only when, symlinks followed, it lies
// below one of the folders with no name starting with "." on the way down from that folder,
// is a regular file of a media kind (MediaKindOf: extension and first bytes agree) and holds
// at most maxBytes.
struct MediaRules {
  // UTF-8. The GEDCOM file's folder first: a relative path is looked for below each folder in
  // order, then (a Windows path such as "C:\Photos\x.jpg", a moved folder) the first file of
  // that name, letter case ignored, below each folder in order.
  std::vector<std::string> folders;
  uint64_t maxBytes = kMediaMaxBytes;
};

struct MediaCopy {
  std::vector<std::string> written;       // site paths of the copies and their reduced copies
  std::vector<std::string> missing;       // French lines, one a file that was not copied and why
  std::shared_ptr<const MediaSite> site;  // with the facts of the copies
  int reduced = 0, reused = 0;            // reduced copies made, and kept from a build before
};

// Copies into destDir (ending in "/") the media of every person, event and union that vivants
// does not hide, and of the sources they cite, each once, at its MediaSitePath, under a
// temporary name first so that no copy is ever cut; the copy keeps the time of its file. A
// picture gets its thumbnail and its page-size copy, made again only when its file changed. A
// file that is missing or refused by the rules is listed, never fatal. With a list, each copy
// is recorded in it before it takes its name, so a stopped build leaves none unlisted.
MediaCopy CopyMedia(const TBD& db, const MediaRules& rules, const std::string& destDir,
                    const TVivants* vivants, TPageList* list = nullptr);

}  // namespace lignado
