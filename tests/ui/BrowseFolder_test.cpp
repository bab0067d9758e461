#include "ui/BrowseFolder.h"

#include <QDir>
#include <QTemporaryDir>
#include <QWidget>

#include "UiTest.h"

using lignado::test::FakeDialogs;
using lignado::ui::TBrowseFolder;

class BrowseFolderTest : public QObject {
  Q_OBJECT

 private slots:
  // Cancel keeps the folder, a confirmed one replaces it and is where the next use opens;
  // a folder that no longer exists is not offered as the start.
  void executeKeepsOrReplacesDirectory() {
    QTemporaryDir tmp;
    QWidget owner;
    FakeDialogs dialogs;
    TBrowseFolder browse(&owner, dialogs);
    browse.Directory = tmp.path() + "/gone";
    dialogs.folders = {QString(), tmp.path()};
    QVERIFY(!browse.Execute());
    QCOMPARE(browse.Directory, tmp.path() + "/gone");
    QVERIFY(browse.Execute());
    QCOMPARE(browse.Directory, tmp.path());
    QVERIFY(!browse.Execute());
    QCOMPARE(browse.Directory, tmp.path());
    QCOMPARE(dialogs.folderStarts, QStringList({QString(), QString(), tmp.path()}));
  }
};

LIGNADO_UI_TEST_MAIN(BrowseFolderTest)
#include "BrowseFolder_test.moc"
