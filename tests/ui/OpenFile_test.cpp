// The wizard started with a GEDCOM file (a desktop's "Open with"): it opens on the file page
// with that file listed and selected, as if chosen with "Parcourir...".
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <filesystem>

#include "TestSupport.h"
#include "UiTest.h"
#include "data/Base.h"
#include "ui/uAssistant.h"

using lignado::test::FakeDialogs;
using lignado::test::ItemTexts;
using lignado::test::LoopUntil;
using lignado::test::readFile;
using lignado::test::writeFile;
using lignado::ui::TfmWebAssistant;
namespace fs = std::filesystem;

class OpenFileTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir tmp;
  fs::path root, exe;
  FakeDialogs dialogs;
  std::unique_ptr<TfmWebAssistant> wizard;

  template <typename W>
  W* w(const char* name) {
    W* found = wizard->findChild<W*>(name);
    if (!found) qFatal("no control %s", name);
    return found;
  }
  QString page() { return w<QStackedWidget>("PageControl1")->currentWidget()->objectName(); }
  void open(const fs::path& file) {
    lignado::ui::WizardOptions options{exe.string() + "/", ""};
    options.openFile = file.string();
    wizard = std::make_unique<TfmWebAssistant>(dialogs, options);
    wizard->show();
  }
  void close() {
    wizard->close();
    QVERIFY(LoopUntil([&] { return !wizard->isVisible(); }));
    wizard.reset();
  }
  QStringList files() { return ItemTexts(w<QListWidget>("lbFichier")); }

 private slots:
  void initTestCase() {
    root = tmp.path().toStdString();
    exe = root / "programme";
    fs::create_directories(exe);
    writeFile(root / "a.ged", "0 HEAD\n0 @I1@ INDI\n1 NAME Jean /Ancien/\n0 TRLR\n");
    writeFile(root / "\xC3\xA9t\xC3\xA9.ged",
              "0 HEAD\n1 CHAR UTF-8\n0 @I1@ INDI\n1 NAME Zo\xC3\xA9 /Nouvel/\n0 @I2@ INDI\n"
              "1 NAME Luc /Nouvel/\n0 TRLR\n");
  }

  // Among the recent files, a new one is added and selected, a known one (in any letter case)
  // selected; the offer to resume the last upload goes, as when the file page is entered;
  // "Suivant" imports that file, and the settings remember it.
  void opensOnTheFilePageWithTheFileChosen() {
    const std::string a = (root / "a.ged").string(),
                      ete = (root / "\xC3\xA9t\xC3\xA9.ged").string();
    const struct {
      fs::path opened;
      QStringList listed;
      int selected;
    } cases[] = {
        {ete, {QString::fromStdString(a), QString::fromStdString(ete)}, 1},
        {root / "A.GED", {QString::fromStdString(a)}, 0},
    };
    for (const auto& c : cases) {
      writeFile(exe / "lignado.ini", "[Recent]\nLast=" + a + "\nfile0=" + a + "\n[FTP]\nFini=0\n");
      open(c.opened);
      QCOMPARE(page(), "ts2");
      QCOMPARE(files(), c.listed);
      QCOMPARE(w<QListWidget>("lbFichier")->currentRow(), c.selected);
      QVERIFY(w<QListWidget>("lbFichier")->currentItem()->isSelected());
      QVERIFY(!w<QPushButton>("bFtpResume")->isVisible());
      QVERIFY(w<QPushButton>("bSuivant")->isEnabled());
      QVERIFY(w<QPushButton>("bPrecedent")->isVisible());
      close();
    }
    open(ete);
    w<QPushButton>("bSuivant")->click();
    QVERIFY(LoopUntil([&] { return page() == "ts3" && !wizard->Busy(); }));
    QCOMPARE(wizard->Database().PersonCount, 2);
    close();
    QVERIFY(readFile(exe / "lignado.ini").find("Last=" + ete + "\n") != std::string::npos);
  }
};

LIGNADO_UI_TEST_MAIN(OpenFileTest)
#include "OpenFile_test.moc"
