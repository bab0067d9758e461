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
using lignado::test::WaitLoaded;
using lignado::test::writeFile;
using lignado::ui::ReferenceOfTarget;
using lignado::ui::TfmWeb;

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
  // Clicks an element of the page and waits for the page its link leads to.
  bool click(const QString& id) {
    QSignalSpy loaded(wb->page(), &QWebEnginePage::loadFinished);
    RunJs(wb, "document.getElementById('" + id + "').click()");
    return WaitLoaded(loaded);
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
    QSignalSpy loaded(wb->page(), &QWebEnginePage::loadFinished);
    web->show();
    QVERIFY(WaitLoaded(loaded));
  }

  // The home page shows with its own style sheet; a link with parameters shows that page
  // run with them.
  void showsIndexThenTheLinkedPage() {
    QCOMPARE(text(), QString::fromUtf8("Accueil\u00A0\u0081"));
    QCOMPARE(RunJs(wb, "getComputedStyle(document.getElementById('t')).color").toString(),
             "rgb(1, 2, 3)");
    QVERIFY(click("p"));
    QCOMPARE(text(), QString::fromUtf8("Adèle DURAND été"));
    QCOMPARE(web->findChild<QLabel*>("Label1")->text(), QString::fromUtf8("personne|id=2&x=été"));
    QCOMPARE(web->CurrentTemplateFile, dir + "personne.kshtml");
    QVERIFY(web->findChild<QPlainTextEdit*>("mCode")->toPlainText().contains("champ($id"));
    QVERIFY(click("i"));  // "Index" finds index.kshtml whatever the case
    QCOMPARE(text(), QString::fromUtf8("Accueil\u00A0\u0081"));
  }

  // A web address is taken as a page name: the message, and the page stays.
  void webAddressIsNotFound() {
    dialogs.messages.clear();
    QUrl before = wb->url();
    RunJs(wb, "document.getElementById('w').click()");
    QVERIFY(lignado::test::LoopUntil([&] { return !dialogs.messages.isEmpty(); }));
    QCOMPARE(dialogs.messages, QStringList(QString::fromStdString(
                                   "Fichier \"" + dir + "http://exemple.fr/.kshtml\"introuvable")));
    QTest::qWait(200);
    QCOMPARE(wb->url(), before);
    QCOMPARE(text(), QString::fromUtf8("Accueil\u00A0\u0081"));
    QVERIFY(web->CurrentTemplateFile.empty());
  }

  // F9 saves the code area in Windows-1252 with CR LF and shows the page again; hiding the
  // code area forgets the page until a link is followed.
  void saveWithF9() {
    QVERIFY(click("p"));
    QVERIFY(click("i"));
    auto* cbCode = web->findChild<QCheckBox*>("cbCode");
    auto* mCode = web->findChild<QPlainTextEdit*>("mCode");
    cbCode->click();
    QVERIFY(mCode->isVisible());
    QCOMPARE(web->findChild<QLabel*>("Label1")->text(), "Index");  // as the link wrote it
    QSignalSpy loaded(wb->page(), &QWebEnginePage::loadFinished);
    pressF9();
    QVERIFY(WaitLoaded(loaded));
    QCOMPARE(readFile(dir + "index.kshtml"), std::string(kIndex));  // unchanged bytes

    // The plain text would turn the non-breaking space into a blank.
    QString code = mCode->document()->toRawText().replace(QChar::ParagraphSeparator, '\n');
    mCode->setPlainText(code.replace("Accueil", QString::fromUtf8("Modifié")) + "\n#\n$a\n#");
    loaded.clear();
    pressF9();
    QVERIFY(WaitLoaded(loaded));
    QCOMPARE(text(), QString::fromUtf8("Modifié\u00A0\u0081"));
    QVERIFY(readFile(dir + "index.kshtml").find("Modifi\xE9\xA0\x81</p>\r\n") != std::string::npos);
    QVERIFY(RunJs(wb, "document.body.innerText").toString().contains("*** Syntax Error ***"));

    cbCode->click();
    cbCode->click();
    QVERIFY(web->findChild<QLabel*>("Label1")->text().isEmpty());
    std::string saved = readFile(dir + "index.kshtml");
    mCode->setPlainText("lost");
    pressF9();
    QTest::qWait(200);
    QCOMPARE(readFile(dir + "index.kshtml"), saved);
    QVERIFY(click("p"));
    mCode->setPlainText(mCode->toPlainText() + "\n<p>ajout</p>");
    loaded.clear();
    pressF9();
    QVERIFY(WaitLoaded(loaded));
    QVERIFY(RunJs(wb, "document.body.innerText").toString().contains("ajout"));
    writeFile(dir + "index.kshtml", kIndex);
    writeFile(dir + "personne.kshtml", kPersonne);
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
