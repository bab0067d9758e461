#include "ui/Settings.h"

#include <cstring>

#include "util/IniFile.h"

namespace lignado::ui {

namespace {
using W = WizardSettings;
}  // namespace

const std::vector<SettingKey>& SettingKeys() {
  // The order is the file's: users' files keep their layout from one version to the next.
  static const std::vector<SettingKey> keys = {
      {"Recent", "Last", &W::lastFile, "", true},
      {"Recent", "file", &W::recentFiles, "", false},
      {"Export", "folder", &W::exportFolder, "", false},
      {"Modele", "Last", &W::lastTemplate, "", true},
      {"FTP", "Maintenant", &W::ftpNow, "0", false},
      {"FTP", "Host", &W::ftpHost, "", false},
      {"FTP", "User", &W::ftpUser, "", false},
      {"FTP", "Pass", &W::ftpPass, "", false},
      {"FTP", "Path", &W::ftpPath, "", false},
      {"FTP", "isFolder", &W::ftpIsFolder, "1", false},
      {"FTP", "Folder", &W::ftpFolder, "lignado", false},
      {"FTP", "Fini", &W::uploadFinished, "1", false},
      {"FTP", "TlsRequired", &W::tlsRequired, "0", false},
      {"FTP", "TlsOff", &W::tlsOff, "0", false},
      {"FTP", "Verify", &W::verify, "0", false},
      {"FTP", "Protocole", &W::protocol, "FTP", false},
      {"FTP", "CleSSH", &W::sshKey, "", false},
      {"Export", "Destine", &W::destine, "", true},
      {"Export", "Vivants", &W::living, "masquer", false},
      {"Export", "Photos", &W::photos, "", false},
      {"Export", "VivantsAns", &W::livingYears, "100", false},
      {"Modele", "Racine", &W::root, "", false},
      {"Export", "AdresseSite", &W::siteUrl, "", false},
      {"Export", "Robots", &W::robots, "search", false},
  };
  return keys;
}

WizardSettings ReadSettings(const IniFile& ini) {
  WizardSettings s;
  for (const SettingKey& k : SettingKeys()) {
    if (auto text = std::get_if<std::string W::*>(&k.field)) {
      s.*(*text) = ini.ReadString(k.section, k.key, k.defaultValue);
    } else if (auto flag = std::get_if<bool W::*>(&k.field)) {
      s.*(*flag) = ini.ReadBool(k.section, k.key, std::strcmp(k.defaultValue, "0") != 0);
    } else if (auto list = std::get_if<std::vector<std::string> W::*>(&k.field)) {
      auto& items = s.*(*list);
      items.clear();
      for (int i = 0;; ++i) {
        std::string item = ini.ReadString(k.section, k.key + std::to_string(i), "");
        if (item.empty()) break;
        items.push_back(std::move(item));
      }
    }
  }
  return s;
}

void WriteSettings(IniFile& ini, const WizardSettings& s) {
  // A list's section is erased first: a shorter list leaves no old entry behind.
  for (const SettingKey& k : SettingKeys())
    if (std::holds_alternative<std::vector<std::string> W::*>(k.field)) ini.EraseSection(k.section);
  for (const SettingKey& k : SettingKeys()) {
    if (auto text = std::get_if<std::string W::*>(&k.field)) {
      const std::string& value = s.*(*text);
      if (!value.empty() || !k.onlyWhenSet) ini.WriteString(k.section, k.key, value);
    } else if (auto flag = std::get_if<bool W::*>(&k.field)) {
      ini.WriteBool(k.section, k.key, s.*(*flag));
    } else if (auto list = std::get_if<std::vector<std::string> W::*>(&k.field)) {
      const auto& items = s.*(*list);
      for (size_t i = 0; i < items.size(); ++i)
        ini.WriteString(k.section, k.key + std::to_string(i), items[i]);
    }
  }
}

std::string TrustedCertificate(const IniFile& ini, const std::string& server) {
  return ini.ReadString("TLS", server, "");
}

void SetTrustedCertificate(IniFile& ini, const std::string& server,
                           const std::string& fingerprint) {
  ini.WriteString("TLS", server, fingerprint);
}

}  // namespace lignado::ui
