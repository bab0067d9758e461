#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lignado {

class TPageList;

// What the site tells crawlers in its robots.txt.
enum class RobotsMode {
  Search,  // search engines welcome, the crawlers of AI companies (AiCrawlers) refused
  All,     // every crawler welcome
  None,    // every crawler refused
};

// "search", "all", "none" (the command line's and the settings' names); none for anything else.
std::optional<RobotsMode> RobotsModeNamed(std::string_view name);
const char* RobotsModeName(RobotsMode mode);

// The user agents that RobotsMode::Search refuses.
std::span<const std::string_view> AiCrawlers();

// The site's address and what robots.txt says; an empty url: no address.
struct SiteReferencing {
  std::string url;  // as CheckSiteAddress gives it
  RobotsMode robots = RobotsMode::Search;
};

struct SiteAddress {
  std::string url;        // "https://exemple.fr/genealogie/"; empty when none or refused
  std::string complaint;  // French (Windows-1252) when refused; empty otherwise
};

// The address as typed (UTF-8, blanks around it ignored): empty gives no address; otherwise
// http or https, a server name (letters without accents, digits, "." and "-"; an IPv6 address
// between brackets), an optional port, a path without "?" or "#". Scheme and server are
// lower-cased, the path ends with "/", and path bytes a page would misread are percent-encoded.
SiteAddress CheckSiteAddress(std::string_view typed);

// The absolute address of a file of the site, named as the site names it (Windows-1252).
std::string SiteFileAddress(const std::string& siteUrl, const std::string& name);

// robots.txt: one group per refused crawler, then the rule for everyone else, then, with an
// address, the line that names the sitemap.
std::string RobotsText(RobotsMode mode, const std::string& siteUrl);

inline constexpr std::size_t kSitemapMaxUrls = 50000;  // per sitemap file

// Takes each sitemap file in order, as the site names it, and its bytes; false stops.
using SitemapSink = std::function<bool(const std::string& name, const std::string& bytes)>;

// The sitemap of the HTML pages of `names` (as the site names them) but those whose bit in
// `noIndex` (indexed as `names`; names beyond it have none) is set: "sitemap.xml" alone up to
// kSitemapMaxUrls pages, else an index "sitemap.xml" over "sitemap-1.xml"... One file is made at
// a time. `listed` gets the number of pages listed; false when `file` stopped it.
bool SitemapFiles(const std::string& siteUrl, const std::vector<std::string>& names,
                  const std::vector<bool>& noIndex, const SitemapSink& file, int* listed);

struct ReferencingOutcome {
  std::vector<std::string> written;  // robots.txt and the sitemap files, as the site names them
  int listed = 0;                    // pages in the sitemap
  std::string failure;               // French: a write that failed; empty otherwise
  std::vector<std::string> notes;    // French lines: files of the user kept, robots.txt placing
};

// Written after the pages: robots.txt, and with an address the sitemap of the HTML pages of
// `written` (those marked in `noIndex`, as SiteResult gives them, left out). A robots.txt or a
// sitemap that no generation wrote there (the user's own) is left as it is.
ReferencingOutcome WriteReferencing(const std::filesystem::path& destDir,
                                    const SiteReferencing& options,
                                    const std::vector<std::string>& written,
                                    const std::vector<bool>& noIndex, TPageList* list);

// Whether a page's head holds <meta name="robots" content="...noindex...">.
bool PageAsksNoIndex(std::string_view page);

}  // namespace lignado
