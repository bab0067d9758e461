#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "util/Host.h"

class QLabel;
class QProgressBar;
class QWidget;

namespace lignado::ui {

class Dialogs;

// The window as host of the core's long work. The work runs on a thread of its own (run());
// what it reports reaches the window through queued calls: the status text and progress of the
// work's label and bar, the latest only; a message through the dialogs, the work waiting for
// the user's OK. The window's own event loop goes on meanwhile, so it repaints and answers;
// Escape and stop() raise the stop request the work reads.
class QtHost : public QObject, public Host {
  Q_OBJECT

 public:
  QtHost(QWidget* window, Dialogs& dialogs);
  ~QtHost() override;

  // The label and bar of the next work (either may be null), until it has returned; progress
  // shows as 0..100.
  void attach(QLabel* status, QProgressBar* progress);

  // Runs work on another thread and returns once it has returned, the window's events
  // dispatched meanwhile; an exception of the work is raised again here. Only during run()
  // does Escape ask the work to stop.
  void run(const std::function<void()>& work);
  bool busy() const { return busy_ > 0; }
  // A report of the work waits to be shown.
  bool showPending() const { return showPending_; }
  void stop() { stopRequested_ = true; }

  // Any thread.
  void showMessage(const std::string& text) override;
  void setStatus(const std::string& text) override;
  void setProgressMax(long long max) override;
  void setProgressPos(long long pos) override;
  void processMessages() override {}
  bool abortRequested() override;

 signals:
  void busyChanged();  // work starts or has returned

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Puts the latest status and progress on the widgets (the window's thread).
  void show();
  // show() now on the window's thread, else once the window's thread gets to it.
  void showSoon();
  // show() on the window's thread, at a pace the eye can follow.
  void showPaced();

  QWidget* window_;
  Dialogs& dialogs_;
  QPointer<QLabel> status_;
  QPointer<QProgressBar> progress_;
  std::mutex mutex_;  // guards max_, percent_, statusText_
  long long max_ = 0;
  int percent_ = 0;
  std::optional<std::string> statusText_;  // not shown yet
  std::atomic<bool> showPending_{false};
  QElapsedTimer sinceShow_;
  std::atomic<int> busy_{0};
  std::atomic<bool> stopRequested_{false};
};

}  // namespace lignado::ui
