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
// The import reports every 182 records; painting the window that often would cost a good part
// of the import. The window shows the latest state and hears Escape 20 times a second.
constexpr int kPumpMs = 50;
}  // namespace

QtHost::QtHost(QWidget* window, Dialogs& dialogs)
    : QObject(window), window_(window), dialogs_(dialogs) {
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
  percent_ = 0;
  statusText_.reset();
}

void QtHost::begin() {
  if (busy_++ == 0) stopRequested_ = false;
}

void QtHost::end() {
  if (busy_ > 0) --busy_;
  show();
}

void QtHost::showMessage(const std::string& text) {
  show();
  dialogs_.message(window_, FromCp1252(text, true).replace("\r\n", "\n"));
}

void QtHost::setStatus(const std::string& text) {
  statusText_ = text;
  if (busy_ == 0) show();
}

void QtHost::setProgressMax(long long max) {
  max_ = max;
  percent_ = 0;
  if (busy_ == 0) show();
}

void QtHost::setProgressPos(long long pos) {
  percent_ = max_ > 0 ? static_cast<int>(std::clamp(pos, 0LL, max_) * 100 / max_) : 0;
  if (busy_ == 0) show();
  pump();
}

void QtHost::processMessages() {
  pump();
}

bool QtHost::abortRequested() {
  pump();
  return stopRequested_;
}

void QtHost::show() {
  if (statusText_ && status_) status_->setText(FromCp1252(*statusText_, true));
  statusText_.reset();
  if (progress_) progress_->setValue(percent_);
}

void QtHost::pump() {
  if (busy_ == 0 || sincePump_.elapsed() < kPumpMs) return;
  show();
  QCoreApplication::processEvents();
  sincePump_.restart();
}

bool QtHost::eventFilter(QObject* watched, QEvent* event) {
  // Every event of the application passes here, some for objects half destroyed: the type is
  // tested first, and the object is never asked for its class.
  if (busy_ > 0 && event->type() == QEvent::KeyPress && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->window() == window_ &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    stopRequested_ = true;
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace lignado::ui
