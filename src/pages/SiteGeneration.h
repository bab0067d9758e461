#pragma once

#include <string>
#include <vector>

namespace lignado {

class Host;
class TKSParse;
class TPageList;

struct SiteResult {
  bool noDestination = false;  // destDir is not a folder: nothing was run or written
  // The host's stop request ended the generation: no page was written once it was seen.
  bool stopped = false;
  int pagesWritten = 0;
  std::vector<std::string> written;  // file names of the pages written, relative to destDir,
                                     // then of the template files copied
  // One bit per page of `written` (its first pagesWritten names): an HTML page whose head asks
  // robots not to index it, which the sitemap leaves out.
  std::vector<bool> noIndex;
  // French: the first write that failed, file and reason; the generation stopped there.
  std::string failure;
  // French, one line per page that went over a limit of its run (it holds the error marker).
  std::vector<std::string> limited;
};

// Runs "index" and every page reference its pages link to, breadth first, and writes each page
// into destDir (a folder that must exist, or the result says noDestination), creating the
// sub-folders a page names. Each file is written whole (a temporary file renamed over the old
// one), recorded first in the list when one is given. The first write that fails stops the
// generation: the result's failure says which file and why. Progress goes to the host, and
// its stop request, asked before each page is written, ends the generation (stopped).
// Pages run on `jobs` threads (0: one per core); the files and the progress are those of one
// thread, and the host is called on the calling thread only.
SiteResult GenerateSite(TKSParse& interpreter, const std::string& templateDir,
                        const std::string& destDir, Host* host, int jobs = 1,
                        TPageList* list = nullptr);
// The number of threads that `jobs` asks for: itself when above 0, else one per core.
int PageThreads(int jobs);
}  // namespace lignado
