#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QList>
#include <QListWidget>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <deque>

#include "ui/Dialogs.h"

namespace lignado::test {

// Answers the wizard's dialogs from queues and records what they showed.
class FakeDialogs : public ui::Dialogs {
 public:
  void message(QWidget*, const QString& text) override {
    messages << text;
    if (onMessage) onMessage(text);
  }
  bool ask(QWidget*, const QString& text) override {
    questions << text;
    if (answers.empty()) return false;
    bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
  QString openFile(QWidget*, const QString& filter, const QString&) override {
    filters << filter;
    return next(files);
  }
  QString chooseFolder(QWidget*, const QString&, const QString& startDir) override {
    folderStarts << startDir;
    return next(folders);
  }
  bool openUrl(const QUrl& url) override {
    opened << url;
    return openWorks;
  }

  QStringList messages, questions, filters, folderStarts;
  std::deque<bool> answers;            // none left: No
  std::deque<QString> files, folders;  // an empty answer is a cancel
  QList<QUrl> opened;
  bool openWorks = true;  // false: no program could open it
  std::function<void(const QString&)> onMessage;

 private:
  static QString next(std::deque<QString>& q) {
    if (q.empty()) return {};
    QString s = q.front();
    q.pop_front();
    return s;
  }
};

// Runs the event loop until ready() or the time is up. Chromium's messages arrive through the
// loop, so waiting in a real loop (not a poll with sleeps) keeps a page load in milliseconds.
template <typename Ready>
bool LoopUntil(Ready ready, int ms = 20000) {
  QEventLoop loop;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
    if (ready()) loop.quit();
  });
  QDeadlineTimer deadline(ms);
  QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
    if (deadline.hasExpired()) loop.quit();
  });
  tick.start(1);
  if (!ready()) loop.exec();
  return ready();
}

// Runs a script in the page and gives its result.
// The texts of a list's items, in order.
inline QStringList ItemTexts(const QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

inline QVariant RunJs(QWebEngineView* view, const QString& code) {
  QVariant out;
  bool done = false;
  view->page()->runJavaScript(code, [&](const QVariant& r) {
    out = r;
    done = true;
  });
  return LoopUntil([&] { return done; }, 10000) ? out : QVariant();
}

}  // namespace lignado::test

// WebEngine wants shared OpenGL contexts before the application exists.
#define LIGNADO_UI_TEST_MAIN(TestClass)                         \
  int main(int argc, char** argv) {                             \
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); \
    QApplication app(argc, argv);                               \
    app.setApplicationDisplayName("Lignado");                   \
    TestClass test;                                             \
    return QTest::qExec(&test, argc, argv);                     \
  }
