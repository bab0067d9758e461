#include "workflow/Publication.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <new>
#include <set>
#include <system_error>

#include "ftp/ProtocolTrace.h"
#include "ftp/UploadMarks.h"
#include "ftp/qorvFTP.h"
#include "genealogy/Sosa.h"
#include "pages/Medias.h"
#include "pages/PageList.h"
#include "pages/SiteGeneration.h"
#include "pages/TemplateFiles.h"
#include "pages/uParser.h"
#include "util/SettingsPlace.h"
#include "util/SystemReason.h"
#include "util/Text.h"
#include "util/Utf8.h"

#ifndef LIGNADO_INSTALLED_MODELE
#define LIGNADO_INSTALLED_MODELE "../share/lignado/modele"
#endif

namespace lignado {
namespace fs = std::filesystem;

namespace {

fs::path programFolder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::current_path(ec) : exe.parent_path();
}

fs::path userTemplates() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') return fs::path(xdg) / "lignado" / "modele";
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return fs::path(home) / ".local/share/lignado/modele";
  return {};
}

}  // namespace

// 1. Import.

ImportOutcome ImportForPublication(const std::string& gedcomFile, const ImportOptions& options,
                                   Host* host, std::unique_ptr<TBD> previous) {
  ImportOutcome out;
  const long capacity =
      options.capacity == kGrowing ? kGrowing : std::clamp<long>(options.capacity, 1, INT_MAX);
  if (previous &&
      (capacity == kGrowing ? previous->Growing()
                            : !previous->Growing() && previous->Capacity() == capacity)) {
    previous->Clear();
    out.db = std::move(previous);
  } else {
    previous.reset();
    // A fixed capacity takes its full size at once, close to 1 KB per record.
    try {
      out.db = std::make_unique<TBD>(static_cast<int>(capacity));
    } catch (const std::bad_alloc&) {
      out.result.failed = true;
      out.failure =
          "M\xE9moire insuffisante pour une capacit\xE9 de " + std::to_string(capacity) + ".";
      return out;
    }
  }
  out.result = ImportGedcom(*out.db, gedcomFile, out.head, options.charMode, false,
                            options.writeLog, true, host);
  if (out.result.failed) out.failure = out.result.reason;
  out.db->IndexEvents();  // the pages read dates and places by kind
  NumberTree(*out.db);    // Sosa numbers from the file's reference person until one is chosen
  out.dropped = DroppedSummary(out.result, out.db->Capacity());
  out.persons = out.db->PersonCount;
  out.unions = out.db->UnionCount;
  out.events = out.db->EventCount;
  out.sources = out.db->SourceCount;
  return out;
}

// 2. The person list.

std::vector<std::string> PersonLines(const TBD& db) {
  std::vector<std::string> lines;
  for (int32_t p = 1; p <= db.PersonCount && p <= kListedPersons; ++p)
    lines.push_back(db.GetSurname(p) + " " + db.GetGivenNames(p));
  return lines;
}

// 3. Templates.

std::vector<fs::path> TemplateRoots() {
  const fs::path exe = programFolder();
  const fs::path beside = exe / "modele";
  const fs::path user = userTemplates();
  const fs::path shared = (exe / LIGNADO_INSTALLED_MODELE).lexically_normal();
  std::vector<fs::path> order;
  if (KeepsFilesBeside(exe.string()))
    order = {beside, user, shared};
  else
    order = {user, beside, shared};
  std::vector<fs::path> roots;
  for (const fs::path& p : order) {
    std::error_code ec;
    if (p.empty() || !fs::is_directory(p, ec)) continue;
    bool seen = false;
    for (const fs::path& r : roots) seen = seen || fs::equivalent(r, p, ec);
    if (!seen) roots.push_back(p);
  }
  return roots;
}

