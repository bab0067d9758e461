#pragma once

#include <string>
#include <variant>
#include <vector>

namespace lignado {
class IniFile;
}

namespace lignado::ui {

// What the wizard remembers between two runs, as its settings file holds it (file-system bytes,
// "CD"/"WEB" for the destination kind, a living mode's name).
struct WizardSettings {
  std::vector<std::string> recentFiles;  // GEDCOM files, in list order
  std::string lastFile;                  // the one selected; empty: none
  std::string exportFolder;              // the destination's base
  std::string lastTemplate;              // empty: none selected
  bool ftpNow = false;                   // send once the pages exist
  std::string ftpHost, ftpUser, ftpPass, ftpPath;
  bool ftpIsFolder = true;
  std::string ftpFolder;
  bool uploadFinished = true;
  bool tlsRequired = false, tlsOff = false, verify = false;
  std::string destine;           // "CD", "WEB" or empty
  std::string living;            // LivingModeName
  std::string livingYears;       // the own-birth limit of the living rule, in years
  std::string photos;            // the media folder added to the GEDCOM file's
  std::string protocol = "FTP";  // "FTP" (FTPS included) or "SFTP"
  std::string sshKey;            // the private key an SFTP upload logs in with; empty: none
  // The GEDCOM pointer of the reference person of the Sosa numbers, chosen for lastFile;
  // empty: the file's own.
  std::string root;
  std::string siteUrl;            // the site's address as typed; empty: none
  std::string robots = "search";  // RobotsModeName

  bool operator==(const WizardSettings&) const = default;
};

// One key of the settings file and the field it feeds. A list field is written as key0, key1,
// and so on, after its section was erased; it ends at the first missing or empty key.
struct SettingKey {
  using Field = std::variant<std::string WizardSettings::*, bool WizardSettings::*,
                             std::vector<std::string> WizardSettings::*>;
  const char* section;
  const char* key;
  Field field;
  const char* defaultValue;  // "1"/"0" for a Boolean
  bool onlyWhenSet;          // an empty value is not written (an older value stays)
};

// Every key, in the order they are written at close.
const std::vector<SettingKey>& SettingKeys();

// The fields from the file, defaults for the keys it lacks.
WizardSettings ReadSettings(const IniFile& ini);
// Writes every key in table order; keys of the file that the table does not know are kept.
void WriteSettings(IniFile& ini, const WizardSettings& settings);

// The fingerprint of the certificate trusted for a server ("ftp://host:port"); empty: none.
std::string TrustedCertificate(const IniFile& ini, const std::string& server);
void SetTrustedCertificate(IniFile& ini, const std::string& server, const std::string& fingerprint);

}  // namespace lignado::ui
