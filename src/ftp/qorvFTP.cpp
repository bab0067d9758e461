#include "ftp/qorvFTP.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "util/Owned.h"
#include "util/Utf8.h"

namespace lignado {

namespace {

struct Entry {
  std::string name;
  bool folder = false;
  FileStamp stamp;
  dev_t dev = 0;
  ino_t ino = 0;
};

// The entries of a folder sorted by name, dot-names left out. Links are followed; what is
// neither a regular file nor a folder (pipes, sockets, devices) is never sent.
bool listFolder(const std::string& path, std::vector<Entry>& out) {
  out.clear();
  OwnedDir dir(::opendir(path.c_str()));
  if (!dir) return false;
  while (dirent* d = ::readdir(dir.get())) {
    Entry e;
    e.name = d->d_name;
    if (e.name.empty() || e.name[0] == '.') continue;
    struct stat st {};
    if (::stat((path + "/" + e.name).c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
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
  return "\"" + Utf8ToCp1252(path) + "\"";
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
    return true;
  }
  Log("Erreur: Connexion impossible");
  return false;
}

void TqorvFtp::Log(const std::string& line) {
  Notify().LogLine(line);
}

bool TqorvFtp::StopAsked() {
  // A stop asked while no library call was waiting is seen here too.
  Notify().ProcessMessages();
  return Stopped;
}

bool TqorvFtp::UploadTree(const std::string& remoteRoot, const std::string& localRoot) {
  FilesSent = 0;
  Stopped = false;
  if (!remoteRoot.empty() && !RemoteDirExists(remoteRoot) && !ForceRemoteDir(remoteRoot)) {
    Log("Erreur: Impossible de se placer dans le dossier " + quoted(remoteRoot));
    return false;
  }
  remoteRoot_ = remoteRoot;
  localRoot_ = localRoot;
  marks_.Open(localRoot, UploadMarks::Destination(HostName, Port, remoteRoot));
  marksWarned_ = false;
  walking_.clear();
  bool result = UploadFolder("", "");
  marks_.Close();
  Log("Envoi de " + std::to_string(FilesSent) + " fichiers termin\xE9");
  if (Stopped) Log("Envoi stopp\xE9");
  Stopped = true;
  return result;
}

bool TqorvFtp::UploadFolder(const std::string& localRelative, const std::string& remoteRelative) {
  if (StopAsked()) return false;
  const std::string remote = remoteRoot_ + remoteRelative;
  if (!remoteRelative.empty() && !RemoteDirExists(remote) && !ForceRemoteDir(remote)) {
    Log("Erreur: Impossible de cr\xE9"
        "er le dossier " +
        quoted(remote));
    return false;
  }
  if (RemoteDir() != remote && !ChangeDir(remote)) {
    Log("Erreur: Impossible d'aller dans " + quoted(remote));
    return false;
  }
  const std::string local = localRoot_ + localRelative;
  std::vector<Entry> entries;
  if (!listFolder(local, entries)) {
    Log("Erreur: Impossible de lire le dossier " + quoted(local));
    return false;
  }

  for (const Entry& e : entries) {
    if (e.folder) continue;
    std::string key = (localRelative + "/" + e.name).substr(1);
    if (!marks_.IsMarked(key, e.stamp)) continue;
    if (!PutFile(local + "/" + e.name)) {
      Log("Erreur: Envoi de " + quoted(e.name) + " a echou\xE9");
      return false;
    }
    ++FilesSent;
    Log("OK: " + Utf8ToCp1252(e.name));
    if (!marks_.Clear(key, e.stamp) && !marksWarned_) {
      marksWarned_ = true;
      Log("Attention: Impossible d'enregistrer les fichiers envoy\xE9s dans " +
          quoted(marks_.Path()));
    }
    if (StopAsked()) break;
  }

  bool result = true;
  struct stat self {};
  bool known = ::stat(local.c_str(), &self) == 0;
  if (known) walking_.emplace_back(self.st_dev, self.st_ino);
  for (const Entry& e : entries) {
    if (!e.folder) continue;
    if (StopAsked()) break;
    // A link back to a folder being walked would never end.
    if (std::find(walking_.begin(), walking_.end(), std::make_pair(e.dev, e.ino)) != walking_.end())
      continue;
    if (!UploadFolder(localRelative + "/" + e.name, remoteRelative + "/" + e.name)) result = false;
  }
  if (known) walking_.pop_back();
  return result && !Stopped;
}

}  // namespace lignado
