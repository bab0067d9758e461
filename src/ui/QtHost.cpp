#include "ui/QtHost.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <algorithm>

#include "ui/Dialogs.h"
#include "ui/QtText.h"

namespace lignado::ui {

namespace {
constexpr int kPumpMs = 100;
}

QtHost::QtHost(QWidget* window, Dialogs& dialogs) : window_(window), dialogs_(dialogs) {
  qApp->installEventFilter(this);
  sincePump_.start();
}

QtHost::~QtHost() {
  qApp->removeEventFilter(this);
}

void QtHost::attach(QLabel* status, QProgressBar* progress) {
  status_ = status;
  progress_ = progress;
  max_ = 0;
}

void QtHost::begin() {
  if (busy_++ == 0) stopRequested_ = false;
}

void QtHost::end() {
  if (busy_ > 0) --busy_;
}

void QtHost::showMessage(const std::string& text) {
  dialogs_.message(window_, FromCp1252(text, true));
}

void QtHost::setStatus(const std::string& text) {
  if (status_) status_->setText(FromCp1252(text, true));
}

void QtHost::setProgressMax(long long max) {
  max_ = max;
  if (progress_) progress_->setValue(0);
}

void QtHost::setProgressPos(long long pos) {
  if (progress_) {
    int percent = max_ > 0 ? static_cast<int>(std::clamp(pos, 0LL, max_) * 100 / max_) : 0;
    progress_->setValue(percent);
  }
  pumpNowAndThen();
}

void QtHost::processMessages() {
  QCoreApplication::processEvents();
  sincePump_.restart();
}

bool QtHost::abortRequested() {
  pumpNowAndThen();
  return stopRequested_;
}

void QtHost::pumpNowAndThen() {
  if (busy_ > 0 && sincePump_.elapsed() >= kPumpMs) processMessages();
}

bool QtHost::eventFilter(QObject* watched, QEvent* event) {
  auto* widget = qobject_cast<QWidget*>(watched);
  if (busy_ > 0 && event->type() == QEvent::KeyPress && widget && widget->window() == window_ &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    stopRequested_ = true;
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace lignado::ui
