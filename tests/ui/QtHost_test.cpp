#include "ui/QtHost.h"

#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <QThread>
#include <stdexcept>

#include "UiTest.h"

using lignado::test::FakeDialogs;
using lignado::test::LoopUntil;
using lignado::ui::QtHost;

class QtHostTest : public QObject {
  Q_OBJECT

 private slots:
  // What the work reports from its thread reaches the window: the latest status and progress
  // while it runs and when it returns, its messages in order (the work waiting for each), its
  // exception; a report still waiting when it returns never undoes what the window wrote after.
  void reports_data() {
    QTest::addColumn<int>("reports");
    QTest::addColumn<bool>("throws");
    QTest::newRow("one report") << 1 << false;
    QTest::newRow("many reports") << 500 << false;
    QTest::newRow("work that throws") << 500 << true;
  }
  void reports() {
    QFETCH(int, reports);
    QFETCH(bool, throws);
    FakeDialogs dialogs;
    QWidget window;
    auto* label = new QLabel(&window);
    auto* bar = new QProgressBar(&window);
    bar->setRange(0, 100);
    window.show();
    QtHost host(&window, dialogs);
    host.attach(label, bar);
    QThread* workThread = nullptr;
    bool threw = false;
    try {
      host.run([&] {
        workThread = QThread::currentThread();
        host.setProgressMax(reports);
        host.showMessage(
            "d\xE9"
            "but");
        for (int i = 1; i <= reports; ++i) {
          host.setStatus("\xE9tape " + std::to_string(i));
          host.setProgressPos(i);
        }
        host.showMessage("fin");
        if (throws) throw std::runtime_error("panne");
      });
    } catch (const std::runtime_error&) {
      threw = true;
    }
    QCOMPARE(threw, throws);
    QVERIFY(workThread && workThread != QThread::currentThread());
    QCOMPARE(dialogs.messages, QStringList({QString::fromUtf8("début"), "fin"}));
    QCOMPARE(label->text(), QString::fromUtf8("étape %1").arg(reports));
    QCOMPARE(bar->value(), 100);
    QVERIFY(!host.busy());
    label->setText("mot de la fen\xC3\xAAtre");
    bar->setValue(7);
    QVERIFY(LoopUntil([&] { return !host.showPending(); }));
    QCOMPARE(label->text(), QString::fromUtf8("mot de la fen\xC3\xAAtre"));
    QCOMPARE(bar->value(), 7);
  }

  // The stop request is seen by the work only while it runs: one asked for earlier work does
  // not stop what runs later on the window's thread (the preview's pages).
  void stopRequest() {
    FakeDialogs dialogs;
    QWidget window;
    QtHost host(&window, dialogs);
    int seenBefore = -1, seenAfter = -1;
    host.run([&] {
      seenBefore = host.abortRequested();
      QMetaObject::invokeMethod(
          &host, [&] { host.stop(); }, Qt::BlockingQueuedConnection);
      seenAfter = host.abortRequested();
    });
    QCOMPARE(seenBefore, 0);
    QCOMPARE(seenAfter, 1);
    QVERIFY(!host.abortRequested());
    host.run([&] { seenBefore = host.abortRequested(); });
    QCOMPARE(seenBefore, 0);
  }
};

LIGNADO_UI_TEST_MAIN(QtHostTest)
#include "QtHost_test.moc"
