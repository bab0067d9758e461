#pragma once

// The road of one publication, as the wizard walks it and the command-line tool follows it.
// Each step returns its result as a value (counts, French texts in Windows-1252, file lists) and
// prints nothing; progress, status texts, messages and the stop request go through the Host
// handed in (null: none).
//
//  1. ImportForPublication: an empty database of the given capacity (by default sized to the
//     file), then the GEDCOM file read into it as the wizard reads it (whole file, surnames in
//     capitals, ANSEL unless told), its Sosa numbers worked out from the file's reference person
//     (NumberTree: a caller that chooses another one numbers the tree again).
//  2. PersonLines: the first 100 persons, "surname given-names", as the wizard lists them.
//  3. TemplateRoots, ListTemplates, FindTemplate: the "modele" folders and the templates in them.
//  4. ExportFolder, MakeExportFolder: the destination, with the sub-folder "Internet/" or
//     "A graver/" when asked, created with its parents.
//  5. GeneratePublication: the site written into the destination, living persons shown as the
//     mode says (hidden by default); the pages an earlier build
//     wrote there and this one did not are removed (a list of the pages written, kStaleListName,
//     stays in the destination), files the user put there are never touched.
//  6. RemoteRoot, UploadPublication: the remote root from base directory and sub-folder, then
//     the upload of the destination with its log lines.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/Base.h"
#include "ftp/FtpConnection.h"
#include "ftp/SftpConnection.h"
#include "gedcom/GedcomIn.h"
#include "genealogy/Vivants.h"
#include "pages/Medias.h"
#include "pages/Referencement.h"
#include "pages/TemplateProblems.h"

