#include "ui/QtHost.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <exception>
#include <memory>

#include "ui/Dialogs.h"
#include "ui/QtText.h"

namespace lignado::ui {

namespace {
// The import reports every 182 records, the generation every page: repainting the window that
// often would cost a good part of the work's time. The window shows the latest 25 times a second.
constexpr qint64 kShowMs = 40;
}  // namespace

QtHost::QtHost(QWidget* window, Dialogs& dialogs)
    : QObject(window), window_(window), dialogs_(dialogs) {
  qApp->installEventFilter(this);
}

QtHost::~QtHost() {
  qApp->removeEventFilter(this);
}

void QtHost::attach(QLabel* status, QProgressBar* progress) {
  status_ = status;
  progress_ = progress;
  std::lock_guard<std::mutex> lock(mutex_);
  max_ = 0;
  percent_ = 0;
  statusText_.reset();
}

void QtHost::run(const std::function<void()>& work) {
  if (busy_++ == 0) stopRequested_ = false;
  emit busyChanged();
  std::exception_ptr error;
  QEventLoop loop;
  std::unique_ptr<QThread> thread(QThread::create([&] {
    try {
      work();
    } catch (...) {
      error = std::current_exception();
    }
  }));
  // Queued: the work's last reports (posted before) reach the window first.
  connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
  thread->start();
  loop.exec();
  // The loop also ends when the application is told to leave: the work is then asked to stop,
  // and its calls to the window are still answered until it has returned.
  while (!thread->wait(QDeadlineTimer(10))) {
    stopRequested_ = true;
    QCoreApplication::processEvents();
  }
  --busy_;
  show();
  // The widgets are the caller's again: a show still waiting must not undo its last word.
  status_.clear();
  progress_.clear();
  emit busyChanged();
  if (error) std::rethrow_exception(error);
}

void QtHost::showMessage(const std::string& text) {
  auto tell = [this, text] {
    show();
    dialogs_.message(window_, FromCp1252(text, true).replace("\r\n", "\n"));
  };
  if (QThread::currentThread() == thread())
    tell();
  else
    QMetaObject::invokeMethod(this, tell, Qt::BlockingQueuedConnection);
}

void QtHost::setStatus(const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    statusText_ = text;
  }
  showSoon();
}

void QtHost::setProgressMax(long long max) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    max_ = max;
    percent_ = 0;
  }
  showSoon();
}

void QtHost::setProgressPos(long long pos) {
  int percent;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    percent = max_ > 0 ? static_cast<int>(std::clamp(pos, 0LL, max_) * 100 / max_) : 0;
    if (percent == percent_) return;  // the generation reports every page
    percent_ = percent;
  }
  showSoon();
}

bool QtHost::abortRequested() {
  // A stop asked for earlier work does not stop the preview's page runs.
  return busy_ > 0 && stopRequested_;
}

void QtHost::showSoon() {
  if (QThread::currentThread() == thread()) {
    show();
    return;
  }
  // One call waits in the window's queue at most: it shows whatever is latest by then.
  if (!showPending_.exchange(true))
    QMetaObject::invokeMethod(this, &QtHost::showPaced, Qt::QueuedConnection);
}

void QtHost::showPaced() {
  const qint64 wait = sinceShow_.isValid() ? kShowMs - sinceShow_.elapsed() : 0;
  if (wait > 0) {
    QTimer::singleShot(wait, this, &QtHost::showPaced);
    return;
  }
  showPending_ = false;
  show();
  sinceShow_.restart();
}

void QtHost::show() {
  std::optional<std::string> text;
  int percent;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    text.swap(statusText_);
    percent = percent_;
  }
  if (text && status_) status_->setText(FromCp1252(*text, true));
  if (progress_) progress_->setValue(percent);
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
