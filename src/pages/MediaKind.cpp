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

struct Kind {
  const char* extension;
  Check check;
};

constexpr Kind kKinds[] = {
    {"jpg", jpeg},     {"jpeg", jpeg},    {"jpe", jpeg},      {"jfif", jpeg},
    {"png", png},      {"gif", gif},      {"bmp", bmp},       {"tif", tiff},
    {"tiff", tiff},    {"webp", webp},    {"heic", isoMedia}, {"avif", isoMedia},
    {"pdf", pdf},      {"txt", text},     {"rtf", rtf},       {"mp3", mp3},
    {"wav", wav},      {"aif", aiff},     {"aiff", aiff},     {"ogg", ogg},
    {"oga", ogg},      {"flac", flac},    {"m4a", isoMedia},  {"mp4", isoMedia},
    {"m4v", isoMedia}, {"mov", isoMedia}, {"avi", avi},       {"webm", matroska},
    {"mkv", matroska}, {"ogv", ogg},      {"mpg", mpeg},      {"mpeg", mpeg},
};

}  // namespace

MediaKind MediaKindOf(std::string_view extension, std::string_view head) {
  const std::string ext = LowerAscii(extension);
  for (const Kind& k : kKinds)
    if (ext == k.extension) return k.check(head) ? MediaKind::Matches : MediaKind::Mismatch;
  return MediaKind::Unknown;
}

}  // namespace lignado
