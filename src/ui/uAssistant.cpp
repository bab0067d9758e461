#include "ui/uAssistant.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <charconv>
#include <exception>

#include "data/Base.h"
#include "ui/BrowseFolder.h"
#include "ui/Dialogs.h"
#include "ui/PageAccueil.h"
#include "ui/PageCompte.h"
#include "ui/PageCreation.h"
#include "ui/PageDestination.h"
#include "ui/PageEnvoi.h"
#include "ui/PageFichier.h"
#include "ui/PageImport.h"
#include "ui/PageModele.h"
#include "ui/QtHost.h"
#include "ui/Settings.h"
#include "util/IniFile.h"
#include "util/SettingsPlace.h"

namespace lignado::ui {

bool SplitHostPort(const std::string& field, std::string& host, int& port, int defaultPort) {
  host = field;
  port = defaultPort;
  std::string digits;
  if (!field.empty() && field[0] == '[') {
    size_t close = field.find(']');
    if (close == std::string::npos) return true;
    host = field.substr(1, close - 1);
    if (close + 1 == field.size()) return true;
    if (field[close + 1] != ':') return false;
    digits = field.substr(close + 2);
  } else {
    size_t colon = field.find(':');
    // Two colons or more: an IPv6 address without a port.
    if (colon == std::string::npos || field.find(':', colon + 1) != std::string::npos) return true;
    host = field.substr(0, colon);
    digits = field.substr(colon + 1);
  }
  int value = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (ec != std::errc() || end != digits.data() + digits.size() || value < 1 || value > 65535)
    return false;
  port = value;
  return true;
}

TfmWebAssistant::TfmWebAssistant(Dialogs& dialogs, WizardOptions options)
    : QWidget(nullptr), dialogs_(dialogs), db_(std::make_unique<TBD>()) {
  setObjectName("fmWebAssistant");
  setWindowTitle("Lignado V1.1");
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  ExeDir = options.exeDir.empty() ? QCoreApplication::applicationDirPath().toStdString() + "/"
                                  : options.exeDir;
  settingsFile_ = options.settingsFile.empty() ? SettingsFilePath(ExeDir) : options.settingsFile;
  openFile_ = options.openFile;
  host_ = new QtHost(this, dialogs_);
  connect(host_, &QtHost::busyChanged, this, &TfmWebAssistant::updateButtons);
  BrowseFolder1 = new TBrowseFolder(this, dialogs_);
  BrowseFolder1->setObjectName("BrowseFolder1");

  PageControl1 = new QStackedWidget(this);
  PageControl1->setObjectName("PageControl1");
  addPage<PageAccueil>();
  fichier_ = addPage<PageFichier>();
  addPage<PageImport>();
  addPage<PageModele>();
  destination_ = addPage<PageDestination>();
  addPage<PageCreation>();
  compte_ = addPage<PageCompte>();
  addPage<PageEnvoi>();

  auto* bevel = new QFrame(this);
  bevel->setFrameShape(QFrame::HLine);
  bevel->setFrameShadow(QFrame::Sunken);
  bPrecedent = new QPushButton(T("< &Pr\xE9"
                                 "c\xE9"
                                 "dent"),
                               this);
  bPrecedent->setObjectName("bPrecedent");
  bPrecedent->hide();
  bSuivant = new QPushButton(T("&Suivant >"), this);
  bSuivant->setObjectName("bSuivant");
  bSuivant->setDefault(true);
  bQuitter = new QPushButton(T("Quitter"), this);
  bQuitter->setObjectName("bQuitter");
  bFtpResume = new QPushButton(T("Reprendre le dernier envoi"), this);
  bFtpResume->setObjectName("bFtpResume");
  bFtpResume->hide();
  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(12, 8, 12, 10);
  buttons->addWidget(bFtpResume);
  buttons->addStretch(1);
  buttons->addWidget(bPrecedent);
  buttons->addWidget(bSuivant);
  buttons->addSpacing(12);
  buttons->addWidget(bQuitter);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(PageControl1, 1);
  layout->addWidget(bevel);
  layout->addLayout(buttons);
  connect(bPrecedent, &QPushButton::clicked, this, &TfmWebAssistant::back);
  connect(bSuivant, &QPushButton::clicked, this, &TfmWebAssistant::bSuivantClick);
  connect(bQuitter, &QPushButton::clicked, this, &TfmWebAssistant::bQuitterClick);
  connect(bFtpResume, &QPushButton::clicked, this, &TfmWebAssistant::bFtpResumeClick);
  connect(PageControl1, &QStackedWidget::currentChanged, this, &TfmWebAssistant::updateButtons);
  setFixedSize(sizeHint().expandedTo(QSize(600, 430)));
}

TfmWebAssistant::~TfmWebAssistant() = default;

template <typename Page>
Page* TfmWebAssistant::addPage() {
  auto* page = new Page(*this);
  pages_.push_back(page);
  PageControl1->addWidget(page);
  connect(page, &WizardPage::completeChanged, this, &TfmWebAssistant::updateButtons);
  return page;
}

bool TfmWebAssistant::Busy() const {
  return host_->busy();
}

WizardPage* TfmWebAssistant::currentPage() const {
  return pages_[static_cast<size_t>(PageControl1->currentIndex())];
}

std::unique_ptr<TBD> TfmWebAssistant::takeDatabase() {
  return std::move(db_);
}

void TfmWebAssistant::setDatabase(std::unique_ptr<TBD> db) {
  db_ = db ? std::move(db) : std::make_unique<TBD>();
}

// The buttons below the pages follow the page shown: "Suivant" where the page has a next one
// and enabled once it is complete; nothing but "Stopper" while work runs.
void TfmWebAssistant::updateButtons() {
  // The pages report changes while they are built, before the buttons exist.
  if (!bSuivant) return;
  const int i = PageControl1->currentIndex();
  const bool last = i + 1 == static_cast<int>(pages_.size());
  WizardPage* page = currentPage();
  bPrecedent->setVisible(i > 0 && !resumeOnly_);
  bSuivant->setVisible(!last && !resumeOnly_ && page->hasNext());
  bSuivant->setEnabled(!Busy() && page->isComplete());
  bPrecedent->setEnabled(!Busy());
  bQuitter->setEnabled(!Busy());
}

bool TfmWebAssistant::runWork(QLabel* status, QProgressBar* progress,
                              const std::function<void(Host*)>& work) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  host_->attach(status, progress);
  bool ran = true;
  try {
    host_->run([&] { work(host_); });
  } catch (const std::exception&) {
    ran = false;
  }
  updateButtons();
  QApplication::restoreOverrideCursor();
  return ran;
}