std::vector<TemplateChoice> ListTemplates(const std::vector<fs::path>& roots) {
  std::vector<std::pair<std::string, TemplateChoice>> found;  // folded name first
  for (const fs::path& root : roots) {
    std::error_code ec;
    for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
      std::string name = Utf8ToCp1252(it->path().filename().string());
      std::error_code kind;
      if (name.empty() || name[0] == '.' || !it->is_directory(kind)) continue;
      std::string folded = FoldCase(name);
      bool seen =
          std::any_of(found.begin(), found.end(), [&](const auto& f) { return f.first == folded; });
      if (!seen) found.push_back({folded, {name, it->path()}});
    }
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : a.second.name < b.second.name;
  });
  std::vector<TemplateChoice> list;
  for (auto& f : found) list.push_back(std::move(f.second));
  return list;
}

std::string TemplateNames(const std::vector<TemplateChoice>& templates) {
  std::string text;
  for (const TemplateChoice& t : templates) text += (text.empty() ? "" : ", ") + t.name;
  return text;
}

std::optional<fs::path> FindTemplate(const std::string& typed, const std::vector<fs::path>& roots) {
  if (typed.find('/') == std::string::npos)
    for (const fs::path& root : roots)
      if (auto found = FindNoCase(root, Utf8ToCp1252(typed), true)) return found;
  std::error_code ec;
  if (!typed.empty() && fs::is_directory(typed, ec)) return fs::path(typed);
  return std::nullopt;
}

bool HasHomePage(const fs::path& templateFolder) {
  return FindNoCase(templateFolder, "index.kshtml").has_value();
}

// 4. Destination.

std::string ExportSubFolder(Destine kind) {
  switch (kind) {
    case Destine::Web:
      return "Internet/";
    case Destine::CD:
      return "A graver/";
    case Destine::None:
      break;
  }
  return {};
}

std::string ExportFolder(const std::string& base, Destine kind, bool subFolder) {
  if (base.empty()) return {};
  std::string folder = base.back() == '/' ? base : base + "/";
  return subFolder ? folder + ExportSubFolder(kind) : folder;
}

FolderOutcome MakeExportFolder(const fs::path& folder) {
  std::error_code made, kind;
  fs::create_directories(folder, made);
  if (fs::is_directory(folder, kind)) return {true, {}};
  return {false, made ? SystemReason(made) : kind ? SystemReason(kind) : std::string()};
}

// 5. Generation.

std::string GenerateOutcome::StaleText() const {
  if (staleRemoved == 0) return {};
  if (staleRemoved == 1)
    return "1 page d'une g\xE9n\xE9ration pr\xE9"
           "c\xE9"
           "dente supprim\xE9"
           "e";
  return std::to_string(staleRemoved) +
         " pages d'une g\xE9n\xE9ration pr\xE9"
         "c\xE9"
         "dente supprim\xE9"
         "es";
}

