#include "ui/Settings.h"

#include <QTemporaryDir>
#include <QTest>
#include <filesystem>

#include "TestSupport.h"
#include "util/IniFile.h"

using lignado::IniFile;
using lignado::test::readFile;
using lignado::test::writeFile;
using lignado::ui::ReadSettings;
using lignado::ui::SettingKeys;
using lignado::ui::WizardSettings;
using lignado::ui::WriteSettings;
namespace fs = std::filesystem;

namespace {

// Every field away from its default, so that a field the table does not carry comes back
// changed.
WizardSettings Everything() {
  WizardSettings s;
  s.recentFiles = {"/home/h\xC3\xA9l\xC3\xA8ne/a.ged", "/b.ged"};
  s.lastFile = "/b.ged";
  s.exportFolder = "/sites/";
  s.lastTemplate = "parchemin";
  s.ftpNow = true;
  s.ftpHost = "127.0.0.1:2121";
  s.ftpUser = "lignado";
  s.ftpPass = "mot de passe = secret";
  s.ftpPath = "www";
  s.ftpIsFolder = false;
  s.ftpFolder = "arbre";
  s.uploadFinished = false;
  s.tlsRequired = true;
  s.tlsOff = true;
  s.verify = true;
  s.destine = "CD";
  s.living = "anonyme";
  s.photos = "/albums";
  s.livingYears = "120";
  s.protocol = "SFTP";
  s.sshKey = "/home/h\xC3\xA9l\xC3\xA8ne/.ssh/id_ed25519";
  s.root = "@I12@";
  s.siteUrl = "https://127.0.0.1:8443/arbre/";
  s.robots = "none";
  return s;
}

WizardSettings Defaults() {
  return ReadSettings(IniFile(""));
}

}  // namespace

class SettingsTest : public QObject {
  Q_OBJECT

  QTemporaryDir tmp;
  fs::path file() { return fs::path(tmp.path().toStdString()) / "lignado.ini"; }

 private slots:
  // Written then read back, every field is what it was; each key of the table is in the file.
  void roundTrip() {
    fs::remove(file());
    IniFile out(file().string());
    WriteSettings(out, Everything());
    QVERIFY(out.Save());
    QVERIFY(ReadSettings(IniFile(file().string())) == Everything());
    const std::string text = readFile(file());
    for (const auto& k : SettingKeys())
      QVERIFY2(text.find(std::string("\n") + k.key) != std::string::npos, k.key);
    // Defaults survive their own round trip too.
    fs::remove(file());
    IniFile again(file().string());
    WriteSettings(again, Defaults());
    QVERIFY(again.Save());
    QVERIFY(ReadSettings(IniFile(file().string())) == Defaults());
  }

  // The bytes users' files hold, key for key, in the order they were always written.
  void fileLayout_data() {
    QTest::addColumn<bool>("full");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("defaults")
        << false
        << QByteArray(
               "[Export]\nfolder=\nVivants=masquer\nPhotos=\nVivantsAns=100\nAdresseSite=\n"
               "Robots=search\n"
               "[FTP]\nMaintenant=0\nHost=\nUser=\nPass=\nPath=\n"
               "isFolder=1\nFolder=lignado\nFini=1\nTlsRequired=0\n"
               "TlsOff=0\nVerify=0\nProtocole=FTP\nCleSSH=\n[Modele]\nRacine=\n");
    QTest::newRow("every key")
        << true
        << QByteArray(
               "[Recent]\nLast=/b.ged\nfile0=/home/h\xC3\xA9l\xC3\xA8ne/"
               "a.ged\nfile1=/b.ged\n[Export]\nfolder=/sites/\n"
               "Destine=CD\nVivants=anonyme\nPhotos=/albums\nVivantsAns=120\n"
               "AdresseSite=https://127.0.0.1:8443/arbre/\nRobots=none\n[Modele]\n"
               "Last=parchemin\nRacine=@I12@\n[FTP]\nMaintenant=1\n"
               "Host=127.0.0.1:2121\nUser=lignado\n"
               "Pass=mot de passe = secret\nPath=www\nisFolder=0\n"
               "Folder=arbre\nFini=0\nTlsRequired=1\nTlsOff=1\n"
               "Verify=1\nProtocole=SFTP\nCleSSH=/home/h\xC3\xA9"
               "l\xC3\xA8ne/.ssh/id_ed25519\n");
  }
  void fileLayout() {
    QFETCH(bool, full);
    // The sections of an older file are kept in their places.
    IniFile ini("");
    ini.WriteString("Recent", "file0", "/vieux.ged");
    WriteSettings(ini, full ? Everything() : Defaults());
    QFETCH(QByteArray, text);
    QCOMPARE(QByteArray::fromStdString(ini.Text()), text);
  }

