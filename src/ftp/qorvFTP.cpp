#include "ftp/qorvFTP.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "util/Owned.h"
#include "util/Utf8.h"

namespace lignado {

namespace {

struct Entry {
  std::string name;
  bool folder = false;
  bool link = false;  // never followed nor sent
  FileStamp stamp;
  dev_t dev = 0;
  ino_t ino = 0;
};

// The entries of a folder sorted by name, dot-names left out. Links are listed as links and
// never followed; what is neither a regular file nor a folder (pipes, devices) is left out.
bool listFolder(const std::string& path, std::vector<Entry>& out) {
  out.clear();
  OwnedDir dir(::opendir(path.c_str()));
  if (!dir) return false;
  while (dirent* d = ::readdir(dir.get())) {
    Entry e;
    e.name = d->d_name;
    if (e.name.empty() || e.name[0] == '.') continue;
    struct stat st {};
    if (::lstat((path + "/" + e.name).c_str(), &st) != 0) continue;
    if (S_ISLNK(st.st_mode)) {
      e.link = true;
    } else if (S_ISDIR(st.st_mode)) {
      e.folder = true;
    } else if (!S_ISREG(st.st_mode)) {
      continue;
    }
    e.stamp.size = static_cast<int64_t>(st.st_size);
    e.stamp.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    e.dev = st.st_dev;
    e.ino = st.st_ino;
    out.push_back(std::move(e));
  }
  std::sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
  return true;
}

std::string quoted(const std::string& path) {
  return "\"" + NameToCp1252(path) + "\"";
}

// A file (or folder) below the root that the walk surely no longer finds: missing, or reached
// through a link, or of another kind now; not one that merely cannot be read now.
bool gone(const std::string& root, const std::string& relative, bool folder) {
  std::string path = root;
  size_t start = 0;
  for (;;) {
    size_t slash = relative.find('/', start);
    path += "/" + relative.substr(start, slash - start);
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR;
    const bool last = slash == std::string::npos;
    if (S_ISLNK(st.st_mode)) return true;
    if (!last && !S_ISDIR(st.st_mode)) return true;
    if (last) return folder ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode);
    start = slash + 1;
  }
}

// The remote folder of a file below the root.
std::string folderOf(const std::string& root, const std::string& relative) {
  auto slash = relative.rfind('/');
  std::string folder = slash == std::string::npos ? root : root + "/" + relative.substr(0, slash);
  return folder.empty() ? "/" : folder;
}

std::string baseName(const std::string& relative) {
  auto slash = relative.rfind('/');
  return slash == std::string::npos ? relative : relative.substr(slash + 1);
}

std::string remotePath(const std::string& root, const std::string& relative) {
  std::string folder = folderOf(root, relative);
  return (folder.back() == '/' ? folder : folder + "/") + baseName(relative);
}

std::string counted(int64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Deepest first, so that a folder comes after what it holds.
bool deeperFirst(const std::string& a, const std::string& b) {
  auto depth = [](const std::string& s) { return std::count(s.begin(), s.end(), '/'); };
  return depth(a) != depth(b) ? depth(a) > depth(b) : a > b;
}

}  // namespace

bool TqorvFtp::ConnectTo(const std::string& host, const std::string& user,
                         const std::string& password) {
  Log("Connexion...");
  HostName = host;
  UserName = user;
  Password = password;
  if (Connect()) {
    Log("Connect\xE9");
    if (TlsRefused())
      Log("Attention: le serveur refuse TLS, le mot de passe et les fichiers passent en clair");
    return true;
  }
  Log("Erreur: Connexion impossible");
  LogReason(FailureText());
  return false;
}

void TqorvFtp::Log(const std::string& line) {
  Notify().LogLine(line);
}

void TqorvFtp::LogReason(const std::string& reason) {
  if (!reason.empty()) Log("Raison: " + reason);
}

bool TqorvFtp::StopAsked() {
  // A stop asked while no library call was waiting is seen here too.
  if (Dispatch() != TStopRequest::None) Stopped = true;
  return Stopped;
}

void TqorvFtp::Record(bool written) {
  if (!written && !marksWarned_) {
    marksWarned_ = true;
    Log("Attention: Impossible d'enregistrer les fichiers envoy\xE9s dans " +
        quoted(marks_.Path()));
  }
}

bool TqorvFtp::UploadTree(const std::string& remoteRoot, const std::string& localRoot) {
  FilesSent = 0;
  Failures = 0;
  HeldDeletions = 0;
  Stopped = false;
  reconnected_ = false;
  upload_ = {};
  // A root below the login folder (SFTP) is made absolute while the server is still there:
  // every later path is taken from the root, wherever the walk stands.
  std::string root = remoteRoot;
  if (!root.empty() && root[0] != '/') {
    const std::string home = IncludeRemoteSlash(RemoteDir());
    root = root == "." ? home : home + (root.rfind("./", 0) == 0 ? root.substr(2) : root);
    if (root.size() > 1 && root.back() == '/') root.pop_back();
  }
  if (!root.empty() && !RemoteDirExists(root) && !ForceRemoteDir(root)) {
    Log("Erreur: Impossible de se placer dans le dossier " + quoted(root));
    LogReason(FailureText());
    return false;
  }
  remoteRoot_ = root;
  localRoot_ = localRoot;
  marks_.Open(localRoot, UploadMarks::Destination(HostName, Port, remoteRoot));
  marksWarned_ = false;
  for (const std::string& bad : marks_.Dropped())
    Log("Attention: nom refus\xE9 dans " + quoted(UploadMarks::kFileName) + " : " + quoted(bad));
  RemovePartials();
  // Every file is read once before the walk: what is to be sent, and how much, is known.
  local_.clear();
  walking_.clear();
  Plan("");
  Notify().OnUploadProgress(*this, upload_);
  walking_.clear();
  bool result = UploadFolder("", "");
  if (!Stopped && !KeepRemote && LinkAlive()) result = RemoveDeleted() && result;
  marks_.Close();
  local_.clear();
  if (HeldDeletions > 0)
    Log(HeldText(HeldDeletions));
  else if (Failures == 0)
    Log("Envoi de " + std::to_string(FilesSent) + " fichiers termin\xE9");
  if (Failures > 0)
    Log("Envoi inachev\xE9 : " + counted(FilesSent, "fichier envoy\xE9", "fichiers envoy\xE9s") +
        ", " +
        counted(Failures,
                "\xE9"
                "chec",
                "\xE9"
                "checs"));
  if (Stopped) Log("Envoi stopp\xE9");
  Stopped = true;
  return result && Failures == 0 && HeldDeletions == 0;
}

void TqorvFtp::Plan(const std::string& localRelative) {
  const std::string local = localRoot_ + localRelative;
  std::vector<Entry> entries;
  if (!listFolder(local, entries)) return;
  for (const Entry& e : entries) {
    if (e.link)
      Log("Lien symbolique ignor\xE9 : " + NameToCp1252((localRelative + "/" + e.name).substr(1)));
    if (e.folder || e.link) continue;
    // The window stays alive while a large site is read.
    if (local_.size() % 64 == 63 && StopAsked()) return;
    std::string key = (localRelative + "/" + e.name).substr(1);
    const LocalFile& f = Known(key, local + "/" + e.name, e.stamp);
    if (!f.hash.empty() && !marks_.IsMarked(key, f.stamp, f.hash)) continue;
    ++upload_.FilesToSend;
    upload_.BytesToSend += f.stamp.size;
  }
  struct stat self {};
  bool known = ::stat(local.c_str(), &self) == 0;
  if (known) walking_.emplace_back(self.st_dev, self.st_ino);
  for (const Entry& e : entries)
    if (e.folder && !Stopped &&
        std::find(walking_.begin(), walking_.end(), std::make_pair(e.dev, e.ino)) == walking_.end())
      Plan(localRelative + "/" + e.name);
  if (known) walking_.pop_back();
}

const TqorvFtp::LocalFile& TqorvFtp::Known(const std::string& key, const std::string& path,
                                           const FileStamp& stamp) {
  LocalFile& f = local_[key];
  // Read again when it changed since it was read (or was never read).
  if (f.hash.empty() || !(f.stamp == stamp)) {
    f.stamp = stamp;
    if (!UploadMarks::ContentHash(path, f.hash)) f.hash.clear();
  }
  return f;
}

bool TqorvFtp::MakeFolder(const std::string& remote, const std::string& relative) {
  if (RemoteDirExists(remote)) return true;
  if (!ForceRemoteDir(remote)) return false;
  if (!relative.empty()) Record(marks_.AddFolder(relative));
  return true;
}

bool TqorvFtp::Reconnect(const std::string& remote, const std::string& relative) {
  // Once per upload, and only for a link that is gone: a refusal is not cured by reconnecting.
  if (reconnected_ || Stopped || LinkAlive()) return false;
  reconnected_ = true;
  Log("Connexion perdue: reconnexion...");
  Disconnect();
  if (!Connect()) {
    Log("Erreur: Connexion impossible");
    LogReason(FailureText());
    return false;
  }
  Log("Connect\xE9");
  return MakeFolder(remote, relative) && (RemoteDir() == remote || ChangeDir(remote));
}

void TqorvFtp::Error(const std::string& line) {
  ++Failures;
  Log(line);
  LogReason(FailureText());
}

bool TqorvFtp::SendFile(const std::string& path, const std::string& name, const std::string& remote,
                        const std::string& relative) {
  if (Store(path, name, relative)) return true;
  std::string why = FailureText();
  StopAsked();  // a file ended on the owner's request is no link to mend
  if (Reconnect(remote, relative) && Store(path, name, relative)) return true;
  failure_ = why;
  return false;
}

bool TqorvFtp::Store(const std::string& path, const std::string& name,
                     const std::string& relative) {
  const std::string temp = kPartPrefix + name;
  // Names are relative to the server's current directory, which is the folder's.
  if (DirectWrite || temp.size() > 255 || !LinkAlive()) return PutFileAs(path, name);
  const std::string key = relative.empty() ? temp : relative + "/" + temp;
  Record(marks_.AddPartial(key));
  if (!PutFileAs(path, temp)) {
    // What arrived of it goes now if the link allows, otherwise at the next upload.
    std::string why = FailureText();
    if (LinkAlive() && Remove("", temp) != Removal::Failed) Record(marks_.ForgetPartial(key));
    failure_ = why;
    return false;
  }
  bool refused = false;
  if (RenameRemote(temp, name, refused)) {
    Record(marks_.ForgetPartial(key));
    return true;
  }
  if (!refused) return false;  // the link failed: the temporary file is removed next time
  Log("Attention: le serveur refuse de renommer les fichiers (" + FailureText() +
      "), ils sont maintenant \xE9"
      "crits directement sous leur nom");
  DirectWrite = true;
  if (Remove("", temp) != Removal::Failed) Record(marks_.ForgetPartial(key));
  return PutFileAs(path, name);
}

TqorvFtp::Removal TqorvFtp::Remove(const std::string& folder, const std::string& name) {
  const std::string remote = folder.empty()         ? name
                             : folder.back() == '/' ? folder + name
                                                    : folder + "/" + name;
  if (DeleteRemoteFile(remote)) return Removal::Deleted;
  const std::string why = FailureText();
  std::vector<FtpEntry> entries;
  if (LinkAlive()) {
    // Only a listing read to its last line can tell that the file is not there.
    bool listed = ListRemoteDir(folder, entries, true);
    if (listed && std::none_of(entries.begin(), entries.end(),
                               [&](const FtpEntry& e) { return e.name == name; }))
      return Removal::Absent;
    if (!listed && LinkAlive() && !folder.empty() && !RemoteDirExists(folder))
      return Removal::Absent;  // its folder is gone too
  }
  failure_ = why;
  return Removal::Failed;
}

void TqorvFtp::RemovePartials() {
  for (const std::string& rel : marks_.Partials()) {
    if (!LinkAlive()) return;
    Removal r = Remove(folderOf(remoteRoot_, rel), baseName(rel));
    if (r == Removal::Failed) {
      Error("Erreur: Impossible de supprimer " + quoted(remotePath(remoteRoot_, rel)));
      continue;
    }
    if (r == Removal::Deleted) Log("Supprim\xE9: " + NameToCp1252(rel));
    Record(marks_.ForgetPartial(rel));
  }
}

bool TqorvFtp::UploadFolder(const std::string& localRelative, const std::string& remoteRelative) {
  if (StopAsked()) return false;
  const std::string remote = remoteRoot_ + remoteRelative;
  const std::string relative = remoteRelative.empty() ? "" : remoteRelative.substr(1);
  // A link lost since the last file is mended here too, once per upload.
  if (!remoteRelative.empty() && !MakeFolder(remote, relative) && !Reconnect(remote, relative)) {
    Error(
        "Erreur: Impossible de cr\xE9"
        "er le dossier " +
        quoted(remote));
    return false;
  }
  if (RemoteDir() != remote && !ChangeDir(remote) && !Reconnect(remote, relative)) {
    Error("Erreur: Impossible d'aller dans " + quoted(remote));
    return false;
  }
  const std::string local = localRoot_ + localRelative;
  std::vector<Entry> entries;
  if (!listFolder(local, entries)) {
    failure_.clear();
    Error("Erreur: Impossible de lire le dossier " + quoted(local));
    return false;
  }
  // What the server holds, by name and size, when asked to check it.
  std::unordered_map<std::string, int64_t> onServer;
  bool listed = false;
  if (Verify) {
    std::vector<FtpEntry> found;
    listed = ListRemoteDir("", found);
    if (!listed) Error("Erreur: Impossible de lister le dossier " + quoted(remote));
    for (const FtpEntry& f : found) {
      if (f.folder) continue;
      onServer[f.name] = f.size;
      // A temporary file of ours that no record speaks of (the manifest could not be written).
      if (f.name.rfind(kPartPrefix, 0) == 0 && Remove("", f.name) == Removal::Deleted)
        Log("Supprim\xE9: " + NameToCp1252(relative.empty() ? f.name : relative + "/" + f.name));
    }
  }

  for (const Entry& e : entries) {
    if (e.folder || e.link) continue;
    std::string key = (localRelative + "/" + e.name).substr(1);
    const LocalFile& f = Known(key, local + "/" + e.name, e.stamp);
    if (!f.hash.empty() && !marks_.IsMarked(key, f.stamp, f.hash)) {
      auto there = onServer.find(e.name);
      if (!listed ||
          (there != onServer.end() && (there->second < 0 || there->second == f.stamp.size)))
        continue;
      ++upload_.FilesToSend;  // missing on the server, or cut short there
      upload_.BytesToSend += f.stamp.size;
    }
    if (!SendFile(local + "/" + e.name, e.name, remote, relative)) {
      Error("Erreur: Envoi de " + quoted(e.name) + " a echou\xE9");
      return false;
    }
    ++FilesSent;
    ++upload_.FilesDone;
    upload_.BytesDone += f.stamp.size;
    // Recorded first: a log that says "OK" stays true if the program dies right after.
    if (!f.hash.empty()) Record(marks_.Clear(key, f.stamp, f.hash));
    Log("OK: " + NameToCp1252(e.name));
    Notify().OnUploadProgress(*this, upload_);
    if (StopAsked()) break;
  }

  bool result = true;
  struct stat self {};
  bool known = ::stat(local.c_str(), &self) == 0;
  if (known) walking_.emplace_back(self.st_dev, self.st_ino);
  for (const Entry& e : entries) {
    if (!e.folder || e.link) continue;
    if (StopAsked()) break;
    // A link back to a folder being walked would never end.
    if (std::find(walking_.begin(), walking_.end(), std::make_pair(e.dev, e.ino)) != walking_.end())
      continue;
    if (!UploadFolder(localRelative + "/" + e.name, remoteRelative + "/" + e.name)) result = false;
  }
  if (known) walking_.pop_back();
  return result && !Stopped;
}

bool TqorvFtp::RemoveDeleted() {
  if (HoldsDeletions()) return false;
  bool result = true;
  for (const std::string& rel : marks_.SentFiles()) {
    if (!gone(localRoot_, rel, false)) continue;
    if (StopAsked()) return false;
    Removal r = Remove(folderOf(remoteRoot_, rel), baseName(rel));
    if (r != Removal::Failed) {
      if (r == Removal::Deleted) Log("Supprim\xE9: " + NameToCp1252(rel));
      Record(marks_.Forget(rel));
      continue;
    }
    // Still due: the next upload asks again.
    Error("Erreur: Impossible de supprimer " + quoted(remotePath(remoteRoot_, rel)));
    result = false;
    if (!LinkAlive()) return false;
  }
  // Then the folders we made that the site no longer has, once they are empty: a folder that
  // still holds files we never sent stays.
  std::vector<std::string> folders = marks_.Folders();
  std::sort(folders.begin(), folders.end(), deeperFirst);
  for (const std::string& rel : folders) {
    if (!gone(localRoot_, rel, true)) continue;
    if (!RemoveRemoteDir(remoteRoot_ + "/" + rel)) continue;
    Log("Dossier supprim\xE9: " + NameToCp1252(rel));
    Record(marks_.ForgetFolder(rel));
  }
  return result;
}

std::string TqorvFtp::HeldText(int32_t held) {
  return "Envoi incomplet : " + counted(held, "suppression", "suppressions") +
         " en attente de confirmation";
}

bool TqorvFtp::HoldsDeletions() {
  const std::vector<std::string> sent = marks_.SentFiles();
  const auto due = std::count_if(sent.begin(), sent.end(), [&](const std::string& rel) {
    return gone(localRoot_, rel, false);
  });
  if (due <= kFreeDeletions || due * 2 <= static_cast<int64_t>(sent.size()) || due <= MaxDelete)
    return false;
  HeldDeletions = static_cast<int32_t>(due);
  return true;
}

}  // namespace lignado