namespace lignado {

class Host;
class TFtpObserver;

// 1. Import.

struct ImportOptions {
  long capacity = kGrowing;  // records per pool; kGrowing: as many as the file holds
  uint8_t charMode = kModeAnsel;
  bool writeLog = false;  // "kestrane.log" beside the file
};

struct ImportOutcome {
  std::unique_ptr<TBD> db;  // null when the pools could not be allocated
  THead head;
  ImportResult result;
  std::string failure;  // why the import failed, in French; empty when it did not
  std::string dropped;  // what a full pool kept out (one sentence); empty when nothing
  int32_t persons = 0, unions = 0, events = 0, sources = 0;
  bool nothingRead() const { return persons + unions == 0; }
};

// previous, when given, is emptied and used again if it has the capacity asked for; otherwise
// it is freed before the new database is made, so two never live at once.
ImportOutcome ImportForPublication(const std::string& gedcomFile, const ImportOptions& options,
                                   Host* host, std::unique_ptr<TBD> previous = nullptr);

// 2. The person list.

inline constexpr int kListedPersons = 100;

// Persons 1 to the smaller of PersonCount and 100: surname, one blank, given names.
std::vector<std::string> PersonLines(const TBD& db);

// 3. Templates.

struct TemplateChoice {
  std::string name;  // the folder's name, Windows-1252
  std::filesystem::path folder;
};

// The folders that hold templates, those that exist, in look-up order: "modele" beside the
// program when it keeps its files there (KeepsFilesBeside: a build tree, a portable copy), then
// the user's $XDG_DATA_HOME/lignado/modele, then "modele" beside the program otherwise, then
// the installed share folder.
std::vector<std::filesystem::path> TemplateRoots();

// The template folders of these roots (names that begin with "." left out), ordered by name
// without regard to case; a name found in two roots is listed once, from the first.
std::vector<TemplateChoice> ListTemplates(const std::vector<std::filesystem::path>& roots);

// "classique, parchemin": the names of a list, for a message.
std::string TemplateNames(const std::vector<TemplateChoice>& templates);

// A template named as typed (UTF-8): a name without "/" is looked up in the roots without
// regard to case, then as a folder of the current one; anything else is a folder path.
std::optional<std::filesystem::path> FindTemplate(const std::string& typed,
                                                  const std::vector<std::filesystem::path>& roots);

// The template has the home page "index" that generation starts from.
bool HasHomePage(const std::filesystem::path& templateFolder);

// 4. Destination.

enum class Destine { None, Web, CD };

// "Internet/" for the web, "A graver/" for a CD-ROM, empty when no kind is chosen.
std::string ExportSubFolder(Destine kind);

// The folder the pages go to: the base (a "/" added when missing) and, when subFolder is set,
// the sub-folder of the kind. An empty base stays empty.
std::string ExportFolder(const std::string& base, Destine kind, bool subFolder);

struct FolderOutcome {
  bool ok = false;
  std::string reason;  // why it could not be made, in French; empty when ok
};

// Creates the folder with every missing parent; ok when it is a folder afterwards.
FolderOutcome MakeExportFolder(const std::filesystem::path& folder);

// 5. Generation.

inline constexpr const char* kStaleListName = ".lignado-pages";  // TPageList::kFileName
inline constexpr const char* kGenerationStopped =
    "Cr\xE9"
    "ation des pages interrompue";

struct GenerateOutcome {
  bool done = false;     // false: the generation failed or stopped, failure says why
  bool stopped = false;  // the host's stop request ended it (failure: kGenerationStopped)
  std::string failure;   // French: one sentence, the file and the reason of a failed write
  int pagesWritten = 0;
  // French, one line per page that went over a limit of its run (see kMaxPageSteps).
  std::vector<std::string> pagesLimited;
  // The mistakes met in the template's files, each with the number of pages that met it.
  std::vector<TemplateProblems::Entry> problems;
  int staleRemoved = 0;  // pages of an earlier build removed
  std::string warning;   // French; the list of pages could not be kept
  int mediaCopied = 0;
  std::vector<std::string> mediaMissing;      // French lines: media files not copied
  int sitemapPages = 0;                       // pages the sitemap lists (none without an address)
  std::vector<std::string> referencingNotes;  // French lines (WriteReferencing)
  // The French line that counts the removed pages; empty when none was.
  std::string StaleText() const;
};

// The media folders that the user adds to the GEDCOM file's folder (the wizard's "Dossier des
// photos", --media-dir) and the largest media file copied.
struct MediaOptions {
  std::vector<std::filesystem::path> folders;
  uint64_t maxBytes = kMediaMaxBytes;
};

// Living persons are shown as `living` says (hidden unless told otherwise), who counts as living
// by the rule of TVivants with livingYears as its own-birth limit. The media files of
// the persons shown are copied into the site from gedcomFolder and the folders of media only
// (MediaRules); each one refused is a line of mediaMissing. Pages run on `jobs` threads (0: one
// per core); the site is the same whatever their number. robots.txt and, with the site's
// address, the sitemap are written after the pages, which then know their address. A database
// without any person is refused: its empty site would replace a real one.
GenerateOutcome GeneratePublication(const TBD& db, const std::filesystem::path& templateFolder,
                                    const std::filesystem::path& destination, Host* host,
                                    LivingMode living = LivingMode::Hide, int jobs = 0,
                                    const std::filesystem::path& gedcomFolder = {},
                                    const MediaOptions& media = {}, int livingYears = kLivingYears,
                                    const SiteReferencing& referencing = {});

// 6. Upload.

// "/" + base, then "/" + folder when the folder is not empty; texts used as typed.
std::string RemoteRoot(const std::string& base, const std::string& folder);
// For SFTP, whose servers seldom put the user at the root: below the login folder ("." when both
// are empty) unless the base begins with "/".
std::string SftpRemoteRoot(const std::string& base, const std::string& folder);

struct UploadRequest {
  std::string host, user, password;
  int port = 21;
  bool passive = false;
  std::string remoteRoot;             // RemoteRoot(...)
  std::filesystem::path localFolder;  // the destination of the generation
  // Once the server was reached over TLS from this folder (the manifest remembers its
  // certificate), or when a fingerprint is given, Auto no longer goes on in clear text.
  FtpTls tls = FtpTls::Auto;
  std::string tlsFingerprint;  // a certificate the user chose to trust
  uint32_t connectTimeoutMs = 30000;
  uint32_t transferTimeoutMs = 60000;  // without progress
  bool keepRemote = false;             // leave on the server what the site no longer has
  bool verify = false;  // list the server and send again what is missing there or differs
  // Deletions allowed even when they would remove more than half of the files sent there (and
  // more than 20): without that word such deletions are held back.
  int maxDelete = 0;
  // SFTP instead of FTP: port 22 unless told, the host key checked (sftp.trustedKey: one the
  // user accepted), the key file or the agent used when given or found.
  RemoteProtocol protocol = RemoteProtocol::Ftp;
  SftpOptions sftp;
  std::string tracePath;  // every command and reply written there (password masked); empty: none
};

struct UploadOutcome {
  bool connected = false;
  bool ok = false;  // connected, and the whole tree walked without error or stop
  int filesSent = 0;
  int failures = 0;       // files, folders and deletions that failed
  int heldDeletions = 0;  // deletions held back for the user's word, still due
  bool stopped = false;   // the owner asked for a stop
  // The server refused the user name or the password; its reply, as the log says it.
  bool loginRefused = false;
  std::string serverReply;
  std::vector<std::string> lines;  // the log lines, Windows-1252
  // The fingerprint of a certificate refused as untrusted, to offer the user; else empty.
  std::string refusedFingerprint;
  // The SSH host key refused (refusedFingerprint) differs from the one known or trusted.
  bool hostKeyChanged = false;
  // The server would not speak TLS and clear text was refused (the password was not sent).
  bool plainRefused = false;
  // The certificate of the TLS connection ("AB:CD:..."); empty in clear text.
  std::string tlsFingerprint;
  // The wizard's closing message: all sent, or errors and how to resume.
  std::string Message() const;
};

// What a destination folder holds, for a warning before generating into it: Generated when an
// earlier generation left its page list there.
enum class FolderState { Missing, Empty, Generated, Other };
FolderState DestinationState(const std::filesystem::path& folder);

// The files of a site folder that the last generation there did not write, as the upload sees
// them (dot-names and links left out): relative paths, sorted.
std::vector<std::string> ForeignFiles(const std::filesystem::path& folder);

// The log line that counts and names them (the first ones), empty when there are none.
std::string ForeignFilesLine(const std::vector<std::string>& files);

// Connects, sends what is not sent yet, disconnects. Files of the folder that the generation
// did not write are named in the log first. Everything the FTP components report goes
// to owner (null: nobody), whose stop request is obeyed; the log lines are also kept.
UploadOutcome UploadPublication(const UploadRequest& request, TFtpObserver* owner);

}  // namespace lignado