  // An older or partial file reads with the defaults for what it lacks; a list ends at its
  // first gap; a flag that is not a number takes its default.
  void olderFiles_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("changed");  // field=value of what differs from the defaults
    QTest::newRow("empty") << QByteArray() << "";
    QTest::newRow("one key") << QByteArray("[FTP]\nHost=h\n") << "ftpHost=h";
    QTest::newRow("gap in the list")
        << QByteArray("[Recent]\nfile0=/a.ged\nfile2=/c.ged\n") << "recentFiles=/a.ged";
    QTest::newRow("flags") << QByteArray("[ftp]\nISFOLDER=0\nFini=oui\nMaintenant=2\n")
                           << "ftpIsFolder=0;ftpNow=1";
    QTest::newRow("empty folder name") << QByteArray("[FTP]\nFolder=\n") << "ftpFolder=";
    QTest::newRow("SFTP and its key")
        << QByteArray("[FTP]\nProtocole=SFTP\nCleSSH=/k\n") << "protocol=SFTP;sshKey=/k";
  }
  void olderFiles() {
    QFETCH(QByteArray, text);
    writeFile(file(), text.toStdString());
    WizardSettings read = ReadSettings(IniFile(file().string())), d = Defaults();
    QStringList changed;
    auto note = [&](const char* name, const std::string& a, const std::string& b) {
      if (a != b) changed << QString("%1=%2").arg(name, QString::fromStdString(a));
    };
    note("recentFiles", read.recentFiles.empty() ? "" : read.recentFiles[0],
         d.recentFiles.empty() ? "" : d.recentFiles[0]);
    note("ftpHost", read.ftpHost, d.ftpHost);
    note("ftpFolder", read.ftpFolder, d.ftpFolder);
    note("ftpIsFolder", read.ftpIsFolder ? "1" : "0", d.ftpIsFolder ? "1" : "0");
    note("ftpNow", read.ftpNow ? "1" : "0", d.ftpNow ? "1" : "0");
    note("protocol", read.protocol, d.protocol);
    note("sshKey", read.sshKey, d.sshKey);
    QTEST(changed.join(";"), "changed");
    QCOMPARE(read.recentFiles.size() <= 1, true);
    QCOMPARE(read.uploadFinished, true);
    QCOMPARE(read.living, std::string("masquer"));
    QCOMPARE(d.protocol, std::string("FTP"));  // a file of before SFTP sends by FTP
  }

  // Keys and sections the table does not know stay as they were; the file list is written
  // anew; a key written only when set keeps its older value.
  void unknownKeysKept() {
    writeFile(file(),
              "; mes r\xE9glages\n[Recent]\nfile0=/a.ged\nfile5=/z.ged\n[FTP]\nPort=99\n"
              "Host=ancien\n[Modele]\nLast=parchemin\n[TLS]\nftp://127.0.0.1:21=AB:CD\n"
              "[Autre]\nx=1\n");
    IniFile ini(file().string());
    WizardSettings s = Defaults();
    s.recentFiles = {"/b.ged"};
    s.ftpHost = "nouveau";
    WriteSettings(ini, s);
    QVERIFY(ini.Save());
    const std::string text = readFile(file());
    for (const char* kept :
         {"; mes r\xE9glages\n", "[FTP]\nPort=99\nHost=nouveau\n", "[Modele]\nLast=parchemin\n",
          "[TLS]\nftp://127.0.0.1:21=AB:CD\n", "[Autre]\nx=1\n", "[Recent]\nfile0=/b.ged\n["})
      QVERIFY2(text.find(kept) != std::string::npos, kept);
    QVERIFY(text.find("z.ged") == std::string::npos);
  }
};

QTEST_APPLESS_MAIN(SettingsTest)
#include "Settings_test.moc"
