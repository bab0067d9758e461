#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <optional>
#include <string>

#include "util/Host.h"

class QLabel;
class QProgressBar;
class QWidget;

namespace lignado::ui {

class Dialogs;

// The window as host of the core's long work: messages through the dialogs, the status text
// and the progress of the work's label and bar, pending events, and the stop request (the
// Escape key, or stop() when the window is asked to close).
class QtHost : public QObject, public Host {
  Q_OBJECT

 public:
  QtHost(QWidget* window, Dialogs& dialogs);
  ~QtHost() override;

  // The label and bar of the next work (either may be null); progress shows as 0..100.
  void attach(QLabel* status, QProgressBar* progress);

  // Long work runs between begin() and end(); only then does Escape ask it to stop, and only
  // then are status and progress shown at the pace of the event dispatch.
  void begin();
  void end();
  bool busy() const { return busy_ > 0; }
  void stop() { stopRequested_ = true; }

  void showMessage(const std::string& text) override;
  void setStatus(const std::string& text) override;
  void setProgressMax(long long max) override;
  void setProgressPos(long long pos) override;
  void processMessages() override;
  bool abortRequested() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Puts the latest status and progress on the widgets.
  void show();
  // Dispatches pending events when the last dispatch is old enough; work that never asks for
  // it (the generation) gets it through its progress and stop checks.
  void pump();

  QWidget* window_;
  Dialogs& dialogs_;
  QPointer<QLabel> status_;
  QPointer<QProgressBar> progress_;
  long long max_ = 0;
  int percent_ = 0;
  std::optional<std::string> statusText_;  // not shown yet
  int busy_ = 0;
  bool stopRequested_ = false;
  QElapsedTimer sincePump_;
};

}  // namespace lignado::ui