GenerateOutcome GeneratePublication(const TBD& db, const fs::path& templateFolder,
                                    const fs::path& destination, Host* host, LivingMode living,
                                    int jobs, const fs::path& gedcomFolder,
                                    const MediaOptions& media, int livingYears,
                                    const SiteReferencing& referencing) {
  GenerateOutcome out;
  if (db.PersonCount == 0) {
    out.failure = "Aucune personne \xE0 publier";
    return out;
  }
  try {
    std::error_code ec;
    if (!fs::is_directory(destination, ec)) {
      out.failure = "La destination " + Utf8ToCp1252(destination.string()) +
                    " n'est pas un dossier : aucune page.";
      return out;
    }
    // Every file is recorded in the list before it is written, so that a build stopped at any
    // point leaves the next one able to tell our pages from the user's files.
    TPageList list(destination);
    out.failure = list.Open();
    if (!out.failure.empty()) return out;
    SiteResult site;
    {
      const TVivants vivants(db, living, SystemClock(), livingYears);
      TKSParse parser(db, host);
      parser.Vivants = &vivants;
      parser.SiteUrl = referencing.url;
      TemplateProblems problems;
      parser.Problems = &problems;
      // Media first: the pages tell a copied file from a missing one, and a picture's size.
      MediaRules rules{{gedcomFolder.string()}, media.maxBytes};
      for (const fs::path& f : media.folders) rules.folders.push_back(f.string());
      MediaCopy copied = CopyMedia(db, rules, destination.string() + "/", &vivants, &list);
      const MediaSiteScope scope(db, copied.site);
      site = GenerateSite(parser, templateFolder.string() + "/", destination.string() + "/", host,
                          jobs, &list);
      out.problems = problems.Entries();
      site.written.insert(site.written.end(), copied.written.begin(), copied.written.end());
      out.mediaCopied = static_cast<int>(copied.written.size()) - copied.reduced - copied.reused;
      out.mediaMissing = std::move(copied.missing);
      if (site.failure.empty() && !site.stopped) {
        ReferencingOutcome ref =
            WriteReferencing(destination, referencing, site.written, site.noIndex, &list);
        site.written.insert(site.written.end(), ref.written.begin(), ref.written.end());
        site.failure = ref.failure;
        out.sitemapPages = ref.listed;
        out.referencingNotes = std::move(ref.notes);
      }
    }
    out.pagesWritten = site.pagesWritten;
    out.pagesLimited = std::move(site.limited);
    if (!site.failure.empty()) {
      out.failure = site.failure;
      return out;
    }
    // A stopped build keeps every page of the earlier one that it did not rewrite.
    if (site.stopped) {
      out.stopped = true;
      out.failure = kGenerationStopped;
      return out;
    }
    out.done = true;
    // Only a build that went to its end removes what earlier ones wrote and it did not.
    TPageList::Finished finished = list.Finish(site.written);
    out.staleRemoved = finished.removed;
    if (!finished.reason.empty())
      out.warning =
          "La liste des pages \xE9"
          "crites " +
          Utf8ToCp1252(list.Path().string()) +
          " n'a pas pu \xEAtre enregistr\xE9"
          "e (" +
          finished.reason + ") : la prochaine g\xE9n\xE9ration gardera les pages de celle-ci.";
  } catch (const std::exception&) {
    // The wizard's words for a generation that broke off.
    out.done = false;
    out.failure = "La sauvegarde n'a pas abouti";
  }
  return out;
}

// 6. Upload.

std::string RemoteRoot(const std::string& base, const std::string& folder) {
  std::string root = "/" + base;
  if (!folder.empty()) root += "/" + folder;
  return root;
}

std::string SftpRemoteRoot(const std::string& base, const std::string& folder) {
  if (!base.empty() && base[0] == '/') return folder.empty() ? base : base + "/" + folder;
  std::string root = base;
  if (!folder.empty()) root += (root.empty() ? "" : "/") + folder;
  return root.empty() ? "." : root;
}

FolderState DestinationState(const fs::path& folder) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return FolderState::Missing;
  if (fs::exists(folder / kStaleListName, ec)) return FolderState::Generated;
  return fs::is_empty(folder, ec) && !ec ? FolderState::Empty : FolderState::Other;
}

