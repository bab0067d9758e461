#include "ui/uWeb.h"

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>

#include "TestSupport.h"
#include "UiTest.h"
#include "data/Base.h"
#include "gedcom/GedcomIn.h"

using lignado::LivingMode;
using lignado::TBD;
using lignado::test::FakeDialogs;
using lignado::test::ItemTexts;
using lignado::test::readFile;
using lignado::test::RunJs;
using lignado::test::writeFile;
using lignado::ui::EditableTemplate;
using lignado::ui::ReferenceOfPageFile;
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

// A page with an include whose tag is misspelt, then an if without comparator (which ends it).
const char kErreurs[] =
    "<html><body><p id=\"t\">erreurs</p>\r\n#\r\necho include(Inclus)\r\nif $n = 1\r\n"
    "endif\r\n#\r\n</body></html>\r\n";
const char kInclus[] = "#\r\n// an include\r\n  echo champ(1, \"<profesion>\")\r\n#\r\n";

const QString kHome = QString::fromUtf8("Accueil\u00A0\u0081");

// Two pages taller than the view, the second one with an anchor far down.
const char kLong[] =
    "<html><body>\r\n#\r\necho \"<p id='t'>long $x</p>\"\r\n#\r\n"
    "<div style=\"height:4000px\"></div>\r\n"
    "<a id=\"n\" href=\"long|x=2\">N</a> <a id=\"a\" href=\"long|x=3#bas\">A</a>\r\n"
    "<div style=\"height:4000px\"></div><p id=\"bas\">bas</p>\r\n"
    "<div style=\"height:4000px\"></div></body></html>\r\n";

