#include "pages/Referencement.h"

#include <array>
#include <fstream>
#include <set>
#include <system_error>

#include "pages/PageList.h"
#include "pages/TemplateFiles.h"
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

string fileHead(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  string head(16384, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  return head;
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
  appendEncoded(out, NativeName(name).generic_string(), false);
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

std::vector<std::pair<string, string>> SitemapFiles(const string& siteUrl,
                                                    const std::vector<string>& pages) {
  auto urlset = [&](size_t from, size_t to) {
    string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<urlset xmlns=\"" +
                 string(kSitemapNs) + "\">\n";
    for (size_t i = from; i < to; ++i)
      xml += "<url><loc>" + xmlText(SiteFileAddress(siteUrl, pages[i])) + "</loc></url>\n";
    return xml + "</urlset>\n";
  };
  std::vector<std::pair<string, string>> files;
  if (pages.size() <= kSitemapMaxUrls) {
    files.emplace_back("sitemap.xml", urlset(0, pages.size()));
    return files;
  }
  string index = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<sitemapindex xmlns=\"" +
                 string(kSitemapNs) + "\">\n";
  files.emplace_back("sitemap.xml", string());
  for (size_t from = 0, n = 1; from < pages.size(); from += kSitemapMaxUrls, ++n) {
    const string name = "sitemap-" + std::to_string(n) + ".xml";
    index += "<sitemap><loc>" + xmlText(siteUrl + name) + "</loc></sitemap>\n";
    files.emplace_back(name, urlset(from, std::min(pages.size(), from + kSitemapMaxUrls)));
  }
  files.front().second = index + "</sitemapindex>\n";
  return files;
}

bool PageAsksNoIndex(string_view page) {
  string head = LowerAscii(page.substr(0, std::min(page.size(), size_t{16384})));
  head.resize(std::min(head.size(), head.find("</head")));
  for (size_t at = head.find("<meta"); at != string::npos; at = head.find("<meta", at + 5)) {
    const size_t close = head.find('>', at);
    const string_view tag = string_view(head).substr(at, close - at);
    if ((tag.find("name=\"robots\"") != string_view::npos ||
         tag.find("name=robots") != string_view::npos) &&
        tag.find("noindex") != string_view::npos)
      return true;
  }
  return false;
}

ReferencingOutcome WriteReferencing(const fs::path& destDir, const SiteReferencing& options,
                                    const std::vector<string>& written, TPageList* list) {
  ReferencingOutcome out;
  std::vector<std::pair<string, string>> files;
  files.emplace_back("robots.txt", RobotsText(options.robots, options.url));
  if (!options.url.empty()) {
    std::vector<string> pages;
    for (const string& name : written) {
      if (name.size() < 5 || name.compare(name.size() - 5, 5, ".html") != 0) continue;
      if (PageAsksNoIndex(fileHead(destDir / NativeName(name)))) continue;
      pages.push_back(name);
    }
    out.listed = static_cast<int>(pages.size());
    for (auto& f : SitemapFiles(options.url, pages)) files.push_back(std::move(f));
    // robots.txt counts only at the root of a server.
    const size_t root = options.url.find('/', options.url.find("//") + 2);
    if (root + 1 < options.url.size())
      out.notes.push_back(
          "robots.txt n'est lu qu'\xE0 la racine du serveur : recopiez ses lignes dans "
          "celui de " +
          options.url.substr(0, root + 1) + ".");
  }
  const std::set<string> ours = TPageList::Recorded(destDir);
  for (const auto& [name, bytes] : files) {
    std::error_code ec;
    if (fs::exists(destDir / name, ec) && !ours.count(name)) {
      out.notes.push_back(name +
                          " : le fichier d\xE9j\xE0 pr\xE9sent dans le dossier est gard\xE9 tel "
                          "quel.");
      continue;
    }
    out.failure = WriteSiteFile(destDir, name, bytes, list);
    if (!out.failure.empty()) return out;
    out.written.push_back(name);
  }
  return out;
}

}  // namespace lignado