std::vector<std::string> ForeignFiles(const fs::path& folder) {
  const std::set<std::string> written = TPageList::Recorded(folder);
  std::vector<std::string> out;
  std::error_code ec;
  fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const fs::directory_entry& e = *it;
    std::error_code kind;
    if (e.path().filename().string().rfind('.', 0) == 0 || e.is_symlink(kind)) {
      if (e.is_directory(kind)) it.disable_recursion_pending();
      continue;
    }
    if (!e.is_regular_file(kind)) continue;
    std::string rel = e.path().lexically_relative(folder).generic_string();
    if (!written.count(rel)) out.push_back(std::move(rel));
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::string ForeignFilesLine(const std::vector<std::string>& files) {
  constexpr size_t kNamed = 10;
  if (files.empty()) return {};
  std::string line = files.size() == 1
                         ? "1 fichier qui ne vient pas de la g\xE9n\xE9ration sera envoy\xE9 : "
                         : std::to_string(files.size()) +
                               " fichiers qui ne viennent pas de la g\xE9n\xE9ration "
                               "seront envoy\xE9s : ";
  for (size_t i = 0; i < files.size() && i < kNamed; ++i)
    line += (i ? ", " : "") + NameToCp1252(files[i]);
  if (files.size() > kNamed) line += ", \x85";
  return line;
}

std::string UploadOutcome::Message() const {
  if (ok)
    return "L'envoi est termin\xE9. Cette g\xE9n\xE9"
           "alogie est maintenant visible sur internet.";
  const std::string held = heldDeletions > 0
                               ? TqorvFtp::HeldText(heldDeletions) +
                                     ".\r\nRien n'a \xE9t\xE9 supprim\xE9 du site en ligne : ces "
                                     "suppressions seront propos\xE9"
                                     "es de nouveau au prochain envoi."
                               : "";
  if (loginRefused)
    return "Identifiant ou mot de passe refus\xE9 par le serveur" +
           (serverReply.empty() ? "" : "\r\n" + serverReply);
  if (stopped && failures == 0)
    return "Envoi arr\xEAt\xE9 \xE0 votre demande.\r\nVous pourrez le reprendre l\xE0 o\xF9 il "
           "s'est arr\xEAt\xE9 en cliquant sur \"D\xE9marrer\" ou en relan\xE7"
           "ant le logiciel.";
  if (!held.empty() && failures == 0) return held;
  // Failed files and deletions stay due: the next run takes them up again.
  std::string count;
  if (failures > 0)
    count = " (" + std::to_string(failures) +
            (failures == 1 ? " \xE9"
                             "chec)"
                           : " \xE9"
                             "checs)");
  return "Il y a eu des erreurs durant le transfert" + count +
         ".\r\nSi vous relancez le logiciel, vous "
         "pourrez reprendre l\xE0 ou vous \xEAtes arr\xEAt\xE9." +
         (held.empty() ? "" : "\r\n" + held);
}

namespace {

// Keeps the log lines and passes everything on to the owner.
class KeepLines : public TFtpObserver {
 public:
  KeepLines(TFtpObserver* owner, std::vector<std::string>& lines) : owner_(owner), lines_(lines) {}
  void OnStateChange(TWinInetControl& c, TWinInetState s) override {
    if (owner_) owner_->OnStateChange(c, s);
  }
  void OnConnected(TWinInetControl& c) override {
    if (owner_) owner_->OnConnected(c);
  }
  void OnDisconnected(TWinInetControl& c) override {
    if (owner_) owner_->OnDisconnected(c);
  }
  void OnLogin(TSimpleFTP& f, std::string& user, std::string& password) override {
    if (owner_) owner_->OnLogin(f, user, password);
  }
  void OnTransferProgress(TSimpleFTP& f, const TFTPProgressInfo& info) override {
    if (owner_) owner_->OnTransferProgress(f, info);
  }
  void OnDirectoryChange(TSimpleFTP& f) override {
    if (owner_) owner_->OnDirectoryChange(f);
  }
  void OnFindItem(TSimpleFTP& f, const TFindData& item) override {
    if (owner_) owner_->OnFindItem(f, item);
  }
  void QuickStatus(const std::string& text) override {
    if (owner_) owner_->QuickStatus(text);
  }
  void QuickProgressMajor(int max, int position) override {
    if (owner_) owner_->QuickProgressMajor(max, position);
  }
  void QuickProgressMinor(int max, int position) override {
    if (owner_) owner_->QuickProgressMinor(max, position);
  }
  void QuickLabelMajor(const std::string& text) override {
    if (owner_) owner_->QuickLabelMajor(text);
  }
  void QuickLabelMinor(const std::string& text) override {
    if (owner_) owner_->QuickLabelMinor(text);
  }
  void LogLine(const std::string& line) override {
    lines_.push_back(line);
    if (owner_) owner_->LogLine(line);
  }
  void OnUploadProgress(TqorvFtp& f, const TUploadProgress& progress) override {
    if (owner_) owner_->OnUploadProgress(f, progress);
  }
  void ProcessMessages() override {
    if (owner_) owner_->ProcessMessages();
  }
  TStopRequest StopRequested() override {
    TStopRequest asked = owner_ ? owner_->StopRequested() : TStopRequest::None;
    stopSeen = stopSeen || asked != TStopRequest::None;
    return asked;
  }
  bool stopSeen = false;

 private:
  TFtpObserver* owner_;
  std::vector<std::string>& lines_;
};

// A certificate trusted for this server: the one given, else the one it last showed over TLS.
std::string TrustedCertificate(const UploadRequest& request) {
  if (request.protocol == RemoteProtocol::Sftp) return "";
  if (!request.tlsFingerprint.empty() || request.tls == FtpTls::Off) return request.tlsFingerprint;
  return UploadMarks::RememberedTls(request.localFolder.string(), request.host, request.port);
}

std::string PlainRefusedText(const UploadRequest& request) {
  return std::string(
             "Connexion en clair refus\xE9"
             "e : ") +
         (request.tlsFingerprint.empty()
              ? "ce serveur a d\xE9j\xE0 \xE9t\xE9 joint avec TLS"
              : "un certificat de confiance est attendu pour ce serveur") +
         ", le mot de passe n'a pas \xE9t\xE9 envoy\xE9";
}

// Remembers in the manifest that the server was reached over TLS, and with which certificate.
std::string RememberTls(const UploadRequest& request, TqorvFtp& ftp) {
  std::string fingerprint = ftp.CertificateFingerprint();
  if (fingerprint.empty()) return "";
  UploadMarks marks;
  marks.Open(request.localFolder.string(),
             UploadMarks::Destination(request.host, request.port, request.remoteRoot));
  if (!marks.RememberTls(fingerprint))
    ftp.Log("Attention: Impossible d'enregistrer l'usage de TLS dans \"" +
            NameToCp1252(marks.Path()) + "\"");
  return fingerprint;
}

}  // namespace

UploadOutcome UploadPublication(const UploadRequest& request, TFtpObserver* owner) {
  UploadOutcome out;
  KeepLines keep(owner, out.lines);
  TqorvFtp ftp(&keep);
  ftp.Port = request.port;
  ftp.Protocol = request.protocol;
  ftp.Ssh = request.sftp;
  ftp.SetPassive(request.passive);
  ftp.Tls = request.tls;
  ftp.TlsFingerprint = TrustedCertificate(request);
  ftp.SetConnectTimeout(request.connectTimeoutMs);
  ftp.SetReceiveTimeout(request.transferTimeoutMs);
  ftp.KeepRemote = request.keepRemote;
  ftp.Verify = request.verify;
  ftp.MaxDelete = request.maxDelete;
  if (!request.tracePath.empty()) {
    auto trace = std::make_shared<ProtocolTrace>();
    if (trace->Open(request.tracePath))
      ftp.Trace = trace;
    else
      ftp.Log(
          "Attention: Impossible d'\xE9"
          "crire la trace dans \"" +
          NameToCp1252(request.tracePath) + "\"");
  }
  if (std::string line = ForeignFilesLine(ForeignFiles(request.localFolder)); !line.empty())
    ftp.Log(line);
  out.connected = ftp.ConnectTo(request.host, request.user, request.password);
  if (!out.connected) {
    out.refusedFingerprint = ftp.RefusedFingerprint();
    out.plainRefused = request.tls == FtpTls::Auto && ftp.PlainRefused();
    out.loginRefused = ftp.LoginRefused();
    out.hostKeyChanged = ftp.HostKeyChanged();
    out.serverReply = ftp.FailureText();
    out.stopped = keep.stopSeen;  // a stop during the connection is the user's, not an error
    if (out.plainRefused) ftp.Log(PlainRefusedText(request));
    return out;
  }
  out.tlsFingerprint = RememberTls(request, ftp);
  out.ok = ftp.UploadTree(request.remoteRoot, request.localFolder.string());
  out.filesSent = ftp.FilesSent;
  out.failures = ftp.Failures;
  out.heldDeletions = ftp.HeldDeletions;
  out.stopped = keep.stopSeen;
  ftp.Disconnect();
  ftp.Log("Transfert termin\xE9");
  return out;
}

}  // namespace lignado