// A living woman born in Quimper, a man dead long ago with his portrait, in a folder of photos.
const char kFamily[] =
    "0 HEAD\n1 CHAR UTF-8\n"
    "0 @I1@ INDI\n1 NAME Jeanne /Vivant/\n1 SEX F\n1 BIRT\n2 DATE 3 MAR 1990\n2 PLAC Quimper\n"
    "1 OBJE\n2 FILE photos/jeanne.png\n"
    "0 @I2@ INDI\n1 NAME Louis /Ancien/\n1 SEX M\n1 BIRT\n2 DATE 1 JAN 1800\n2 PLAC Brest\n"
    "1 DEAT\n2 DATE 1870\n1 OBJE\n2 FILE photos/louis.png\n"
    "0 TRLR\n";

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

  TBD family;
  std::string shipped, familyDir;
  // A preview of the shipped template on the family, shown, at its home page.
  std::unique_ptr<TfmWeb> openSite(LivingMode mode) {
    auto site = std::make_unique<TfmWeb>(nullptr, "Lignado", shipped, family, dialogs, nullptr,
                                         mode, lignado::MediaRules{{familyDir}});
    wb = site->findChild<QWebEngineView*>("wb");
    site->show();
    return site;
  }
  QString body() { return RunJs(wb, "document.body ? document.body.innerText : ''").toString(); }
  int scrollY() { return RunJs(wb, "window.scrollY").toInt(); }

 private slots:
  void initTestCase() {
    dir = tmp.path().toStdString() + "/";
    writeFile(dir + "index.kshtml", kIndex);
    writeFile(dir + "personne.kshtml", kPersonne);
    writeFile(dir + "style.css", "#t { color: rgb(1, 2, 3) }");
    for (const char* name : {"MARTIN", "DURAND"}) db.SetSurname(db.NewPerson(), name);
    db.SetGivenNames(2, "Ad\xE8le");
    writeFile(dir + "long.kshtml", kLong);
    namespace fs = std::filesystem;
    shipped = dir + "classique/";
    fs::copy(fs::path(LIGNADO_SOURCE_DIR) / "modele/classique", shipped);
    familyDir = dir + "famille";
    fs::create_directories(familyDir + "/photos");
    writeFile(familyDir + "/arbre.ged", kFamily);
    QImage portrait(40, 30, QImage::Format_RGB32);
    portrait.fill(Qt::darkRed);
    for (const char* name : {"jeanne", "louis"})
      QVERIFY(portrait.save(QString::fromStdString(familyDir + "/photos/" + name + ".png")));
    lignado::THead head;
    QVERIFY(!lignado::ImportGedcom(family, familyDir + "/arbre.ged", head, lignado::kModeAnsel,
                                   false, false, true, nullptr)
                 .failed);
    web = std::make_unique<TfmWeb>(nullptr, "Lignado V1.1", dir, db, dialogs, nullptr);
    wb = web->findChild<QWebEngineView*>("wb");
    web->show();
    QVERIFY(shows(kHome));
  }

  // The home page shows with its own style sheet; a link with parameters shows that page
  // run with them.
  void showsIndexThenTheLinkedPage() {
    // The style sheet may come after the text.
    QVERIFY(shows([&] {
      return RunJs(wb, "getComputedStyle(document.getElementById('t')).color").toString() ==
             "rgb(1, 2, 3)";
    }));
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

  // A followed link opens its page at the top; an anchor of the link still scrolls to it.
  void followedPageOpensAtItsTop() {
    web->ShowPage("long", "x=1");
    QVERIFY(shows("long 1"));
    RunJs(wb, "window.scrollTo(0, 3000)");
    QVERIFY(shows([&] { return scrollY() == 3000; }));
    QVERIFY(click("n"));
    QVERIFY(shows("long 2"));
    QCOMPARE(scrollY(), 0);
    QVERIFY(click("a"));
    QVERIFY(shows("long 3"));
    QVERIFY(shows([&] { return scrollY() > 6000; }));
    QCOMPARE(web->findChild<QLabel*>("Label1")->text(), "long|x=3");
  }

  // The person page of the shipped template under each living mode: the living woman's birth
  // shows only when everything is published, her portrait likewise; the dead man's always.
  void personPages_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("person");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("shown");  // birth and picture
    QTest::newRow("hidden") << int(LivingMode::Hide) << 1 << "Jeanne" << false;
    QTest::newRow("anonymous") << int(LivingMode::Anonymous) << 1 << "Personne vivante" << false;
    QTest::newRow("published") << int(LivingMode::Publish) << 1 << "Jeanne" << true;
    QTest::newRow("dead") << int(LivingMode::Hide) << 2 << "Louis" << true;
  }
  void personPages() {
    QFETCH(int, mode);
    QFETCH(int, person);
    QFETCH(QString, name);
    QFETCH(bool, shown);
    auto site = openSite(LivingMode(mode));
    QVERIFY(shows([&] { return body().contains("Accueil"); }));
    site->ShowPage("personne", "n=" + std::to_string(person));
    QVERIFY(shows([&] { return RunJs(wb, "document.querySelector('.fiche') != null").toBool(); }));
    QVERIFY(body().contains(name));
    const QString place = person == 1 ? "Quimper" : "Brest";
    QCOMPARE(body().contains(place), shown);
    QCOMPARE(body().contains(person == 1 ? "1990" : "1800"), shown);
    // A picture that fails removes itself: wait for it to load or go.
    const QString picture =
        "(i => i ? (i.complete ? i.naturalWidth : -1) : 0)(document.querySelector('img'))";
    QVERIFY(shows([&] { return RunJs(wb, picture).toInt() >= 0; }));
    QCOMPARE(RunJs(wb, picture).toInt() > 0, shown);
    // The template folder gets neither the scratch page nor the copies.
    QVERIFY(!std::filesystem::exists(shipped + "medias"));
    QVERIFY(!std::filesystem::exists(shipped + "temp.html"));
  }

  // The search page runs its data scripts: a name finds the person, whose link opens the page.
  void searchFindsAPerson() {
    auto site = openSite(LivingMode::Hide);
    QVERIFY(shows([&] { return body().contains("Accueil"); }));
    dialogs.messages.clear();
    site->ShowPage("recherche", "");
    QVERIFY(shows([&] { return RunJs(wb, "typeof lignadoPersonnes").toString() == "object"; }));
    RunJs(wb,
          "(q => { q.value = 'louis anc'; q.dispatchEvent(new Event('input')); })"
          "(document.getElementById('q'))");
    // Spaces as the template's typography makes them: only the words count.
    QVERIFY(shows([&] {
      return RunJs(wb, "document.getElementById('resultats').innerText")
                 .toString()
                 .simplified()
                 .replace(QChar(0xA0), ' ')
                 .replace(QChar(0x202F), ' ') == QString::fromUtf8("Louis ANCIEN ° 1800 † 1870");
    }));
    RunJs(wb, "document.querySelector('#resultats a').click()");
    QVERIFY(shows([&] { return RunJs(wb, "document.title").toString().contains("Louis"); }));
    QCOMPARE(site->findChild<QLabel*>("Label1")->text(), "personne|n=2");
    QVERIFY(dialogs.messages.isEmpty());
  }

  // The person page's link to the charts shows the chart page centred on the person, drawn from
  // the data scripts the preview writes.
  void chartFromThePersonPage() {
    auto site = openSite(LivingMode::Hide);
    QVERIFY(shows([&] { return body().contains("Accueil"); }));
    dialogs.messages.clear();
    site->ShowPage("personne", "n=2");
    QVERIFY(shows([&] { return RunJs(wb, "document.title").toString().contains("Louis"); }));
    RunJs(wb, "document.querySelector('a[href^=\"arbre.html#\"]').click()");
    QVERIFY(shows([&] {
      return RunJs(wb, "document.body.getAttribute('data-centre')").toString() == "2" &&
             RunJs(wb, "document.querySelectorAll('#arbre a.case').length").toInt() == 1;
    }));
    QCOMPARE(site->findChild<QLabel*>("Label1")->text(), "arbre");
    QVERIFY(dialogs.messages.isEmpty());
  }

  // Escape closes the preview while the web page has the focus.
  void escapeFromThePage() {
    auto site = openSite(LivingMode::Hide);
    QVERIFY(shows([&] { return body().contains("Accueil"); }));
    site->activateWindow();
    wb->setFocus();
    QWidget* focused = QApplication::focusWidget();
    QVERIFY(focused && (focused == wb || wb->isAncestorOf(focused)));
    QTest::keyClick(focused, Qt::Key_Escape);
    QVERIFY(lignado::test::LoopUntil([&] { return !site->isVisible(); }));
  }

  // F9 leaves the editor's cursor, selection and scroll where they were.
  void f9KeepsTheEditorsPlace() {
    auto site = openSite(LivingMode::Hide);
    QVERIFY(shows([&] { return body().contains("Accueil"); }));
    site->findChild<QCheckBox*>("cbCode")->click();
    site->ShowPage("personne", "n=2");
    site->findChild<QLabel*>("Label1")->setText("personne|n=2");
    auto* mCode = site->findChild<QPlainTextEdit*>("mCode");
    // A line wider than the editor, whatever the template's own lines are.
    QTextCursor end(mCode->document());
    end.movePosition(QTextCursor::End);
    end.insertText("\n<!--" + QString(300, 'x') + "-->");
    QTextCursor cursor = mCode->textCursor();
    cursor.setPosition(900);
    cursor.setPosition(930, QTextCursor::KeepAnchor);
    mCode->setTextCursor(cursor);
    QScrollBar* v = mCode->verticalScrollBar();
    QVERIFY(v->maximum() > 20);
    v->setValue(20);
    mCode->horizontalScrollBar()->setValue(7);
    QCOMPARE(mCode->horizontalScrollBar()->value(), 7);
    QTest::keyClick(mCode, Qt::Key_F9);
    QCOMPARE(mCode->textCursor().anchor(), 900);
    QCOMPARE(mCode->textCursor().position(), 930);
    QCOMPARE(v->value(), 20);
    QCOMPARE(mCode->horizontalScrollBar()->value(), 7);
  }

  void referenceOfPageFile_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("reference");
    QTest::newRow("person") << "personne_n_3.html"
                            << "personne|n=3";
    QTest::newRow("no parameter") << "personnes.html"
                                  << "personnes";
    QTest::newRow("longest name") << "alphabet_page_l_A&p_2.html"
                                  << "alphabet_page|l=A&p=2";
    QTest::newRow("two") << "nom_n_3&x_a_b.HTML"
                         << "nom|n=3&x=a_b";
    QTest::newRow("no template") << "inconnu_n_3.html"
                                 << "";
    QTest::newRow("not a page") << "personne_n_3.js"
                                << "";
    QTest::newRow("folder") << "a/personne.html"
                            << "";
    QTest::newRow("reference") << "personne|n=3.html"
                               << "";
  }
  void referenceOfPageFile() {
    QFETCH(QString, file);
    QFETCH(QString, reference);
    QCOMPARE(QString::fromStdString(ReferenceOfPageFile(file.toStdString(), shipped)), reference);
  }

  // The page's problems are listed under it, an include's too; a click opens the file at the
  // place, F9 saves that file and runs the page again, and a mended page lists none.
  void problemsListedAndOpened() {
    writeFile(dir + "erreurs.kshtml", kErreurs);
    writeFile(dir + "inclus.kshtml", kInclus);
    auto* list = web->findChild<QListWidget*>("lbProblemes");
    auto* mCode = web->findChild<QPlainTextEdit*>("mCode");
    web->findChild<QCheckBox*>("cbCode")->setChecked(false);
    web->ShowPage("erreurs", "");
    QVERIFY(shows("erreurs"));
    QVERIFY(list->isVisible());
    QCOMPARE(ItemTexts(list),
             QStringList({"Inclus.kshtml:3:18 : Balise inconnue : <profesion>",
                          QString::fromUtf8("erreurs.kshtml:4:1 : Il n'y a pas de comparateur dans "
                                            "le if : il faut == ou <> entre ses deux côtés.")}));
    struct Case {
      int row;
      std::string file;
      int block, column;
    } cases[] = {{0, "inclus.kshtml", 2, 17}, {1, "erreurs.kshtml", 3, 0}};
    for (const Case& c : cases) {
      list->itemClicked(list->item(c.row));
      QCOMPARE(web->CurrentTemplateFile, dir + c.file);
      QVERIFY(mCode->isVisible());
      QCOMPARE(mCode->textCursor().blockNumber(), c.block);
      QCOMPARE(mCode->textCursor().positionInBlock(), c.column);
    }
    QCOMPARE(web->findChild<QLabel*>("Label1")->text(), "erreurs");
    list->itemClicked(list->item(0));
    mCode->setPlainText(mCode->toPlainText().replace("profesion", "profession"));
    pressF9();
    std::string mended = kInclus;
    QCOMPARE(readFile(dir + "inclus.kshtml"),
             mended.replace(mended.find("profesion"), 9, "profession"));
    QVERIFY(shows([&] { return list->count() == 1; }));
    QCOMPARE(web->CurrentTemplateFile, dir + "inclus.kshtml");  // the include stays open
    web->ShowPage("index", "");
    QVERIFY(shows(kHome));
    QVERIFY(!list->isVisible());
  }

  // A template is edited in place only in the user's own folders; a shipped one, even writable
  // (as for root), is copied for the user.
  void editableTemplate_data() {
    QTest::addColumn<QString>("exe");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("copied");
    QTest::newRow("user's") << "editable/build"
                            << "donnees/lignado/modele/demo" << false;
    QTest::newRow("beside a build") << "editable/build"
                                    << "editable/build/modele/demo" << false;
    QTest::newRow("installed share") << "editable/usr/bin"
                                     << "editable/usr/share/lignado/modele/demo" << true;
    QTest::newRow("beside an installed program") << "editable/usr/bin"
                                                 << "editable/usr/bin/modele/demo" << true;
  }
  void editableTemplate() {
    namespace fs = std::filesystem;
    QFETCH(QString, exe);
    QFETCH(QString, folder);
    QFETCH(bool, copied);
    fs::remove_all(dir + "editable");
    fs::remove_all(dir + "donnees");
    fs::create_directories(dir + "editable/build");
    fs::create_directories(dir + "editable/usr/bin");
    fs::create_directories(dir + "editable/usr/share/lignado/modele");
    const fs::path source = dir + folder.toStdString();
    fs::create_directories(source);
    writeFile(source / "index.kshtml", "accueil");
    QByteArray oldData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir + "donnees"));
    bool wasCopied = !copied;
    std::string reason;
    auto used = EditableTemplate(source.string() + "/", dir + exe.toStdString(), wasCopied, reason);
    qputenv("XDG_DATA_HOME", oldData);
    QVERIFY(used);
    QCOMPARE(wasCopied, copied);
    QCOMPARE(used->string(), copied ? dir + "donnees/lignado/modele/demo" : source.string());
    QCOMPARE(readFile(*used / "index.kshtml"), "accueil");
    fs::remove_all(dir + "donnees");
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

  // A test that opened a site preview leaves the main one to the next.
  void cleanup() { wb = web->findChild<QWebEngineView*>("wb"); }

  // The preview folder goes with the window; the template's files, linked from it, stay.
  void cleanupTestCase() {
    const std::string preview = web->PreviewDir();
    QVERIFY(std::filesystem::exists(preview + "classique/personne.kshtml"));
    web.reset();
    QVERIFY(!std::filesystem::exists(preview));
    QVERIFY(std::filesystem::exists(shipped + "personne.kshtml"));
    QVERIFY(std::filesystem::exists(familyDir + "/photos/louis.png"));
  }
};

LIGNADO_UI_TEST_MAIN(WebTest)
#include "uWeb_test.moc"
