#include "pages/MediaKind.h"

#include <string>

#include "util/Text.h"

namespace lignado {
namespace {

using Check = bool (*)(std::string_view);

bool at(std::string_view head, std::size_t offset, std::string_view bytes) {
  return head.size() >= offset + bytes.size() && head.substr(offset, bytes.size()) == bytes;
}

bool jpeg(std::string_view h) {
  return at(h, 0, "\xFF\xD8\xFF");
}
bool png(std::string_view h) {
  return at(h, 0, "\x89PNG\r\n\x1A\n");
}
bool gif(std::string_view h) {
  return at(h, 0, "GIF87a") || at(h, 0, "GIF89a");
}
bool bmp(std::string_view h) {
  return at(h, 0, "BM");
}
bool tiff(std::string_view h) {
  return at(h, 0, std::string_view("II*\0", 4)) || at(h, 0, std::string_view("MM\0*", 4));
}
bool riff(std::string_view h, std::string_view form) {
  return at(h, 0, "RIFF") && at(h, 8, form);
}
bool webp(std::string_view h) {
  return riff(h, "WEBP");
}
bool wav(std::string_view h) {
  return riff(h, "WAVE");
}
bool avi(std::string_view h) {
  return riff(h, "AVI ");
}
bool aiff(std::string_view h) {
  return at(h, 0, "FORM") && (at(h, 8, "AIFF") || at(h, 8, "AIFC"));
}
bool pdf(std::string_view h) {
  return at(h, 0, "%PDF-");
}
bool rtf(std::string_view h) {
  return at(h, 0, "{\\rtf");
}
bool ogg(std::string_view h) {
  return at(h, 0, "OggS");
}
bool flac(std::string_view h) {
  return at(h, 0, "fLaC");
}
bool matroska(std::string_view h) {
  return at(h, 0, "\x1A\x45\xDF\xA3");
}
// ISO media (MP4, M4A, QuickTime, HEIF, AVIF): a box type at offset 4.
bool isoMedia(std::string_view h) {
  for (std::string_view box : {"ftyp", "moov", "mdat", "wide", "free", "skip"})
    if (at(h, 4, box)) return true;
  return false;
}
bool mp3(std::string_view h) {
  return at(h, 0, "ID3") ||
         (h.size() >= 2 && h[0] == '\xFF' && (static_cast<unsigned char>(h[1]) & 0xE0) == 0xE0);
}
bool mpeg(std::string_view h) {
  return at(h, 0, std::string_view("\0\0\1\xBA", 4)) || at(h, 0, std::string_view("\0\0\1\xB3", 4));
}
// Text: no control character other than tab, line ends and form feed (UTF-8 and Windows-1252
// letters are bytes above 127).
bool text(std::string_view h) {
  for (char c : h) {
    unsigned char u = static_cast<unsigned char>(c);
    if ((u < 32 && u != '\t' && u != '\n' && u != '\r' && u != '\f') || u == 127) return false;
  }
  return true;
}

using C = MediaCategory;

struct Kind {
  const char* extension;
  Check check;
  C category;
  const char* format;  // its name in a link ("PDF", "MP3")
};

constexpr Kind kKinds[] = {
    {"jpg", jpeg, C::Picture, "JPEG"},
    {"jpeg", jpeg, C::Picture, "JPEG"},
    {"jpe", jpeg, C::Picture, "JPEG"},
    {"jfif", jpeg, C::Picture, "JPEG"},
    {"png", png, C::Picture, "PNG"},
    {"gif", gif, C::Picture, "GIF"},
    {"bmp", bmp, C::Picture, "BMP"},
    {"tif", tiff, C::Picture, "TIFF"},
    {"tiff", tiff, C::Picture, "TIFF"},
    {"webp", webp, C::Picture, "WebP"},
    {"heic", isoMedia, C::Picture, "HEIC"},
    {"avif", isoMedia, C::Picture, "AVIF"},
    {"pdf", pdf, C::Pdf, "PDF"},
    {"txt", text, C::Text, ""},
    {"rtf", rtf, C::Text, "RTF"},
    {"mp3", mp3, C::Sound, "MP3"},
    {"wav", wav, C::Sound, "WAV"},
    {"aif", aiff, C::Sound, "AIFF"},
    {"aiff", aiff, C::Sound, "AIFF"},
    {"ogg", ogg, C::Sound, "Ogg"},
    {"oga", ogg, C::Sound, "Ogg"},
    {"flac", flac, C::Sound, "FLAC"},
    {"m4a", isoMedia, C::Sound, "M4A"},
    {"mp4", isoMedia, C::Video, "MP4"},
    {"m4v", isoMedia, C::Video, "MP4"},
    {"mov", isoMedia, C::Video, "QuickTime"},
    {"avi", avi, C::Video, "AVI"},
    {"webm", matroska, C::Video, "WebM"},
    {"mkv", matroska, C::Video, "Matroska"},
    {"ogv", ogg, C::Video, "Ogg"},
    {"mpg", mpeg, C::Video, "MPEG"},
    {"mpeg", mpeg, C::Video, "MPEG"},
};

const Kind* kindOf(std::string_view extension) {
  const std::string ext = LowerAscii(extension);
  for (const Kind& k : kKinds)
    if (ext == k.extension) return &k;
  return nullptr;
}

}  // namespace

MediaCategory MediaCategoryOf(std::string_view extension) {
  const Kind* k = kindOf(extension);
  return k ? k->category : C::None;
}

std::string MediaKindWords(std::string_view extension) {
  const Kind* k = kindOf(extension);
  if (!k) return "fichier";
  const std::string format = k->format;
  switch (k->category) {
    case C::Picture:
      return "image " + format;
    case C::Pdf:
      return format;
    case C::Text:
      return format.empty() ? "texte" : "texte " + format;
    case C::Sound:
      return "son " + format;
    case C::Video:
      return "vid\xE9o " + format;
    case C::None:
      break;
  }
  return "fichier";
}

bool BrowserShows(std::string_view extension) {
  const std::string ext = LowerAscii(extension);
  return ext == "jpg" || ext == "jpeg" || ext == "jpe" || ext == "jfif" || ext == "png" ||
         ext == "gif" || ext == "webp";
}

MediaKind MediaKindOf(std::string_view extension, std::string_view head) {
  const Kind* k = kindOf(extension);
  if (!k) return MediaKind::Unknown;
  return k->check(head) ? MediaKind::Matches : MediaKind::Mismatch;
}

}  // namespace lignado
