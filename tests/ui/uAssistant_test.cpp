#include "ui/uAssistant.h"

#include <sys/stat.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "TestSupport.h"
#include "UiTest.h"
#include "data/Base.h"
#include "ftp/FtpTestServer.h"
#include "ftp/FtpTls.h"
#include "ftp/SshTestServer.h"
#include "genealogy/Sosa.h"
#include "pages/Medias.h"
#include "pages/Referencement.h"

using lignado::test::FakeDialogs;
using lignado::test::ItemTexts;
using lignado::test::kFtpPassword;
using lignado::test::LoopUntil;
using lignado::test::readFile;
using lignado::test::writeFile;
using lignado::ui::SplitHostPort;
using lignado::ui::TfmWebAssistant;
namespace fs = std::filesystem;

namespace {

const QString kUploadError = QString::fromUtf8(
    "Il y a eu des erreurs durant le transfert.\nSi vous relancez le logiciel, vous pourrez "
    "reprendre là ou vous êtes arrêté.");
const QString kUploadStopped = QString::fromUtf8(
    "Envoi arrêté à votre demande.\nVous pourrez le reprendre là où il s'est arrêté en cliquant "
    "sur \"Démarrer\" ou en relançant le logiciel.");
const QString kUploadDone =
    QString::fromUtf8("L'envoi est terminé. Cette généalogie est maintenant visible sur internet.");

// A GEDCOM file of n persons named "Prénom<i> /Nom<i>/".
std::string Family(int n) {
  std::string text = "0 HEAD\n1 CHAR ANSEL\n";
  for (int i = 1; i <= n; ++i)
    text += "0 @I" + std::to_string(i) + "@ INDI\n1 NAME Pr\xE9nom" + std::to_string(i) + " /Nom" +
            std::to_string(i) + "/\n1 SEX M\n";
  return text + "0 TRLR\n";
}

// Files below a folder, dot-names (and what dot-folders hold) left out, as an upload sends them.
int CountFiles(const fs::path& root) {
  int n = 0;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::end(it); ++it) {
    bool dot = it->path().filename().string()[0] == '.';
    if (dot && it->is_directory()) it.disable_recursion_pending();
    if (!dot && it->is_regular_file()) ++n;
  }
  return n;
}

}  // namespace

class AssistantTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir tmp;
  fs::path root, exe, served;
  FakeDialogs dialogs;
  std::unique_ptr<TfmWebAssistant> wizard;

  template <typename W>
  W* w(const char* name) {
    W* found = wizard->findChild<W*>(name);
    if (!found) qFatal("no control %s", name);
    return found;
  }
  QStackedWidget* pages() { return w<QStackedWidget>("PageControl1"); }
  QString page() { return pages()->currentWidget()->objectName(); }
  void next() { w<QPushButton>("bSuivant")->click(); }
  void open() {
    wizard = std::make_unique<TfmWebAssistant>(dialogs,
                                               lignado::ui::WizardOptions{exe.string() + "/", ""});
    wizard->show();
  }
  // The close box, then the window's own end.
  void close() {
    wizard->close();
    QVERIFY(LoopUntil([&] { return !wizard->isVisible(); }));
    wizard.reset();
  }
  std::string settings() { return readFile(exe / "lignado.ini"); }
  void chooseFile(const fs::path& ged) {
    dialogs.files = {QString::fromStdString(ged.string())};
    w<QPushButton>("Button1")->click();
  }
  // Settings that lead through the pages to a generation: the file chosen and remembered, the
  // "classique" template, the destination base; more: the rest of [Export] (a CD-ROM by
  // default), then other sections.
  void settingsToGenerate(const std::string& ged, const std::string& base,
                          const std::string& more = "Destine=CD\n") {
    writeFile(exe / "lignado.ini", "[Recent]\nLast=" + ged + "\nfile0=" + ged +
                                       "\n[Modele]\nLast=classique\n[Export]\nfolder=" + base +
                                       "/\n" + more);
  }
  // Settings of an upload of base's "Internet/" to the server on loopback; more: the rest of
  // [FTP], then other sections.
  void settingsToUpload(const std::string& base, int port, const std::string& more = "",
                        const std::string& password = kFtpPassword, bool finished = false,
                        const std::string& user = "lignado", const std::string& path = "www") {
    writeFile(exe / "lignado.ini",
              "[Export]\nfolder=" + base + "/\nDestine=WEB\n[FTP]\nHost=127.0.0.1:" +
                  std::to_string(port) + "\nUser=" + user + "\nPass=" + password +
                  "\nPath=" + path + "\nFini=" + (finished ? "1" : "0") + "\n" + more);
  }
  // Opens the wizard and goes through the pages up to the generation.
  void openAndGenerate() {
    open();
    for (int i = 0; i < 5; ++i) next();
  }
  // Opens the wizard on an unfinished upload and starts it; the dialogs answer as told.
  void resumeUpload(std::deque<bool> answers) {
    dialogs.messages.clear();
    dialogs.questions.clear();
    dialogs.answers = answers;
    open();
    w<QPushButton>("bFtpResume")->click();
    w<QPushButton>("bFtp")->click();
  }
  fs::path tracePath() { return exe / "lignado-envoi.trace"; }
  // A failed upload's message names the trace of the exchange, kept beside the settings.
  QString failed(const QString& message) {
    return message +
           QString::fromUtf8(
               "\nLe détail de l'échange avec le serveur, à joindre à une demande d'aide, est "
               "dans le fichier :\n") +
           QString::fromStdString(tracePath().string());
  }
  QStringList lines(const char* list) { return ItemTexts(w<QListWidget>(list)); }

 private slots:
  void initTestCase() {
    root = tmp.path().toStdString();
    exe = root / "programme";
    fs::create_directories(exe);
    // The shipped templates as the user's own, so that the test may run them.
    fs::create_directories(root / "data/lignado");
    fs::copy(fs::path(LIGNADO_SOURCE_DIR) / "modele", root / "data/lignado/modele",
             fs::copy_options::recursive);
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString((root / "data").string()));
    fs::copy_file(fs::path(LIGNADO_SOURCE_DIR) / "examples/famille-exemple.ged",
                  root / "Famille.ged");
    served = root / "serveur";
    fs::create_directories(served);
  }

  void init() {
    dialogs = FakeDialogs();
    fs::remove(exe / "lignado.ini");
  }

  // Without a settings file everything takes its default; the file list keeps the files that
  // exist, selects the remembered one whatever its case, and never lists one twice.
  void firstStartAndRecentFiles() {
    open();
    QCOMPARE(page(), "ts1");
    QVERIFY(!w<QPushButton>("bFtpResume")->isVisible());
    QVERIFY(!w<QPushButton>("bPrecedent")->isVisible());
    QVERIFY(w<QPushButton>("bSuivant")->isEnabled());
    QCOMPARE(w<QLineEdit>("eFtpFolder")->text(), "lignado");
    QVERIFY(w<QCheckBox>("cbInternet")->isChecked());
    QVERIFY(w<QCheckBox>("cbFtpFolder")->isChecked());
    QVERIFY(w<QLineEdit>("ePathExport")->text().isEmpty());
    next();
    QCOMPARE(page(), "ts2");
    QVERIFY(!w<QPushButton>("bSuivant")->isEnabled());
    close();
    QCOMPARE(settings(),
             "[Export]\nfolder=\nVivants=masquer\nPhotos=\nVivantsAns=100\nAdresseSite=\nRobots="
             "search\n[FTP]\nMaintenant="
             "0\nHost=\nUser=\nPass="
             "\nPath="
             "\nisFolder=1\n"
             "Folder=lignado\nFini=1\nTlsRequired=0\nTlsOff=0\nVerify=0\nProtocole=FTP\nCleSSH=\n["
             "Modele]\nRacine=\n");

    writeFile(root / "a.ged", Family(1));
    writeFile(root / "b.ged", Family(1));
    std::string a = (root / "a.ged").string(), b = (root / "b.ged").string();
    writeFile(exe / "lignado.ini", "[Recent]\nLast=" + (root / "B.GED").string() + "\nfile0=" + a +
                                       "\nfile1=" + (root / "gone.ged").string() + "\nfile2=" + b +
                                       "\nfile4=" + a + "\n");
    open();
    QCOMPARE(lines("lbFichier"),
             QStringList({QString::fromStdString(a), QString::fromStdString(b)}));
    QCOMPARE(w<QListWidget>("lbFichier")->currentRow(), 1);
    next();
    chooseFile(root / "A.GED");  // the same entry in other letter case
    QCOMPARE(w<QListWidget>("lbFichier")->count(), 2);
    QCOMPARE(w<QListWidget>("lbFichier")->currentRow(), 0);
    QVERIFY(w<QPushButton>("bSuivant")->isEnabled());
    QCOMPARE(dialogs.filters, QStringList("Fichier GEDCOM (*.ged)"));
    close();
    QVERIFY(settings().find("[Recent]\nLast=" + a + "\nfile0=" + a + "\nfile1=" + b + "\n[") == 0);
  }

  // 100 lines for 250 persons, persons 1 to 100, surname then given names; going back and
  // forward imports anew.
  void personList() {
    writeFile(root / "250.ged", Family(250));
    open();
    next();
    chooseFile(root / "250.ged");
    next();
    QCOMPARE(page(), "ts3");
    QCOMPARE(wizard->Database().PersonCount, 250);
    QStringList shown = lines("lbPers");
    QCOMPARE(shown.size(), 100);
    QCOMPARE(shown.first(), QString::fromUtf8("NOM1 Prénom1"));
    QCOMPARE(shown.last(), QString::fromUtf8("NOM100 Prénom100"));
    w<QPushButton>("bPrecedent")->click();
    writeFile(root / "250.ged", "0 HEAD\n0 @I1@ INDI\n1 NAME W&#322;odek /Nowak/\n0 TRLR\n");
    next();
    QCOMPARE(lines("lbPers"), QStringList(QString::fromUtf8("NOWAK Włodek")));
    close();
  }

  // Escape and the close box both stop a long import; what was read stays, and the close
  // box closes the window once the import has returned.
  void stopTheImport_data() {
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("Escape") << false;
    QTest::newRow("close box") << true;
  }
  void stopTheImport() {
    QFETCH(bool, closeBox);
    // 910 persons (a multiple of 182: the status then names them at every record), a long run
    // of notes during which the user stops, and 40 persons that must stay unread.
    std::string text = Family(910);
    text.resize(text.size() - 7);  // without "0 TRLR"
    for (int i = 1; i <= 1000000; ++i) text += "0 @N" + std::to_string(i) + "@ NOTE texte\n";
    text += Family(40).substr(18);
    writeFile(root / "grand.ged", text);
    open();
    next();
    chooseFile(root / "grand.ged");
    QTimer watch;
    connect(&watch, &QTimer::timeout, wizard.get(), [&] {
      if (!w<QLabel>("Label7")->text().contains(": 910 /")) return;
      watch.stop();
      if (closeBox)
        wizard->close();
      else
        QTest::keyClick(w<QListWidget>("lbPers"), Qt::Key_Escape);
    });
    watch.start(0);
    next();
    QCOMPARE(wizard->Database().PersonCount, 910);
    QCOMPARE(w<QListWidget>("lbPers")->count(), 100);
    QVERIFY(w<QPushButton>("bSuivant")->isEnabled());
    if (closeBox) {
      QVERIFY(LoopUntil([&] { return !wizard->isVisible(); }));
      QVERIFY(settings().find("file0=" + (root / "grand.ged").string()) != std::string::npos);
      wizard.reset();
    } else {
      close();
    }
  }

  // The whole road: import, template, destination for the web, generation, the upload to a
  // real FTP server; then the same pages for a CD-ROM; the settings file in its key order.
  void wholeRoad() {
    lignado::test::FtpTestServer server(served);
    QVERIFY2(server.running(), server.error().c_str());
    const std::string out = (root / "site").string();
    fs::create_directories(out);

    open();
    next();
    chooseFile(root / "Famille.ged");
    next();
    QCOMPARE(wizard->Database().PersonCount, 65);
    QCOMPARE(w<QLabel>("Label7")->text(), "Nombre de personnes et d'unions : 65 / 23");
    QCOMPARE(w<QProgressBar>("ProgressBar1")->value(), 100);
    next();
    QCOMPARE(page(), "ts4");
    QCOMPARE(lines("lbModele"), QStringList({"classique", "parchemin"}));
    QVERIFY(!w<QPushButton>("bSuivant")->isEnabled());
    QVERIFY(!w<QPushButton>("bTest")->isEnabled());
    w<QListWidget>("lbModele")->setCurrentRow(0);
    QVERIFY(w<QPushButton>("bTest")->isEnabled());
    QCOMPARE(wizard->TemplateDir, (root / "data/lignado/modele/classique").string() + "/");
    // The preview shows the template's home page under the wizard's caption.
    QString caption, shown;
    QTimer::singleShot(0, wizard.get(), [&] {
      QWidget* web = QApplication::activeModalWidget();
      auto* view = web->findChild<QWebEngineView*>("wb");
      LoopUntil([&] {
        shown =
            lignado::test::RunJs(view, "document.body ? document.body.innerText : ''").toString();
        return !shown.isEmpty();
      });
      caption = web->windowTitle();
      web->close();
    });
    w<QPushButton>("bTest")->click();
    QCOMPARE(caption, "Lignado V1.1");
    QVERIFY(!shown.isEmpty());
    next();

    QCOMPARE(page(), "ts5");
    QVERIFY(!w<QPushButton>("bSuivant")->isEnabled());
    w<QPushButton>("Button3")->click();  // cancelled with nothing chosen: still nothing
    QVERIFY(wizard->ExportBase.empty());
    dialogs.folders = {QString::fromStdString(out)};
    w<QPushButton>("Button3")->click();
    QCOMPARE(wizard->ExportBase, out + "/");
    QVERIFY(!w<QPushButton>("bSuivant")->isEnabled());
    w<QRadioButton>("rbDestineWeb")->click();
    QCOMPARE(w<QLineEdit>("ePathExport")->text().toStdString(), out + "/Internet/");
    QVERIFY(w<QPushButton>("bSuivant")->isEnabled());
    next();

    QCOMPARE(page(), "ts6");
    QVERIFY(w<QWidget>("Panel7")->isVisible());
    QCOMPARE(w<QLabel>("Label21")->text().toStdString(), out + "/Internet/");
    QVERIFY(fs::exists(out + "/Internet/index.html"));
    QCOMPARE(w<QProgressBar>("ProgressBar2")->value(), 100);
    QVERIFY(!w<QLabel>("Label36")->isVisible());
    QVERIFY(w<QCheckBox>("cbFtp")->isVisible());
    QVERIFY(!w<QPushButton>("bSuivant")->isVisible());
    w<QPushButton>("Button4")->click();
    w<QPushButton>("Button5")->click();
    QCOMPARE(dialogs.opened,
             QList<QUrl>({QUrl::fromLocalFile(QString::fromStdString(out + "/Internet/index.html")),
                          QUrl::fromLocalFile(QString::fromStdString(out + "/Internet/"))}));
    w<QCheckBox>("cbFtp")->click();
    QVERIFY(w<QPushButton>("bSuivant")->isVisible());
    QVERIFY(w<QLabel>("Label35")->isVisible());
    next();

    QCOMPARE(page(), "ts7");
    struct Account {
      const char *host, *user, *pass, *folder;
      bool subFolder, next;
      bool sftp = false;  // a key file logs in to SFTP without a password
      const char* key = "";
    } accounts[] = {
        {"h", "u", "p", "lignado", true, true},
        {"", "u", "p", "x", true, false},
        {"h", "", "p", "x", true, false},
        {"h", "u", "", "x", true, false},
        {"h", "u", "p", "", true, false},
        {"h", "u", "p", "", false, true},
        {"h", "u", "", "x", true, true, true, "/k"},
        {"h", "u", "", "x", true, false, false, "/k"},
        {"h", "u", "", "x", true, false, true, ""},
        {"h", "", "", "x", true, false, true, "/k"},
    };
    for (const Account& a : accounts) {
      w<QComboBox>("cbFtpProtocol")->setCurrentIndex(a.sftp ? 1 : 0);
      w<QLineEdit>("eFtpKey")->setText(a.key);
      QCOMPARE(w<QLineEdit>("eFtpKey")->isVisible(), a.sftp);
      QCOMPARE(w<QPushButton>("bFtpKey")->isVisible(), a.sftp);
      QCOMPARE(w<QCheckBox>("cbFtpTls")->isVisible(), !a.sftp);
      w<QLineEdit>("eFtpHost")->setText(a.host);
      w<QLineEdit>("eFtpUser")->setText(a.user);
      w<QLineEdit>("eFtpPass")->setText(a.pass);
      w<QLineEdit>("eFtpFolder")->setText(a.folder);
      w<QCheckBox>("cbFtpFolder")->setChecked(a.subFolder);
      QCOMPARE(w<QPushButton>("bSuivant")->isEnabled(), a.next);
      QCOMPARE(w<QLineEdit>("eFtpFolder")->isVisible(), a.subFolder);
    }
    QCOMPARE(w<QLineEdit>("eFtpPass")->echoMode(), QLineEdit::Password);
    w<QCheckBox>("cbFtpShowPass")->click();
    QCOMPARE(w<QLineEdit>("eFtpPass")->echoMode(), QLineEdit::Normal);
    w<QCheckBox>("cbFtpShowPass")->click();
    QCOMPARE(w<QLineEdit>("eFtpPass")->echoMode(), QLineEdit::Password);
    dialogs.files = {QString::fromUtf8("/home/hélène/.ssh/id_ed25519"), ""};  // then a cancel
    for (int i = 0; i < 2; ++i) w<QPushButton>("bFtpKey")->click();
    QCOMPARE(w<QLineEdit>("eFtpKey")->text(), QString::fromUtf8("/home/hélène/.ssh/id_ed25519"));
    QVERIFY(dialogs.filters.last().contains("SSH"));
    w<QLineEdit>("eFtpKey")->clear();
    w<QComboBox>("cbFtpProtocol")->setCurrentIndex(0);
    w<QPushButton>("Button6")->click();
    QCOMPARE(w<QLineEdit>("eFtpHost")->text(), "ftp.example.com");
    QVERIFY(!w<QPushButton>("bSuivant")->isEnabled());  // the example has no password
    w<QLineEdit>("eFtpHost")->setText(QString("127.0.0.1:%1").arg(server.port()));
    w<QLineEdit>("eFtpPass")->setText(lignado::test::kFtpPassword);
    w<QLineEdit>("eFtpPath")->setText("www");
    next();

    QCOMPARE(page(), "ts8");
    QVERIFY(!w<QPushButton>("bSuivant")->isVisible());
    w<QPushButton>("bFtp")->click();
    QCOMPARE(dialogs.messages, QStringList(kUploadDone));
    QVERIFY(wizard->UploadFinished);
    QCOMPARE(lines("lbFtp").last(), QString::fromUtf8("Transfert terminé"));
    QCOMPARE(lignado::test::treeDifferences(out + "/Internet", served / "www/lignado"), "");

    for (int i = 0; i < 3; ++i) w<QPushButton>("bPrecedent")->click();
    QCOMPARE(page(), "ts5");
    w<QRadioButton>("rbDestineCD")->click();
    QCOMPARE(w<QLineEdit>("ePathExport")->text().toStdString(), out + "/A graver/");
    next();
    QVERIFY(fs::exists(out + "/A graver/index.html"));
    QVERIFY(w<QLabel>("Label36")->isVisible());
    QVERIFY(!w<QCheckBox>("cbFtp")->isVisible());
    QVERIFY(!w<QCheckBox>("cbFtp")->isChecked());
    QVERIFY(!w<QPushButton>("bSuivant")->isVisible());
    close();
    const std::string ged = (root / "Famille.ged").string();
    QCOMPARE(
        settings(),
        "[Recent]\nLast=" + ged + "\nfile0=" + ged + "\n[Export]\nfolder=" + out +
            "/\nDestine=CD\nVivants=masquer\nPhotos=\nVivantsAns=100\nAdresseSite=\n"
            "Robots=search\n[Modele]\nLast=classique\n"
            "Racine=\n[FTP]\nMaintenant=0\n"
            "Host=127.0.0.1:" +
            std::to_string(server.port()) +
            "\nUser=lignado\nPass=mot de passe\nPath=www\nisFolder=1\n"
            "Folder=lignado\nFini=1\nTlsRequired=0\nTlsOff=0\nVerify=0\nProtocole=FTP\nCleSSH=\n");
  }

  // A stopped upload ("Stopper", or the close box, which waits for the upload to return) is an
  // unfinished one: the next start offers to resume it on ts8, and "Démarrer" sends only what
  // the stopped one did not.
  void stopAndResume_data() {
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("Stopper") << false;
    QTest::newRow("close box") << true;
  }
  void stopAndResume() {
    QFETCH(bool, closeBox);
    dialogs.messages.clear();
    lignado::test::FtpTestServer server(served);
    QVERIFY2(server.running(), server.error().c_str());
    fs::remove_all(served / "www");
    const std::string site = (root / "envoi/Internet").string();
    lignado::test::makeSite(site);
    settingsToUpload((root / "envoi").string(), server.port());
    open();
    w<QPushButton>("bFtpResume")->click();
    QCOMPARE(w<QLineEdit>("ePathExport")->text().toStdString(), site + "/");
    int sent = 0;
    connect(w<QListWidget>("lbFtp")->model(), &QAbstractItemModel::rowsInserted, wizard.get(), [&] {
      if (!lines("lbFtp").last().startsWith("OK: ") || ++sent != 3) return;
      if (closeBox)
        wizard->close();
      else
        w<QPushButton>("bFtp")->click();  // "Stopper"
    });
    w<QPushButton>("bFtp")->click();
    QCOMPARE(dialogs.messages, QStringList(kUploadStopped));
    QVERIFY(!wizard->UploadFinished);
    int first = CountFiles(served / "www/lignado");
    QVERIFY(first >= 3 && first < CountFiles(site));
    if (closeBox) {
      QVERIFY(LoopUntil([&] { return !wizard->isVisible(); }));
      wizard.reset();
    } else {
      close();
    }
    QVERIFY(settings().find("Fini=0\n") != std::string::npos);

    dialogs.messages.clear();
    open();
    QVERIFY(w<QPushButton>("bFtpResume")->isVisible());
    w<QPushButton>("bFtpResume")->click();
    QCOMPARE(page(), "ts8");
    QVERIFY(!w<QPushButton>("bSuivant")->isVisible());
    QVERIFY(!w<QPushButton>("bPrecedent")->isVisible());
    w<QPushButton>("bFtp")->click();
    QCOMPARE(dialogs.messages, QStringList(kUploadDone));
    QVERIFY(lines("lbFtp").contains(
        QString::fromUtf8("Envoi de %1 fichiers terminé").arg(CountFiles(site) - first)));
    QCOMPARE(lignado::test::treeDifferences(site, served / "www/lignado"), "");
    close();
    QVERIFY(settings().find("Fini=1\n") != std::string::npos);
  }

  // A certificate the system does not know: refused until the user trusts its fingerprint,
  // which is kept and not asked again; "required" refuses a server without TLS.
  void serverCertificate() {
    lignado::test::FtpServerOptions tls;
    tls.tls = "require";
    lignado::test::FtpTestServer server(served, tls);
    QVERIFY2(server.running(), server.error().c_str());
    fs::remove_all(served / "www");
    const std::string site = (root / "chiffre/Internet").string();
    lignado::test::makeSite(site);
    settingsToUpload((root / "chiffre").string(), server.port());
    auto upload = [&](std::deque<bool> answers) { resumeUpload(answers); };
    upload({false});
    QCOMPARE(dialogs.questions.size(), 1);
    QVERIFY(dialogs.questions[0].contains(QString::fromStdString(server.fingerprint())));
    QCOMPARE(dialogs.messages, QStringList(failed(kUploadError)));
    QVERIFY(!fs::exists(served / "www"));
    close();
    QVERIFY(settings().find("[TLS]") == std::string::npos);

    upload({true});
    QCOMPARE(dialogs.questions.size(), 1);
    QCOMPARE(dialogs.messages, QStringList(kUploadDone));
    QCOMPARE(lignado::test::treeDifferences(site, served / "www/lignado"), "");
    close();
    QVERIFY(settings().find("[TLS]\nftp://127.0.0.1:" + std::to_string(server.port()) + "=" +
                            server.fingerprint() + "\n") != std::string::npos);

    lignado::test::FtpTestServer plain(served);
    QVERIFY2(plain.running(), plain.error().c_str());
    settingsToUpload((root / "chiffre").string(), plain.port(), "TlsRequired=1\n");
    upload({});
    QVERIFY(dialogs.questions.isEmpty());
    QCOMPARE(dialogs.messages, QStringList(failed(kUploadError)));
    QVERIFY(w<QCheckBox>("cbFtpTls")->isChecked());
    close();
  }

  // A server once reached over TLS stays so: another certificate there is asked about (No by
  // default), a server that refuses TLS does not get the password, and only the box sends it in
  // clear.
  void tlsForGood() {
    const std::string site = (root / "garde/Internet").string();
    lignado::test::makeSite(site);
    fs::remove_all(served / "www");
    const std::string log = (root / "commandes.txt").string();
    const std::string trusted = lignado::FingerprintText(std::string(64, 'A'));
    auto settingsFor = [&](int port, const std::string& extra) {
      settingsToUpload(
          (root / "garde").string(), port,
          extra + "[TLS]\nftp://127.0.0.1:" + std::to_string(port) + "=" + trusted + "\n");
    };
    int port = 0;
    {
      lignado::test::FtpServerOptions tls;
      tls.tls = "offer";
      lignado::test::FtpTestServer server(served, tls);
      QVERIFY2(server.running(), server.error().c_str());
      port = server.port();
      settingsFor(port, "");
      resumeUpload({});
      QCOMPARE(dialogs.questions.size(), 1);
      QVERIFY(dialogs.questions[0].contains(QString::fromUtf8("a changé")));
      QVERIFY(dialogs.questions[0].contains(QString::fromStdString(trusted)));
      QVERIFY(dialogs.questions[0].contains(QString::fromStdString(server.fingerprint())));
      QCOMPARE(dialogs.messages, QStringList(failed(kUploadError)));
      QVERIFY(!fs::exists(served / "www"));
      close();
      QVERIFY(settings().find("=" + trusted + "\n") != std::string::npos);
    }

    lignado::test::FtpServerOptions plain;  // the same port, refusing AUTH TLS
    plain.port = port;
    plain.commandLog = log;
    lignado::test::FtpTestServer server(served, plain);
    QVERIFY2(server.running(), server.error().c_str());
    settingsFor(port, "");
    resumeUpload({});
    QVERIFY(dialogs.questions.isEmpty());
    QCOMPARE(dialogs.messages.size(), 1);
    QVERIFY(dialogs.messages[0].contains(QString::fromUtf8("« Envoyer sans chiffrement »")));
    QVERIFY(readFile(log).find("PASS") == std::string::npos);
    QVERIFY(!fs::exists(served / "www"));
    close();

    settingsFor(port, "TlsRequired=1\nTlsOff=1\n");  // the box unticks "required"
    resumeUpload({});
    QCOMPARE(dialogs.messages, QStringList(kUploadDone));
    QVERIFY(!w<QCheckBox>("cbFtpTls")->isChecked());
    QVERIFY(readFile(log).find("PASS") != std::string::npos);
    QCOMPARE(lignado::test::treeDifferences(site, served / "www/lignado"), "");
    close();
    QVERIFY(settings().find("TlsRequired=0\nTlsOff=1\n") != std::string::npos);
  }

  // The living-person choice and its years are read from the settings, reach the generation and
  // are kept.
  void livingPersons() {
    const std::string ged = (root / "Vivants.ged").string(), base = (root / "vivants").string();
    // Born 1915: living only when the rule's limit is more than a hundred years.
    writeFile(ged,
              "0 HEAD\n1 CHAR ANSI\n0 @I1@ INDI\n1 NAME Pr\xE9nom1 /NOM/\n1 BIRT\n2 DATE 1915\n"
              "0 TRLR\n");
    settingsToGenerate(ged, base, "Destine=CD\nVivants=anonyme\nVivantsAns=120\n");
    openAndGenerate();
    QCOMPARE(page(), "ts6");
    QCOMPARE(w<QComboBox>("cbVivants")->currentData().toString(), "anonyme");
    QCOMPARE(w<QSpinBox>("seVivantsAns")->value(), 120);
    std::string index = readFile(base + "/A graver/index.html");
    QVERIFY(index.find("Personne vivante") != std::string::npos);
    QVERIFY(index.find("Pr\xE9nom1") == std::string::npos);
    close();
    QVERIFY(settings().find("Vivants=anonyme\n") != std::string::npos);
    QVERIFY(settings().find("VivantsAns=120\n") != std::string::npos);
  }

  // The site's address and the robots' choice come from the settings and reach the site; an
  // address the site cannot take holds the destination page, with the reason under the field.
  void siteAddress() {
    const std::string ged = (root / "Adresse.ged").string(), base = (root / "adresse").string();
    writeFile(ged, "0 HEAD\n1 CHAR ANSI\n0 @I1@ INDI\n1 NAME Jean /DUPONT/\n0 TRLR\n");
    settingsToGenerate(ged, base, "Destine=CD\nAdresseSite=https://127.0.0.1/arbre\nRobots=none\n");
    openAndGenerate();
    QCOMPARE(page(), "ts6");
    QVERIFY(
        readFile(base + "/A graver/sitemap.xml").find("<loc>https://127.0.0.1/arbre/index.html") !=
        std::string::npos);
    QCOMPARE(readFile(base + "/A graver/robots.txt"),
             lignado::RobotsText(lignado::RobotsMode::None, "https://127.0.0.1/arbre/"));
    w<QPushButton>("bPrecedent")->click();
    QCOMPARE(page(), "ts5");
    w<QLineEdit>("eSiteUrl")->setText("ftp://127.0.0.1/");
    QVERIFY(!w<QPushButton>("bSuivant")->isEnabled());
    QVERIFY(w<QLabel>("lSiteUrl")->isVisible());
    QVERIFY(
        w<QLabel>("lSiteUrl")->text().startsWith(QString::fromUtf8("Adresse du site invalide")));
    w<QLineEdit>("eSiteUrl")->setText("");
    QVERIFY(w<QPushButton>("bSuivant")->isEnabled());
    QVERIFY(!w<QLabel>("lSiteUrl")->isVisible());
    w<QLineEdit>("eSiteUrl")->setText("http://[::1]:8080/");
    close();
    QVERIFY(settings().find("AdresseSite=http://[::1]:8080/\nRobots=none\n") != std::string::npos);
  }

  // The reference person of the Sosa numbers: the file's (_SOSA 1) at first, then one found by
  // name (accents and case ignored) and kept by pointer with its file; a pointer the file no
  // longer has gives the file's own back, with a message.
  void referencePerson() {
    const std::string ged = (root / "Sosa.ged").string(), base = (root / "sosa").string();
    writeFile(ged,
              "0 HEAD\n1 CHAR ANSI\n0 @I1@ INDI\n1 NAME Jean /Dupont/\n1 SEX M\n"
              "0 @I2@ INDI\n1 NAME Marie /Martin/\n1 SEX F\n0 @I3@ INDI\n1 NAME Pierre /Dupont/\n"
              "0 @I4@ INDI\n1 NAME H\xE9l\xE8ne /Durand/\n1 _SOSA 1\n"
              "0 @F1@ FAM\n1 HUSB @I1@\n1 WIFE @I2@\n1 CHIL @I3@\n0 TRLR\n");
    const QString jean = "DUPONT Jean (@I1@)", pierre = "DUPONT Pierre (@I3@)",
                  helene = QString::fromUtf8("DURAND Hélène (@I4@)");
    const QString chosen = QString::fromUtf8("Personne de référence : ");
    settingsToGenerate(ged, base);
    open();
    for (int i = 0; i < 3; ++i) next();
    QCOMPARE(page(), "ts4");
    QCOMPARE(w<QLabel>("lRacine")->text(), chosen + helene);
    const std::pair<const char*, QStringList> searches[] = {
        {"dupont", {jean, pierre}}, {"JEAN dup", {jean}}, {"helene", {helene}},
        {"H\xC3\xA9L", {helene}},   {"martin x", {}},     {"", {}},
    };
    for (const auto& [typed, found] : searches) {
      w<QLineEdit>("eRacine")->setText(QString::fromUtf8(typed));
      QCOMPARE(lines("lbRacine"), found);
    }
    w<QLineEdit>("eRacine")->setText("pierre");
    QListWidget* list = w<QListWidget>("lbRacine");
    list->setCurrentRow(0);
    emit list->itemClicked(list->item(0));
    QCOMPARE(w<QLabel>("lRacine")->text(), chosen + pierre);
    next();
    next();
    QCOMPARE(page(), "ts6");
    const std::string sosa = readFile(base + "/A graver/sosa.html");
    QVERIFY(sosa.find("Ascendance de Pierre") != std::string::npos);
    QVERIFY(sosa.find("<span class=\"sosa\">2</span> <a href=\"personne_n_1.html\">Jean") !=
            std::string::npos);
    close();
    QVERIFY(settings().find("Racine=@I3@\n") != std::string::npos);

    // Opened again on the same file, the choice is back, also for the pages.
    open();
    for (int i = 0; i < 3; ++i) next();
    QCOMPARE(w<QLabel>("lRacine")->text(), chosen + pierre);
    QCOMPARE(wizard->Database().Numbering()->Root(), 3);
    close();

    writeFile(exe / "lignado.ini", "[Recent]\nLast=" + ged + "\nfile0=" + ged +
                                       "\n[Modele]\nLast=classique\nRacine=@I9@\n");
    open();
    for (int i = 0; i < 3; ++i) next();
    QCOMPARE(w<QLabel>("lRacine")->text(),
             QString::fromUtf8("Personne de référence inconnue : @I9@ ; celle du fichier est "
                               "prise.\n") +
                 chosen + helene);
    QCOMPARE(wizard->Database().Numbering()->Root(), 4);
    close();
    QVERIFY(settings().find("Racine=\n") != std::string::npos);
  }

  // The "Dossier des photos" is read from the settings and kept: a picture found there by its
  // name is copied, one beside the GEDCOM file's folder is refused with its line.
  void photoFolder() {
    const std::string arbre = (root / "arbre").string(), albums = (root / "albums").string(),
                      base = (root / "photos-site").string(), ged = arbre + "/Photos.ged";
    fs::create_directories(arbre);
    fs::create_directories(albums);
    writeFile(albums + "/jean.jpg", "\xFF\xD8\xFF\xE0 jean");
    writeFile(root / "secret.jpg", "\xFF\xD8\xFF\xE0 secret");
    writeFile(ged,
              "0 HEAD\n1 CHAR UTF-8\n0 @I1@ INDI\n1 NAME Jean /MARTIN/\n1 DEAT\n"
              "1 OBJE\n2 FILE C:\\Albums\\jean.jpg\n1 OBJE\n2 FILE ../secret.jpg\n0 TRLR\n");
    settingsToGenerate(ged, base, "Destine=CD\nPhotos=" + albums + "\n");
    openAndGenerate();
    QCOMPARE(page(), "ts6");
    QCOMPARE(w<QLineEdit>("ePhotos")->text().toStdString(), albums);
    const std::string copy = base + "/A graver/" + lignado::MediaSitePath("C:\\Albums\\jean.jpg");
    QCOMPARE(readFile(copy), std::string("\xFF\xD8\xFF\xE0 jean"));
    QVERIFY(!fs::exists(base + "/A graver/" + lignado::MediaSitePath("../secret.jpg")));
    QCOMPARE(
        dialogs.messages,
        QStringList(QString::fromUtf8(
            "Vignette non faite : C:\\Albums\\jean.jpg (Photo illisible : ce n'est pas une image "
            "connue)\nPhoto hors des dossiers autoris\xC3\xA9s : ../secret.jpg")));
    close();
    QVERIFY(settings().find("Photos=" + albums + "\n") != std::string::npos);
  }

  // Enter presses Suivant whatever field or list has the focus; a push button with the focus
  // is pressed itself.
  void enterOnEveryPage() {
    const std::string ged = (root / "Famille.ged").string(), base = (root / "entree").string();
    settingsToGenerate(ged, base);
    open();
    const struct {
      const char* focus;  // none: the window itself
      const char* page;   // after Enter
    } steps[] = {
        {nullptr, "ts2"},  {"lbFichier", "ts3"}, {"bPrecedent", "ts2"},  {"lbFichier", "ts3"},
        {"lbPers", "ts4"}, {"lbModele", "ts5"},  {"ePathExport", "ts6"},
    };
    for (const auto& step : steps) {
      QWidget* target = step.focus ? w<QWidget>(step.focus) : wizard.get();
      target->setFocus();
      QTest::keyClick(target, Qt::Key_Return);
      QCOMPARE(page(), step.page);
    }
    QVERIFY(fs::exists(base + "/A graver/index.html"));
    // Nothing to go on to: Enter does nothing.
    QVERIFY(!w<QPushButton>("bSuivant")->isVisible());
    QTest::keyClick(wizard.get(), Qt::Key_Enter);
    QCOMPARE(page(), "ts6");
    close();
  }

  // Escape during a generation stops it; the wizard says so in its own words and offers to
  // start again: Yes makes the whole site, No leaves the user on the page with the way back.
  void stopTheGeneration_data() {
    QTest::addColumn<bool>("again");
    QTest::newRow("start again") << true;
    QTest::newRow("stay stopped") << false;
  }
  void stopTheGeneration() {
    QFETCH(bool, again);
    const std::string ged = (root / "Arret.ged").string(), base = (root / "arret").string();
    writeFile(ged, Family(3000));
    fs::remove_all(base);
    settingsToGenerate(ged, base, "Destine=WEB\n[FTP]\nMaintenant=1\n");
    dialogs.answers = {again};
    open();
    for (int i = 0; i < 4; ++i) next();
    QCOMPARE(page(), "ts5");
    QTimer watch;
    connect(&watch, &QTimer::timeout, wizard.get(), [&] {
      if (w<QProgressBar>("ProgressBar2")->value() < 1) return;
      watch.stop();
      QTest::keyClick(w<QWidget>("ProgressBar2"), Qt::Key_Escape);
    });
    watch.start(0);
    next();
    QCOMPARE(page(), "ts6");
    QCOMPARE(dialogs.questions.size(), 1);
    QVERIFY2(dialogs.questions[0].startsWith(QString::fromUtf8("Création des pages interrompue.")),
             qPrintable(dialogs.questions[0]));
    QVERIFY(!dialogs.messages.join("|").contains("sauvegarde"));
    QCOMPARE(w<QWidget>("Panel7")->isVisible(), again);
    QCOMPARE(w<QPushButton>("bSuivant")->isEnabled(), again);
    QCOMPARE(w<QProgressBar>("ProgressBar2")->value() == 100, again);
    // Every person has a page once the whole site is made; a stopped one lacks some.
    int pages = CountFiles(base + "/Internet");
    QVERIFY2(again ? pages > 3000 : pages < 3000, qPrintable(QString::number(pages)));
    QVERIFY(w<QPushButton>("bPrecedent")->isEnabled());
    w<QPushButton>("bPrecedent")->click();
    QCOMPARE(page(), "ts5");
    QVERIFY(w<QPushButton>("bSuivant")->isEnabled());
    close();
  }

  // The import runs off the window's thread: while it waits for the rest of its file (a pipe
  // whose writer holds back the end), the window answers, and only its answer lets the writer
  // finish (else the writer gives up waiting and the test fails).
  void windowAnswersDuringTheImport() {
    const fs::path tube = root / "tube.ged";
    fs::remove(tube);
    QCOMPARE(::mkfifo(tube.c_str(), 0600), 0);
    const std::string text = Family(20010);
    const size_t cut = text.find("0 @I20001@");
    std::mutex mutex;
    std::condition_variable wake;
    bool answered = false, heard = false;
    std::atomic<bool> headWritten{false};
    std::thread writer([&] {
      std::ofstream out(tube, std::ios::binary);  // once the import opens the pipe
      out.write(text.data(), static_cast<std::streamsize>(cut));
      out.flush();
      headWritten = true;
      std::unique_lock<std::mutex> lock(mutex);
      heard = wake.wait_for(lock, std::chrono::seconds(20), [&] { return answered; });
      out.write(text.data() + cut, static_cast<std::streamsize>(text.size() - cut));
    });
    open();
    next();
    chooseFile(tube);
    QTimer answer;
    connect(&answer, &QTimer::timeout, wizard.get(), [&] {
      if (!headWritten) return;
      answer.stop();
      std::lock_guard<std::mutex> lock(mutex);
      answered = true;
      wake.notify_one();
    });
    answer.start(0);
    next();
    writer.join();
    QVERIFY(heard);
    QCOMPARE(wizard->Database().PersonCount, 20010);
    QVERIFY(w<QPushButton>("bSuivant")->isEnabled());
    close();
  }

  // A server that accepts and never speaks: "Stopper" or the close box ends the connection's
  // wait at once (not after its time-out); nothing is sent, and the upload stays to resume.
  void stopWhileConnecting_data() {
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("Stopper") << false;
    QTest::newRow("close box") << true;
  }
  void stopWhileConnecting() {
    QFETCH(bool, closeBox);
    lignado::test::FtpServerOptions silent;
    silent.mode = "silent";
    lignado::test::FtpTestServer server(served, silent);
    QVERIFY2(server.running(), server.error().c_str());
    fs::remove_all(served / "www");
    lignado::test::makeSite((root / "muet/Internet").string());
    settingsToUpload((root / "muet").string(), server.port());
    open();
    w<QPushButton>("bFtpResume")->click();
    connect(w<QListWidget>("lbFtp")->model(), &QAbstractItemModel::rowsInserted, wizard.get(), [&] {
      if (lines("lbFtp").size() != 1) return;  // "Connexion..."
      if (closeBox)
        wizard->close();
      else
        w<QPushButton>("bFtp")->click();
    });
    w<QPushButton>("bFtp")->click();
    QCOMPARE(dialogs.messages, QStringList(kUploadStopped));
    QVERIFY(!wizard->UploadFinished);
    QVERIFY(!fs::exists(served / "www"));
    if (closeBox) {
      QVERIFY(LoopUntil([&] { return !wizard->isVisible(); }));
      wizard.reset();
      QVERIFY(settings().find("Fini=0\n") != std::string::npos);
    } else {
      QVERIFY(w<QPushButton>("bFtp")->isEnabled());
      close();
    }
  }

  // A destination that cannot be made: the message, no result panel, and the way back.
  void destinationCannotBeMade() {
    const std::string ged = (root / "Famille.ged").string(), base = (root / "bloque").string();
    settingsToGenerate(ged, base);
    fs::create_directories(base);
    writeFile(base + "/A graver", "un fichier, pas un dossier");
    openAndGenerate();
    QCOMPARE(page(), "ts6");
    QCOMPARE(dialogs.messages,
             QStringList(QString::fromUtf8("Impossible de créer le dossier\"%1/A graver/\"")
                             .arg(QString::fromStdString(base))));
    QVERIFY(!w<QWidget>("Panel7")->isVisible());
    w<QPushButton>("bPrecedent")->click();
    QCOMPARE(page(), "ts5");
    close();
  }

  // The end of an upload as the wizard tells it: the box that checks the server sends again a
  // page lost there (without it the manifest is trusted), and a refused deletion fails the run
  // with its count.
  void uploadEndings_data() {
    QTest::addColumn<bool>("verify");
    QTest::addColumn<bool>("refuseDeletion");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("indexOnServer");
    const QString failed = QString::fromUtf8(
        "Il y a eu des erreurs durant le transfert (1 échec).\nSi vous relancez le logiciel, "
        "vous "
        "pourrez reprendre là ou vous êtes arrêté.");
    QTest::newRow("lost page, box ticked") << true << false << kUploadDone << true;
    QTest::newRow("lost page, box not ticked") << false << false << kUploadDone << false;
    QTest::newRow("refused deletion") << false << true << failed << false;
  }
  void uploadEndings() {
    QFETCH(bool, verify);
    QFETCH(bool, refuseDeletion);
    lignado::test::FtpServerOptions options;
    auto server = std::make_unique<lignado::test::FtpTestServer>(served, options);
    QVERIFY2(server->running(), server->error().c_str());
    fs::remove_all(served / "www");
    fs::remove_all(root / "fins");
    const std::string site = (root / "fins/Internet").string();
    lignado::test::makeSite(site);
    auto settingsWith = [&](const std::string& extra) {
      settingsToUpload((root / "fins").string(), server->port(), extra);
    };
    settingsWith("");
    resumeUpload({});
    QCOMPARE(dialogs.messages, QStringList(kUploadDone));
    close();

    const fs::path remote = served / "www/lignado";
    fs::remove(remote / "index.html");
    fs::remove(site + "/liste.html");
    if (refuseDeletion) {
      options.port = server->port();
      options.refuseDelete = {"liste.html"};
      server.reset();
      server = std::make_unique<lignado::test::FtpTestServer>(served, options);
      QVERIFY2(server->running(), server->error().c_str());
    }
    settingsWith(verify ? "Verify=1\n" : "");
    resumeUpload({});
    QCOMPARE(w<QCheckBox>("cbFtpVerify")->isChecked(), verify);
    QFETCH(QString, message);
    QCOMPARE(dialogs.messages.join("|"), refuseDeletion ? failed(message) : message);
    QTEST(fs::exists(remote / "index.html"), "indexOnServer");
    QCOMPARE(fs::exists(remote / "liste.html"), refuseDeletion);
    QCOMPARE(wizard->UploadFinished, !refuseDeletion);
    close();
    QVERIFY(settings().find(verify ? "Verify=1\n" : "Verify=0\n") != std::string::npos);
  }

  // Before generating into a folder that holds files no generation wrote, the wizard asks (No
  // by default: back to the choice of folder); a folder of an earlier generation is not asked.
  void foreignDestination_data() {
    QTest::addColumn<bool>("userFile");
    QTest::addColumn<bool>("generatedBefore");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("generated");
    QTest::newRow("missing folder") << false << false << false << false << true;
    QTest::newRow("user's file, No") << true << false << false << true << false;
    QTest::newRow("user's file, Yes") << true << false << true << true << true;
    QTest::newRow("earlier generation and user's file") << true << true << false << false << true;
  }
  void foreignDestination() {
    QFETCH(bool, userFile);
    QFETCH(bool, generatedBefore);
    QFETCH(bool, answer);
    const std::string ged = (root / "Famille.ged").string(), base = (root / "maison").string();
    const std::string folder = base + "/A graver/";
    fs::remove_all(base);
    settingsToGenerate(ged, base);
    auto generate = [&] { openAndGenerate(); };
    if (generatedBefore) {
      generate();
      close();
    }
    if (userFile) {
      fs::create_directories(folder);
      writeFile(folder + "impots.pdf", "%PDF-1.4 mes imp\xF4ts");
    }
    dialogs.answers = {answer};
    generate();
    QTEST(dialogs.questions.size() == 1, "asked");
    if (!dialogs.questions.isEmpty())
      QVERIFY(dialogs.questions[0].contains(QString::fromStdString(folder)));
    QTEST(page() == "ts6", "generated");
    QTEST(w<QWidget>("Panel7")->isVisible(), "generated");
    QTEST(fs::exists(folder + "index.html"), "generated");
    if (userFile) QCOMPARE(readFile(folder + "impots.pdf"), "%PDF-1.4 mes imp\xF4ts");
    close();
  }

  // A file that leaves nothing to publish keeps "Suivant" disabled on the import page, and the
  // label says why; a good file chosen then goes on.
  void refusedFile_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("label");  // its start; then the way back
    QTest::newRow("not GEDCOM") << QByteArray("Bonjour,\nvoici ma famille.\n")
                                << "Ce fichier n'est pas un fichier GEDCOM : ";
    QTest::newRow("no person") << QByteArray("0 HEAD\n1 CHAR ANSEL\n0 TRLR\n")
                               << QString::fromUtf8("Aucune personne à publier dans ce fichier.");
  }
  void refusedFile() {
    QFETCH(QByteArray, content);
    writeFile(root / "refuse.ged", content.toStdString());
    writeFile(root / "bon.ged", Family(2));
    open();
    next();
    chooseFile(root / "refuse.ged");
    next();
    QCOMPARE(page(), "ts3");
    QFETCH(QString, label);
    const QString said = w<QLabel>("Label7")->text();
    QVERIFY2(said.startsWith(label), qPrintable(said));
    QVERIFY2(said.endsWith(
                 QString::fromUtf8("\nCliquez sur \"Précédent\" pour choisir un autre fichier.")),
             qPrintable(said));
    QVERIFY(!w<QPushButton>("bSuivant")->isEnabled());
    w<QPushButton>("bPrecedent")->click();
    chooseFile(root / "bon.ged");
    next();
    QCOMPARE(w<QLabel>("Label7")->text(), "Nombre de personnes et d'unions : 2 / 0");
    QVERIFY(w<QPushButton>("bSuivant")->isEnabled());
    close();
  }

  // An upload that would delete most of the site online asks first, naming the count: No keeps
  // the files online and says the run is incomplete; Yes deletes them.
  void heldDeletions_data() {
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("left");
    QTest::newRow("No") << false
                        << QString::fromUtf8(
                               "Envoi incomplet : 26 suppressions en attente de confirmation.\n"
                               "Rien n'a été supprimé du site en ligne : ces suppressions seront "
                               "proposées de nouveau au prochain envoi.")
                        << 30;
    QTest::newRow("Yes") << true << kUploadDone << 4;
  }
  void heldDeletions() {
    QFETCH(bool, answer);
    lignado::test::FtpTestServer server(served);
    QVERIFY2(server.running(), server.error().c_str());
    fs::remove_all(served / "www");
    fs::remove_all(root / "grand");
    const fs::path site = root / "grand/Internet";
    fs::create_directories(site);
    for (int i = 0; i < 30; ++i)
      writeFile(site / ("p" + std::to_string(i) + ".html"), std::to_string(i));
    settingsToUpload((root / "grand").string(), server.port());
    resumeUpload({});
    QCOMPARE(dialogs.messages, QStringList(kUploadDone));
    close();
    for (int i = 0; i < 26; ++i) fs::remove(site / ("p" + std::to_string(i) + ".html"));
    resumeUpload({answer});
    QCOMPARE(dialogs.questions.size(), 1);
    QVERIFY(dialogs.questions[0].contains("supprimerait 26 fichiers"));
    QTEST(dialogs.messages.join("|"), "message");
    QTEST(CountFiles(served / "www/lignado"), "left");
    QCOMPARE(wizard->UploadFinished, answer);
    close();
  }

  // The wizard's texts in French as a French user writes it: the fixed words are there, and
  // none of the old misspellings is left on any page.
  void frenchTexts() {
    open();
    QStringList shown;
    for (QLabel* l : wizard->findChildren<QLabel*>()) shown << l->text();
    for (QAbstractButton* b : wizard->findChildren<QAbstractButton*>()) shown << b->text();
    const QString all = shown.join("\n");
    for (const char* right :
         {"Où placer mes pages sur Internet ?", "Où sauvegarder les pages ?",
          "à être :", "maintenant prêtes.", "pour sélectionner les", "Envoi des fichiers par FTP",
          "l'aurez arrêté", "à visualiser sur", "Créer un sous dossier (Recommandé)",
          "Envoyées sur Internet", "Gravées sur un CD-ROM"})
      QVERIFY2(all.contains(QString::fromUtf8(right)), right);
    for (const char* wrong :
         {"Ou placer", "Ou sauvegarder", " etre ", "prètes", "nnner", "fichier par FTP", "arreté",
          "visualier", "Créér", "Envoyés", "Gravés"})
      QVERIFY2(!all.contains(QString::fromUtf8(wrong)), wrong);
    close();
  }

  // SFTP through the wizard to a real sshd: an unknown host key is asked about with its
  // fingerprint (No: nothing sent), accepted once and kept with the account; a key other than
  // the one kept is shown with both fingerprints, refused by default, replaced only on Yes.
  void sftpUpload() {
    fs::create_directories(root / "ssh");
    lignado::test::SshTestServer server(root / "ssh");
    if (!server.running()) QSKIP(server.error().c_str());
    struct HomeBack {
      QByteArray home = qgetenv("HOME");
      ~HomeBack() { qputenv("HOME", home); }
    } homeBack;
    fs::create_directories(root / "maison");
    qputenv("HOME", QByteArray::fromStdString((root / "maison").string()));  // no known_hosts
    qunsetenv("SSH_AUTH_SOCK");                                              // the key file only
    const std::string site = (root / "sftp/Internet").string(),
                      remote = (root / "sftp-en-ligne").string();
    lignado::test::makeSite(site);
    const std::string server_ = "sftp://127.0.0.1:" + std::to_string(server.port()) + "=";
    auto settingsWith = [&](const std::string& more) {
      settingsToUpload((root / "sftp").string(), server.port(),
                       "Protocole=SFTP\nCleSSH=" + server.key("userkey").string() + "\n" + more, "",
                       false, lignado::test::SshTestServer::user(), remote);
    };
    struct Step {
      std::string trusted;  // the key kept before the upload
      std::deque<bool> answers;
      const char* asked;  // in the question
      bool done;
    };
    const std::string other = server.fingerprint("otherhost");
    const std::vector<Step> steps = {
        {"", {false}, "inconnue", false},
        {"", {true}, "inconnue", true},
        {other, {}, "a changé", false},
        {other, {true}, "a changé", true},
    };
    for (const Step& step : steps) {
      writeFile(site + "/index.html", "étape " + std::to_string(&step - steps.data()));
      settingsWith(step.trusted.empty() ? "" : "[TLS]\n" + server_ + step.trusted + "\n");
      resumeUpload(step.answers);
      QCOMPARE(w<QComboBox>("cbFtpProtocol")->currentIndex(), 1);
      QCOMPARE(dialogs.questions.size(), 1);
      QVERIFY2(dialogs.questions[0].contains(QString::fromUtf8(step.asked)),
               qPrintable(dialogs.questions[0]));
      QVERIFY(dialogs.questions[0].contains(QString::fromStdString(server.fingerprint())));
      QCOMPARE(dialogs.questions[0].contains(QString::fromStdString(other)), !step.trusted.empty());
      QCOMPARE(dialogs.messages, QStringList(step.done ? kUploadDone : failed(kUploadError)));
      QCOMPARE(fs::exists(tracePath()), !step.done);
      QCOMPARE(wizard->UploadFinished, step.done);
      close();
      const bool kept = settings().find(server_ + server.fingerprint() + "\n") != std::string::npos;
      QCOMPARE(kept, step.done);
      if (!step.trusted.empty() && !step.done)  // a changed key refused stays refused
        QVERIFY(settings().find(server_ + step.trusted + "\n") != std::string::npos);
      QVERIFY(settings().find("Protocole=SFTP\nCleSSH=" + server.key("userkey").string() + "\n") !=
              std::string::npos);
      const bool same = fs::exists(remote + "/lignado") &&
                        lignado::test::treeDifferences(site, remote + "/lignado").empty();
      QCOMPARE(same, step.done);
    }
  }

  // A refused password is said with the server's reply, and no resume is offered for it.
  void wrongPassword() {
    lignado::test::FtpTestServer server(served);
    QVERIFY2(server.running(), server.error().c_str());
    fs::remove_all(served / "www");
    const std::string site = (root / "refus/Internet").string();
    lignado::test::makeSite(site);
    settingsToUpload((root / "refus").string(), server.port(), "", "pas le bon", true);
    open();
    pages()->setCurrentIndex(7);  // straight to the upload, as after a generation
    w<QPushButton>("bFtp")->click();
    QCOMPARE(dialogs.messages.size(), 1);
    QVERIFY2(dialogs.messages[0].startsWith(
                 QString::fromUtf8("Identifiant ou mot de passe refusé par le serveur\n530 ")),
             qPrintable(dialogs.messages[0]));
    QVERIFY(!dialogs.messages[0].contains("reprendre"));
    QVERIFY(dialogs.messages[0].endsWith(QString::fromStdString(tracePath().string())));
    const std::string trace = readFile(tracePath());
    QVERIFY(trace.find("USER lignado") != std::string::npos);
    QVERIFY(trace.find("pas le bon") == std::string::npos);
    QCOMPARE(w<QComboBox>("cbFtpProtocol")->currentIndex(), 0);  // a file of before SFTP
    QVERIFY(wizard->UploadFinished);
    QVERIFY(!fs::exists(served / "www"));
    close();
    QVERIFY(settings().find("Fini=1\n") != std::string::npos);
  }

  // When no program opens the site or its folder, the wizard says so and where they are.
  void nothingOpensTheSite_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("said");
    QTest::newRow("browser") << "Button4"
                             << QString::fromUtf8(
                                    "Aucun navigateur n'a pu être ouvert. Ouvrez "
                                    "vous-même la page d'accueil :\n%1index.html");
    QTest::newRow("file manager") << "Button5"
                                  << QString::fromUtf8(
                                         "Aucun gestionnaire de fichiers n'a pu être ouvert. Les "
                                         "pages se trouvent dans le dossier :\n%1");
  }
  void nothingOpensTheSite() {
    QFETCH(QString, button);
    QFETCH(QString, said);
    const std::string ged = (root / "Famille.ged").string(), base = (root / "ouvrir").string();
    settingsToGenerate(ged, base);
    openAndGenerate();
    QCOMPARE(page(), "ts6");
    dialogs.openWorks = false;
    w<QPushButton>(button.toLatin1().constData())->click();
    QCOMPARE(dialogs.messages, QStringList(said.arg(QString::fromStdString(base + "/A graver/"))));
    close();
  }

  void hostAndPort_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("defaultPort");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("name") << "ftp.example.com" << 21 << true << "ftp.example.com" << 21;
    QTest::newRow("port") << "127.0.0.1:2121" << 21 << true << "127.0.0.1" << 2121;
    QTest::newRow("IPv6") << "::1" << 21 << true << "::1" << 21;
    QTest::newRow("IPv6 port") << "[::1]:990" << 21 << true << "::1" << 990;
    QTest::newRow("bad port") << "h:21x" << 21 << false << "h" << 21;
    QTest::newRow("port 0") << "h:0" << 21 << false << "h" << 21;
    QTest::newRow("SFTP name") << "sftp.example.com" << 22 << true << "sftp.example.com" << 22;
    QTest::newRow("SFTP typed port") << "h:2222" << 22 << true << "h" << 2222;
    QTest::newRow("SFTP IPv6") << "[::1]" << 22 << true << "::1" << 22;
    QTest::newRow("big port") << "[::1]:65536" << 21 << false << "::1" << 21;
  }
  void hostAndPort() {
    QFETCH(QString, field);
    std::string host;
    int port = 0;
    QFETCH(int, defaultPort);
    QTEST(SplitHostPort(field.toStdString(), host, port, defaultPort), "ok");
    QTEST(QString::fromStdString(host), "host");
    QTEST(port, "port");
  }
};

LIGNADO_UI_TEST_MAIN(AssistantTest)
#include "uAssistant_test.moc"
