#include "pages/Referencement.h"

#include <algorithm>
#include <array>
#include <optional>
#include <set>
#include <system_error>

#include "pages/PageList.h"
#include "util/Text.h"
#include "util/Utf8.h"

namespace lignado {
namespace {

namespace fs = std::filesystem;
using std::string;
using std::string_view;

constexpr std::array<string_view, 11> kAiCrawlers = {"GPTBot",
                                                     "ChatGPT-User",
                                                     "OAI-SearchBot",
                                                     "ClaudeBot",
                                                     "anthropic-ai",
                                                     "Google-Extended",
                                                     "CCBot",
                                                     "PerplexityBot",
                                                     "Bytespider",
                                                     "Applebot-Extended",
                                                     "meta-externalagent"};

bool isHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Bytes a path keeps as they are: the unreserved ones and a few that no page reading of an
// address (an attribute, a variable of the page language, a file name) takes for something else.
bool keptInPath(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  return string_view("-._~/!*+,;:@()").find(static_cast<char>(c)) != string_view::npos;
}

// keepEscapes: a "%" followed by two hex digits is already an escape (a typed address).
void appendEncoded(string& out, string_view bytes, bool keepEscapes) {
  static const char kHex[] = "0123456789ABCDEF";
  for (size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (keptInPath(c) || (keepEscapes && c == '%' && i + 2 < bytes.size() && isHex(bytes[i + 1]) &&
                          isHex(bytes[i + 2]))) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
}

// A file name as the site names it (Windows-1252, "\\" or "/" between folders), as an address's
// path: UTF-8, percent-encoded.
void appendSiteName(string& out, const string& name) {
  const bool ascii = std::all_of(name.begin(), name.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  string path = ascii ? name : Cp1252ToUtf8(name);
  std::replace(path.begin(), path.end(), '\\', '/');
  appendEncoded(out, path, false);
}

bool endsWithHtml(const string& name) {
  return name.size() >= 5 && name.compare(name.size() - 5, 5, ".html") == 0;
}

bool startsNoCase(string_view text, string_view lower) {
  if (text.size() < lower.size()) return false;
  for (size_t i = 0; i < lower.size(); ++i)
    if (AsciiLower(text[i]) != lower[i]) return false;
  return true;
}

string xmlText(string_view s) {
  string out;
  for (char c : s) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool validHost(string_view host) {
  if (host.empty()) return false;
  if (host.front() == '[') {
    if (host.size() < 3 || host.back() != ']') return false;
    for (char c : host.substr(1, host.size() - 2))
      if (!isHex(c) && c != ':' && c != '.') return false;
    return true;
  }
  if (host.front() == '.' || host.front() == '-' || host.back() == '.' ||
      host.find("..") != string_view::npos)
    return false;
  for (char c : host)
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-')) return false;
  return true;
}

string refused(string_view typed, const string& why) {
  return "Adresse du site invalide : \xAB " + Utf8ToCp1252(string(typed)) + " \xBB (" + why + ").";
}

constexpr string_view kSitemapNs = "http://www.sitemaps.org/schemas/sitemap/0.9";

}  // namespace

std::optional<RobotsMode> RobotsModeNamed(string_view name) {
  if (name == "search") return RobotsMode::Search;
  if (name == "all") return RobotsMode::All;
  if (name == "none") return RobotsMode::None;
  return std::nullopt;
}

const char* RobotsModeName(RobotsMode mode) {
  return mode == RobotsMode::All ? "all" : mode == RobotsMode::None ? "none" : "search";
}

std::span<const string_view> AiCrawlers() {
  return kAiCrawlers;
}

SiteAddress CheckSiteAddress(string_view typed) {
  SiteAddress out;
  const string_view t = TrimBlanks(typed);
  if (t.empty()) return out;
  for (char c : t)
    if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F) {
      out.complaint = refused(t, "ni blanc ni caract\xE8re de contr\xF4le dans une adresse");
      return out;
    }
  const string lower = LowerAscii(t.substr(0, 8));
  size_t rest;
  if (lower.rfind("https://", 0) == 0)
    rest = 8;
  else if (lower.rfind("http://", 0) == 0)
    rest = 7;
  else {
    out.complaint = refused(t, "elle doit commencer par http:// ou https://");
    return out;
  }
  if (t.find_first_of("?#") != string_view::npos) {
    out.complaint = refused(t, "ni \xAB ? \xBB ni \xAB # \xBB dans l'adresse d'un site");
    return out;
  }
  const size_t slash = t.find('/', rest);
  const string_view authority = t.substr(rest, slash == string_view::npos ? slash : slash - rest);
  const string_view path = slash == string_view::npos ? string_view("/") : t.substr(slash);
  if (authority.find('@') != string_view::npos) {
    out.complaint = refused(t, "ni nom d'utilisateur ni mot de passe dans l'adresse d'un site");
    return out;
  }
  string host = LowerAscii(authority);
  string port;
  const size_t colon = host.rfind(':');
  if (colon != string::npos && host.find(']', colon) == string::npos) {
    port = host.substr(colon + 1);
    host.resize(colon);
    const std::optional<int32_t> n = ParseInt32(port);
    if (!n || *n < 1 || *n > 65535 || port.find_first_not_of("0123456789") != string::npos) {
      out.complaint = refused(t, "le port doit \xEAtre un nombre de 1 \xE0 65535");
      return out;
    }
    port = ":" + std::to_string(*n);
  }
  if (host.empty()) {
    out.complaint = refused(t, "le nom du serveur manque");
    return out;
  }
  if (!validHost(host)) {
    out.complaint =
        refused(t,
                "le nom du serveur ne peut contenir que des lettres sans accent, des chiffres, des "
                "points et des tirets");
    return out;
  }
  out.url = string(rest == 8 ? "https://" : "http://") + host + port;
  appendEncoded(out.url, path, true);
  if (out.url.back() != '/') out.url += '/';
  return out;
}

string SiteFileAddress(const string& siteUrl, const string& name) {
  string out = siteUrl;
  appendSiteName(out, name);
  return out;
}

string RobotsText(RobotsMode mode, const string& siteUrl) {
  string out = "# Les robots des moteurs de recherche et les autres\n";
  if (mode == RobotsMode::Search)
    for (string_view agent : kAiCrawlers)
      out += "\nUser-agent: " + string(agent) + "\nDisallow: /\n";
  out += "\nUser-agent: *\n";
  out += mode == RobotsMode::None ? "Disallow: /\n" : "Disallow:\n";
  if (!siteUrl.empty()) out += "\nSitemap: " + siteUrl + "sitemap.xml\n";
  return Cp1252ToUtf8(out);
}

bool SitemapFiles(const string& siteUrl, const std::vector<string>& names,
                  const std::vector<bool>& noIndex, const SitemapSink& file, int* listed) {
  auto listedAt = [&](size_t i) {
    return endsWithHtml(names[i]) && !(i < noIndex.size() && noIndex[i]);
  };
  size_t count = 0;
  for (size_t i = 0; i < names.size(); ++i) count += listedAt(i);
  if (listed) *listed = static_cast<int>(count);
  size_t next = 0;  // the next name to look at
  // The urlset of the next `n` listed pages.
  auto urlset = [&](size_t n) {
    string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<urlset xmlns=\"" +
                 string(kSitemapNs) + "\">\n";
    for (; n > 0; ++next) {
      if (!listedAt(next)) continue;
      --n;
      string url = siteUrl;
      appendSiteName(url, names[next]);
      xml += "<url><loc>" + xmlText(url) + "</loc></url>\n";
    }
    return xml + "</urlset>\n";
  };
  if (count <= kSitemapMaxUrls) return file("sitemap.xml", urlset(count));
  const size_t parts = (count + kSitemapMaxUrls - 1) / kSitemapMaxUrls;
  string index = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<sitemapindex xmlns=\"" +
                 string(kSitemapNs) + "\">\n";
  for (size_t n = 1; n <= parts; ++n)
    index += "<sitemap><loc>" + xmlText(siteUrl + "sitemap-" + std::to_string(n) + ".xml") +
             "</loc></sitemap>\n";
  if (!file("sitemap.xml", index + "</sitemapindex>\n")) return false;
  for (size_t n = 1; n <= parts; ++n)
    if (!file("sitemap-" + std::to_string(n) + ".xml",
              urlset(std::min(kSitemapMaxUrls, count - (n - 1) * kSitemapMaxUrls))))
      return false;
  return true;
}

bool PageAsksNoIndex(string_view page) {
  page = page.substr(0, std::min(page.size(), size_t{16384}));
  for (size_t at = page.find('<'); at != string_view::npos; at = page.find('<', at + 1)) {
    const string_view rest = page.substr(at + 1);
    if (startsNoCase(rest, "/head")) return false;
    if (!startsNoCase(rest, "meta")) continue;
    const string tag = LowerAscii(page.substr(at, page.find('>', at) - at));
    if ((tag.find("name=\"robots\"") != string::npos || tag.find("name=robots") != string::npos) &&
        tag.find("noindex") != string::npos)
      return true;
  }
  return false;
}

ReferencingOutcome WriteReferencing(const fs::path& destDir, const SiteReferencing& options,
                                    const std::vector<string>& written,
                                    const std::vector<bool>& noIndex, TPageList* list) {
  ReferencingOutcome out;
  // The list of earlier builds is read only when one of our files is already there.
  std::optional<std::set<string>> ours;
  auto write = [&](const string& name, const string& bytes) {
    std::error_code ec;
    if (fs::exists(destDir / name, ec)) {
      if (!ours) ours = TPageList::Recorded(destDir);
      if (!ours->count(name)) {
        out.notes.push_back(name +
                            " : le fichier d\xE9j\xE0 pr\xE9sent dans le dossier est gard\xE9 tel "
                            "quel.");
        return true;
      }
    }
    out.failure = WriteSiteFile(destDir, name, bytes, list);
    if (!out.failure.empty()) return false;
    out.written.push_back(name);
    return true;
  };
  // robots.txt counts only at the root of a server.
  const size_t root = options.url.find('/', options.url.find("//") + 2);
  if (!options.url.empty() && root + 1 < options.url.size())
    out.notes.push_back(
        "robots.txt n'est lu qu'\xE0 la racine du serveur : recopiez ses lignes dans "
        "celui de " +
        options.url.substr(0, root + 1) + ".");
  if (!write("robots.txt", RobotsText(options.robots, options.url)) || options.url.empty())
    return out;
  SitemapFiles(options.url, written, noIndex, write, &out.listed);
  return out;
}

}  // namespace lignado
