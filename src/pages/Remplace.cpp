#include "pages/Remplace.h"

#include <algorithm>

#include "data/Base.h"

namespace lignado {
namespace {

// A template text may hold any number of tags (a sort key comes from a variable): past these
// limits the rest of the text is left as it is.
constexpr int kMaxTags = 10000;
constexpr size_t kMaxGrowth = size_t{1} << 24;

// Expands the parts of t into done; false when "<h>" or "<f>" emptied the whole text.
bool expandParts(TagState& s, const TTagText& t, std::string& done, int& handled) {
  const std::string& text = t.Text();
  const size_t limit = text.size() + kMaxGrowth;
  size_t from = t.Tail();
  for (const TTagText::Part& part : t.Parts()) {
    if (handled >= kMaxTags || done.size() + text.size() - part.literal > limit) {
      from = part.literal;
      break;
    }
    ++handled;
    done.append(text, part.literal, part.literalSize);
    s.retag = false;
    std::string value = ExpandTag(s, part.ref);
    if (s.retag) {
      // A fallback's tag, expanded in turn; its mark (" b") is template text.
      TTagText again(std::move(value));
      if (!expandParts(s, again, done, handled)) return false;
    } else {
      AppendHtmlText(done, value);
    }
    const std::string_view tag(text.data() + part.tag, part.tagSize);
    const int sex = s.db.GetSex(s.person);
    if ((tag == "<h>" && sex != 0) || (tag == "<f>" && sex != 1)) return false;
  }
  done.append(text, from, std::string::npos);
  return true;
}

}  // namespace

TTagText::TTagText(std::string text) : text_(std::move(text)) {
  // A tag runs from the first "<" to the first ">" after the previous tag; a ">" before the
  // next "<" ends the tags.
  size_t pos = 0;
  for (;;) {
    const size_t lt = text_.find('<', pos);
    const size_t gt = text_.find('>', pos);
    if (lt == std::string::npos || gt == std::string::npos || gt < lt) break;
    parts_.push_back({pos, lt - pos, lt, gt - lt + 1,
                      ResolveTag(std::string_view(text_).substr(lt, gt - lt + 1))});
    pos = gt + 1;
  }
  tail_ = pos;
}

std::vector<TTagText::Unknown> TTagText::UnknownTags() const {
  std::vector<Unknown> out;
  for (const Part& p : parts_) {
    if (p.ref.row) continue;
    Unknown u{p.tag, false, {}};
    u.sentence = UnknownTagSentence(std::string_view(text_).substr(p.tag, p.tagSize), &u.form);
    if (u.sentence.empty()) continue;
    if (std::none_of(out.begin(), out.end(),
                     [&u](const Unknown& o) { return o.sentence == u.sentence; }))
      out.push_back(std::move(u));
  }
  return out;
}

std::string ExpandTags(const TBD& db, int32_t person, const TTagText& text, const Clock& clock,
                       const TVivants* vivants, bool* withheld) {
  if (withheld) *withheld = false;
  if (text.Text().empty() || person <= 0) return {};
  TagState s{db, clock, vivants, person, person};
  std::string done;
  int handled = 0;
  if (!expandParts(s, text, done, handled)) done.clear();
  if (withheld) *withheld = s.withheld;
  return done;
}

std::string ExpandTags(const TBD& db, int32_t person, const std::string& text, const Clock& clock,
                       const TVivants* vivants, bool* withheld) {
  if (text.empty() || person <= 0) {
    if (withheld) *withheld = false;
    return {};
  }
  return ExpandTags(db, person, TTagText(text), clock, vivants, withheld);
}

}  // namespace lignado
