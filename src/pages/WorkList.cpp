#include "pages/WorkList.h"

#include <algorithm>

#include "pages/Medias.h"
#include "pages/TemplateAssets.h"
#include "util/Text.h"

namespace lignado {
namespace {

// FNV-1a over the text folded to lower case: references are short.
constexpr std::size_t kFnvBasis = 14695981039346656037ull;
constexpr std::size_t kFnvPrime = 1099511628211ull;

unsigned char folded(char c) {
  return LowerCp1252(static_cast<unsigned char>(c));
}

std::size_t foldedHash(std::string_view s) {
  std::size_t h = kFnvBasis;
  for (char c : s) h = (h ^ folded(c)) * kFnvPrime;
  return h;
}

bool equalFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (folded(a[i]) != folded(b[i])) return false;
  return true;
}

bool startsWith(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

// The extension of the last path component, from its last ".".
std::string_view extensionOf(std::string_view name) {
  std::size_t slash = name.find_last_of("/\\");
  std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
  std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot < start) return {};
  return name.substr(dot);
}

}  // namespace

TWorkList::TWorkList() : table_(64) {
  Add("index");
}

const TWorkList::Slot* TWorkList::slot(std::string_view ref, std::size_t hash) const {
  const std::size_t mask = table_.size() - 1;
  const auto part = static_cast<uint32_t>(hash >> 32);
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& s = table_[i];
    if (s.entry == 0 || (s.hash == part && equalFolded((*this)[s.entry - 1], ref))) return &s;
  }
}

void TWorkList::place(std::size_t entry, std::size_t hash) {
  const std::size_t mask = table_.size() - 1;
  std::size_t i = hash & mask;
  while (table_[i].entry != 0) i = (i + 1) & mask;
  table_[i] = Slot{static_cast<uint32_t>(entry + 1), static_cast<uint32_t>(hash >> 32)};
}

std::optional<std::string_view> TWorkList::Find(std::string_view ref) const {
  const Slot* s = slot(ref, foldedHash(ref));
  if (s->entry == 0) return std::nullopt;
  return (*this)[s->entry - 1];
}

bool TWorkList::Add(std::string_view ref) {
  const std::size_t hash = foldedHash(ref);
  if (slot(ref, hash)->entry != 0) return false;
  constexpr std::size_t kBlock = std::size_t{1} << 20;
  if (blocks_.empty() || blockSize_ - blockUsed_ < ref.size()) {
    blockSize_ = std::max(kBlock, ref.size());
    blocks_.push_back(std::make_unique<char[]>(blockSize_));
    blockUsed_ = 0;
  }
  const std::size_t at = blockUsed_;
  std::copy(ref.begin(), ref.end(), blocks_.back().get() + at);
  blockUsed_ += ref.size();
  where_.push_back(Where{static_cast<uint32_t>(blocks_.size() - 1), static_cast<uint32_t>(at),
                         static_cast<uint32_t>(ref.size())});
  // At most half full, so a search meets a free slot soon.
  if (where_.size() * 2 > table_.size()) {
    table_.assign(table_.size() * 2, Slot());
    for (std::size_t e = 0; e + 1 < where_.size(); ++e) place(e, foldedHash((*this)[e]));
  }
  place(where_.size() - 1, hash);
  return true;
}

namespace {

// Appends PageFileName(reference) to out.
void appendPageFileName(std::string& out, std::string_view reference) {
  const std::size_t start = out.size();
  out += reference;
  if (startsWith(reference, "http:") || startsWith(reference, "mailto:")) return;
  for (std::size_t i = start; i < out.size(); ++i)
    if (out[i] == '=' || out[i] == '|') out[i] = '_';
  if (reference.size() < 5 || reference.substr(reference.size() - 5) != ".html") out += ".html";
}

}  // namespace

std::string PageFileName(const std::string& reference) {
  std::string name;
  appendPageFileName(name, reference);
  return name;
}

std::vector<PageLink> FindLinks(std::string_view pageText, bool sources) {
  std::vector<PageLink> links;
  std::size_t pos = 0;
  // Each search is kept until passed.
  std::size_t nextRef = pageText.find("ref=");
  std::size_t nextSrc = sources ? pageText.find("src=") : std::string_view::npos;
  for (;;) {
    if (nextRef != std::string_view::npos && nextRef < pos) nextRef = pageText.find("ref=", pos);
    if (nextSrc != std::string_view::npos && nextSrc < pos) nextSrc = pageText.find("src=", pos);
    const bool source = nextSrc < nextRef;
    std::size_t found = source ? nextSrc : nextRef;
    if (found == std::string_view::npos) break;
    // Past "ref=" and the opening mark that follows it.
    pos = std::min(found + 5, pageText.size());
    std::size_t close = pageText.find('"', pos);
    if (close == std::string_view::npos) continue;
    links.push_back(PageLink{pos, close, source});
    pos = close;
  }
  return links;
}

void ResolveLink(std::string_view pageText, const PageLink& link, TWorkList& workList,
                 TTemplateAssets* assets, std::string& out) {
  std::string_view target = pageText.substr(link.start, link.end - link.start);
  // A page reference ("personne|n=1", most links) is never a file of the template folder.
  const bool pageReference =
      !link.source &&
      target.substr(0, target.find_first_of("?#")).find_first_of("|:") != std::string_view::npos;
  if (assets && !pageReference) {
    const std::string written(target);
    const bool source = link.source;
    if (source && !assets->Take(written) && assets->TakeScript(written)) {
      if (const std::optional<std::string_view> entry = workList.Find(target))
        out += ScriptFileName(std::string(*entry));
      else if (workList.Add(written))
        out += ScriptFileName(written);
      return;
    }
    if (source || assets->Take(written)) {
      out += target;
      return;
    }
  }
  // A copy of a media file of the family (a document, a picture's full size) is no page.
  if (startsWith(target, kMediaFolder) && extensionOf(target) != ".html") {
    out += target;
    return;
  }
  if (startsWith(target, "http:") || startsWith(target, "mailto:") ||
      extensionOf(target) == ".html") {
    appendPageFileName(out, target);
  } else if (const std::optional<std::string_view> entry = workList.Find(target)) {
    // Links that differ only in case name the one file written for the first of them.
    appendPageFileName(out, *entry);
  } else {
    workList.Add(target);
    appendPageFileName(out, target);
  }
}

std::string ReplaceLinks(std::string_view pageText, const std::vector<PageLink>& links,
                         std::string_view resolved, const std::vector<std::size_t>& ends) {
  std::string out;
  out.reserve(pageText.size() + resolved.size());
  std::size_t pos = 0, from = 0;
  for (std::size_t i = 0; i < links.size(); ++i) {
    out.append(pageText, pos, links[i].start - pos);
    out.append(resolved, from, ends[i] - from);
    pos = links[i].end;
    from = ends[i];
  }
  out.append(pageText, pos, std::string_view::npos);
  return out;
}

std::string RewriteLinks(const std::string& pageText, TWorkList& workList,
                         TTemplateAssets* assets) {
  const std::vector<PageLink> links = FindLinks(pageText, assets != nullptr);
  std::string resolved;
  std::vector<std::size_t> ends;
  ends.reserve(links.size());
  for (const PageLink& link : links) {
    ResolveLink(pageText, link, workList, assets, resolved);
    ends.push_back(resolved.size());
  }
  return ReplaceLinks(pageText, links, resolved, ends);
}

}  // namespace lignado