// Start-up.

void TfmWebAssistant::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!shown_) {
    shown_ = true;
    FormShow();
  }
}

void TfmWebAssistant::FormShow() {
  if (QScreen* screen = this->screen())
    move(screen->availableGeometry().center() - rect().center());
  PageControl1->setCurrentIndex(0);
  const WizardSettings saved = ReadSettings(IniFile(settingsFile_));
  UploadFinished = saved.uploadFinished;
  for (WizardPage* page : pages_) page->load(saved);
  bFtpResume->setVisible(!UploadFinished);
  updateButtons();
  // Started with a file ("Open with" on a desktop): on the file page, as if chosen there.
  if (!openFile_.empty()) {
    PageControl1->setCurrentWidget(fichier_);
    fichier_->initializePage();
    fichier_->addFile(P(openFile_));
    updateButtons();
  }
}

// Enter presses Suivant wherever the focus is, as in a dialog: fields and lists pass it on; a
// push button that has the focus is pressed instead.
void TfmWebAssistant::keyPressEvent(QKeyEvent* event) {
  if ((event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) ||
      event->modifiers() & ~Qt::KeypadModifier) {
    QWidget::keyPressEvent(event);
    return;
  }
  auto* focused = qobject_cast<QPushButton*>(focusWidget());
  QPushButton* target = focused && focused->isVisible() ? focused : bSuivant;
  if (target->isVisible() && target->isEnabled())
    target->click();
  else
    event->ignore();
}

// Close.

void TfmWebAssistant::closeEvent(QCloseEvent* event) {
  // The work in progress holds the database and the pages: it is asked to stop, and the window
  // closes once it has returned.
  if (Busy()) {
    closeWhenDone_ = true;
    host_->stop();
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

void TfmWebAssistant::FormClose() {
  WizardSettings settings;
  for (WizardPage* page : pages_) page->save(settings);
  settings.uploadFinished = UploadFinished;
  IniFile ini(settingsFile_);
  WriteSettings(ini, settings);
  std::string reason;
  if (!ini.Save(&reason)) dialogs_.message(this, T(reason));
}

void TfmWebAssistant::workEnded() {
  if (closeWhenDone_ && !Busy()) {
    closeWhenDone_ = false;
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
  }
}

// Next and Previous.

void TfmWebAssistant::bSuivantClick() {
  const int i = PageControl1->currentIndex();
  if (i + 1 >= static_cast<int>(pages_.size())) return;
  PageControl1->setCurrentIndex(i + 1);
  currentPage()->initializePage();
  updateButtons();
  workEnded();
}

void TfmWebAssistant::back() {
  const int i = PageControl1->currentIndex();
  if (i == 0) return;
  WizardPage* leaving = currentPage();
  PageControl1->setCurrentIndex(i - 1);
  leaving->cleanupPage();
  updateButtons();
}

void TfmWebAssistant::bQuitterClick() {
  close();
}

void TfmWebAssistant::giveUpResume() {
  UploadFinished = true;
  bFtpResume->hide();
}

void TfmWebAssistant::bFtpResumeClick() {
  resumeOnly_ = true;
  bFtpResume->hide();
  PageControl1->setCurrentWidget(pages_.back());
  pages_.back()->initializePage();
  updateButtons();
}

}  // namespace lignado::ui
