#include "ui/uWeb.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include "TestSupport.h"
#include "UiTest.h"
#include "data/Base.h"

using lignado::TBD;
using lignado::test::FakeDialogs;
using lignado::test::readFile;
using lignado::test::RunJs;
using lignado::test::writeFile;
using lignado::ui::ReferenceOfTarget;
using lignado::ui::TfmWeb;
using lignado::ui::UserCopyOfTemplate;

namespace {

// Home page with a link that carries parameters, a web address and a style sheet of its own;
// a non-breaking space and an undefined byte that a save must keep.
const char kIndex[] =
    "<html><head><meta charset=\"windows-1252\"><link rel=\"stylesheet\" href=\"style.css\">"
    "</head><body>\r\n"
    "<p id=\"t\">Accueil\xA0\x81</p>\r\n"
    "<a id=\"p\" href=\"personne|id=2&amp;x=\xE9t\xE9\">P</a>\r\n"
    "<a id=\"w\" href=\"http://exemple.fr/\">W</a>\r\n"
    "</body></html>\r\n";
const char kPersonne[] =
    "<html><head><meta charset=\"windows-1252\"></head><body>\r\n"
    "#\r\n"
    "$nom = champ($id, \"<pr\xE9nom> <nom>\")\r\n"
    "echo \"<p id='t'>$nom $x</p>\"\r\n"
    "#\r\n"
    "<a id=\"i\" href=\"Index\">I</a>\r\n"
    "</body></html>\r\n";

const QString kHome = QString::fromUtf8("Accueil\u00A0\u0081");

}  // namespace

class WebTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir tmp;
  std::string dir;
  TBD db;
  FakeDialogs dialogs;
  std::unique_ptr<TfmWeb> web;
  QWebEngineView* wb = nullptr;

  QString text() { return RunJs(wb, "document.getElementById('t').innerText").toString(); }
  // Clicks an element of the page; false when the page has none of that id.
  bool click(const QString& id) {
    return RunJs(wb, "(e => e ? (e.click(), true) : false)(document.getElementById('" + id + "'))")
        .toBool();
  }
  // Waits until the page says what is expected. The content is watched, not the load signals:
  // a load that follows a cancelled navigation at once may end without its own signal.
  bool shows(const std::function<bool()>& expected) {
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
      if (expected()) return true;
      lignado::test::LoopUntil([] { return false; }, 5);
    }
    return false;
  }
  bool shows(const QString& marked) {
    return shows([&] { return text() == marked; });
  }
  bool bodyHas(const QString& part) {
    return shows([&] { return RunJs(wb, "document.body.innerText").toString().contains(part); });
  }
  void pressF9() { QTest::keyClick(web->findChild<QPlainTextEdit*>("mCode"), Qt::Key_F9); }

 private slots:
  void initTestCase() {
    dir = tmp.path().toStdString() + "/";
    writeFile(dir + "index.kshtml", kIndex);
    writeFile(dir + "personne.kshtml", kPersonne);
    writeFile(dir + "style.css", "#t { color: rgb(1, 2, 3) }");
    for (const char* name : {"MARTIN", "DURAND"}) db.SetSurname(db.NewPerson(), name);
    db.SetGivenNames(2, "Ad\xE8le");
    web = std::make_unique<TfmWeb>(nullptr, "Lignado V1.1", dir, db, dialogs, nullptr);
    wb = web->findChild<QWebEngineView*>("wb");
    web->show();
    QVERIFY(shows(kHome));
  }

  // The home page shows with its own style sheet; a link with parameters shows that page
  // run with them.
  void showsIndexThenTheLinkedPage() {
    QCOMPARE(RunJs(wb, "getComputedStyle(document.getElementById('t')).color").toString(),
             "rgb(1, 2, 3)");
    QVERIFY(click("p"));
    QVERIFY(shows(QString::fromUtf8("Adèle DURAND été")));
    QCOMPARE(web->findChild<QLabel*>("Label1")->text(), QString::fromUtf8("personne|id=2&x=été"));
    QCOMPARE(web->CurrentTemplateFile, dir + "personne.kshtml");
    QVERIFY(web->findChild<QPlainTextEdit*>("mCode")->toPlainText().contains("champ($id"));
    QVERIFY(click("i"));  // "Index" finds index.kshtml whatever the case
    QVERIFY(shows(kHome));
  }

  // A web address is taken as a page name: the message, and the page stays.
  void webAddressIsNotFound() {
    dialogs.messages.clear();
    QUrl before = wb->url();
    QVERIFY(click("w"));
    QVERIFY(lignado::test::LoopUntil([&] { return !dialogs.messages.isEmpty(); }));
    QCOMPARE(dialogs.messages, QStringList(QString::fromStdString(
                                   "Fichier \"" + dir + "http://exemple.fr/.kshtml\"introuvable")));
    QTest::qWait(200);
    QCOMPARE(wb->url(), before);
    QCOMPARE(text(), kHome);
    QVERIFY(web->CurrentTemplateFile.empty());
  }

  // F9 saves the code area in Windows-1252 with CR LF and shows the page again; hiding the
  // code area forgets the page until a link is followed.
  void saveWithF9() {
    QVERIFY(click("p"));
    QVERIFY(shows(QString::fromUtf8("Adèle DURAND été")));
    QVERIFY(click("i"));
    QVERIFY(shows(kHome));
    auto* cbCode = web->findChild<QCheckBox*>("cbCode");
    auto* mCode = web->findChild<QPlainTextEdit*>("mCode");
    cbCode->click();
    QVERIFY(mCode->isVisible());
    QCOMPARE(web->findChild<QLabel*>("Label1")->text(), "Index");  // as the link wrote it
    pressF9();
    QCOMPARE(readFile(dir + "index.kshtml"), std::string(kIndex));  // unchanged bytes

    // The plain text would turn the non-breaking space into a blank.
    QString code = mCode->document()->toRawText().replace(QChar::ParagraphSeparator, '\n');
    mCode->setPlainText(code.replace("Accueil", QString::fromUtf8("Modifié")) + "\n#\n$a\n#");
    pressF9();
    QVERIFY(shows(QString::fromUtf8("Modifié\u00A0\u0081")));
    QVERIFY(readFile(dir + "index.kshtml").find("Modifi\xE9\xA0\x81</p>\r\n") != std::string::npos);
    QVERIFY(bodyHas("*** Syntax Error ***"));

    cbCode->click();
    cbCode->click();
    QVERIFY(web->findChild<QLabel*>("Label1")->text().isEmpty());
    std::string saved = readFile(dir + "index.kshtml");
    mCode->setPlainText("lost");
    pressF9();
    QTest::qWait(200);
    QCOMPARE(readFile(dir + "index.kshtml"), saved);
    QVERIFY(click("p"));
    QVERIFY(shows(QString::fromUtf8("Adèle DURAND été")));
    mCode->setPlainText(mCode->toPlainText() + "\n<p>ajout</p>");
    pressF9();
    QVERIFY(bodyHas("ajout"));
    writeFile(dir + "index.kshtml", kIndex);
    writeFile(dir + "personne.kshtml", kPersonne);
  }

  // An installed template is copied once for the user, writable, and the copy is kept.
  void readOnlyTemplateIsCopied() {
    namespace fs = std::filesystem;
    fs::path shipped = dir + "installe/demo";
    fs::create_directories(shipped / "images");
    writeFile(shipped / "index.kshtml", "accueil");
    writeFile(shipped / "images/fond.png", "png");
    fs::permissions(shipped / "index.kshtml", fs::perms::owner_read | fs::perms::group_read);
    QByteArray oldData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir + "donnees"));
    std::string reason;
    auto copy = UserCopyOfTemplate(shipped.string() + "/", reason);
    QVERIFY(copy);
    QCOMPARE(copy->string(), dir + "donnees/lignado/modele/demo");
    QCOMPARE(readFile(*copy / "images/fond.png"), "png");
    QVERIFY((fs::status(*copy / "index.kshtml").permissions() & fs::perms::owner_write) !=
            fs::perms::none);
    writeFile(*copy / "index.kshtml", "modifi\xE9");
    QCOMPARE(UserCopyOfTemplate(shipped, reason), copy);
    QCOMPARE(readFile(*copy / "index.kshtml"), "modifi\xE9");
    // No place for a copy: a file stands where the folder should be.
    writeFile(dir + "fichier", "");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir + "fichier"));
    QVERIFY(!UserCopyOfTemplate(shipped, reason));
    QCOMPARE(reason, "Impossible de copier le mod\xE8le dans le dossier \"" + dir +
                         "fichier/lignado/modele/demo\"");
    qputenv("XDG_DATA_HOME", oldData);
  }

  void referenceOfTarget_data() {
    QTest::addColumn<QUrl>("target");
    QTest::addColumn<QByteArray>("reference");
    QTest::newRow("scratch") << QUrl("file:///m/classique/temp.html") << QByteArray("temp.html");
    QTest::newRow("bar") << QUrl("file:///m/personne%7Cid=3") << QByteArray("personne|id=3");
    QTest::newRow("UTF-8") << QUrl("file:///m/p%7Cn=%C3%A9%E2%82%AC%C5%82")
                           << QByteArray("p|n=\xE9\x80&#322;");
    QTest::newRow("query") << QUrl("file:///m/p%7Ca=1?b=2") << QByteArray("p|a=1?b=2");
    QTest::newRow("web") << QUrl("http://exemple.fr/a%20b") << QByteArray("http://exemple.fr/a b");
  }
  void referenceOfTarget() {
    QFETCH(QUrl, target);
    QFETCH(QByteArray, reference);
    QCOMPARE(QByteArray::fromStdString(ReferenceOfTarget(target)), reference);
  }

  void cleanupTestCase() { web.reset(); }
};

LIGNADO_UI_TEST_MAIN(WebTest)
#include "uWeb_test.moc"
