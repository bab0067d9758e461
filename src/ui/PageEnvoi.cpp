#include "ui/PageEnvoi.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <filesystem>

#include "ftp/UploadMarks.h"
#include "ftp/WinInetControl.h"
#include "ui/Dialogs.h"
#include "ui/PageCompte.h"
#include "ui/PageDestination.h"
#include "ui/QtHost.h"
#include "ui/QtText.h"
#include "ui/Settings.h"
#include "ui/uAssistant.h"
#include "util/Host.h"
#include "util/IniFile.h"
#include "util/Utf8.h"
#include "workflow/Publication.h"

namespace lignado::ui {

namespace {

// The upload's owner on the work's thread: each log line is handed to the window's list, the
// upload waiting until it is there (one line a file: the wait is nothing beside the transfer,
// and a stop asked on seeing a line is seen before the next file); the stop request (the
// button, Escape, the close box) is read from the host's flag.
class UploadOwner : public TFtpObserver {
 public:
  UploadOwner(Host* host, QListWidget* list) : host_(host), list_(list) {}
  void LogLine(const std::string& line) override {
    if (!list_) return;
    QMetaObject::invokeMethod(
        list_,
        [list = list_, text = FromCp1252(line, true)] {
          if (!list) return;
          list->addItem(text);
          list->scrollToBottom();
        },
        QThread::currentThread() == list_->thread() ? Qt::DirectConnection
                                                    : Qt::BlockingQueuedConnection);
  }
  TStopRequest StopRequested() override {
    return hostAbort(host_) ? TStopRequest::AfterThisFile : TStopRequest::None;
  }

 private:
  Host* host_;
  QPointer<QListWidget> list_;
};

}  // namespace

PageEnvoi::PageEnvoi(TfmWebAssistant& wizard)
    : WizardPage(wizard, "ts8", "Envoi des fichiers par FTP", "Son d\xE9roulement est-il correct ?",
                 "") {
  QVBoxLayout* body = this->body();
  body->addWidget(NewLabel("Aper\xE7u de l'envoi:", this));
  lbFtp = new QListWidget(this);
  lbFtp->setObjectName("lbFtp");
  body->addWidget(lbFtp, 1);
  auto* row = new QHBoxLayout;
  QLabel* note = NewLabel(
      "Si vous stoppez l'envoi, vous aurez la possibilit\xE9 de le reprendre "
      "l\xE0 ou vous \r\nl'aurez arr\xEAt\xE9 en relan\xE7"
      "ant le programme ou en cliquant sur \"d\xE9marrer\".",
      this);
  note->setWordWrap(false);  // the text breaks its own lines
  row->addWidget(note, 1);
  bFtp = new QPushButton(T("D\xE9marrer"), this);
  bFtp->setObjectName("bFtp");
  row->addWidget(bFtp, 0, Qt::AlignTop);
  body->addLayout(row);
  cbFtpVerify = new QCheckBox(T("V\xE9rifier le site en ligne"), this);
  cbFtpVerify->setObjectName("cbFtpVerify");
  cbFtpVerify->setToolTip(
      T("Liste les fichiers du serveur et envoie de nouveau ceux qui y manquent ou n'ont pas "
        "la bonne taille."));
  body->addWidget(cbFtpVerify);
  connect(bFtp, &QPushButton::clicked, this, &PageEnvoi::bFtpClick);
}

void PageEnvoi::initializePage() {
  bFtp->setText(T("D\xE9marrer"));
  bFtp->show();
}

void PageEnvoi::bFtpClick() {
  if (wizard().Busy()) {
    // Between two files the upload sees the request and returns.
    wizard().host()->stop();
    bFtp->setEnabled(false);
    return;
  }
  bool& finished = wizard().UploadFinished;
  const bool finishedBefore = finished;
  finished = false;
  lbFtp->clear();
  bFtp->setText(T("Stopper"));

  UploadRequest request;
  UploadOutcome outcome;
  const bool hostOk = wizard().compte().fillRequest(request);
  request.localFolder = P(wizard().destination().exportPath());
  request.verify = cbFtpVerify->isChecked();
  // Rewritten by every upload, kept for support when one fails.
  const std::filesystem::path trace =
      std::filesystem::path(wizard().SettingsFile()).parent_path() / "lignado-envoi.trace";
  request.tracePath = trace.string();
  if (!hostOk) {
    lbFtp->addItem(T("Erreur: Num\xE9ro de port invalide dans \"" +
                     ToCp1252(wizard().compte().serverField()) + "\""));
  } else {
    std::string failure = UploadWithTrust(request, outcome);
    ConfirmHeldDeletions(request, outcome);
    if (!failure.empty()) lbFtp->addItem(T(failure));
  }

  bFtp->setEnabled(true);
  bFtp->setText(T("D\xE9marrer"));
  if (outcome.ok) finished = true;
  // Nothing was sent: there is nothing to resume.
  if (outcome.loginRefused) finished = finishedBefore;
  std::string traceNote;
  std::error_code ec;
  if (outcome.ok || !hostOk)
    std::filesystem::remove(trace, ec);
  else if (!outcome.stopped && (outcome.failures > 0 || outcome.heldDeletions == 0) &&
           std::filesystem::exists(trace, ec))
    // A failure, not a stop nor deletions held for the user's word.
    traceNote =
        "\r\nLe d\xE9tail de l'\xE9"
        "change avec le serveur, \xE0 joindre \xE0 une demande d'aide, est dans le fichier :\r\n" +
        NameToCp1252(trace.string());
  wizard().dialogs().message(
      &wizard(),
      T((outcome.plainRefused
             ? "Ce serveur a d\xE9j\xE0 \xE9t\xE9 joint avec une connexion chiffr\xE9"
               "e (TLS), qu'il refuse maintenant : le mot de passe n'a pas \xE9t\xE9 "
               "envoy\xE9.\r\nSi vous \xEAtes s\xFBr de ce serveur, cochez \xAB Envoyer "
               "sans chiffrement \xBB dans les param\xE8tres d'envoi et relancez l'envoi."
             : outcome.Message()) +
        traceNote));
  wizard().workEnded();
}

void PageEnvoi::upload(const UploadRequest& request, UploadOutcome& outcome) {
  if (!wizard().runWork(nullptr, nullptr, [&](Host* host) {
        UploadOwner owner(host, lbFtp);
        outcome = UploadPublication(request, &owner);
      }))
    outcome = UploadOutcome();
}

// Sends with the certificate (FTP) or host key (SFTP) trusted for this server. One the system
// does not vouch for (often self-signed by the host, or a host key not in known_hosts) is the
// user's call, once per fingerprint; one other than the one trusted before has changed, and the
// question says so (No by default). What the user accepted is kept per server, as is the
// certificate of a TLS connection: that server is never sent the password in clear again unless
// the box allows it. Gives the reason when it could not be kept.
std::string PageEnvoi::UploadWithTrust(UploadRequest& request, UploadOutcome& outcome) {
  const bool ssh = request.protocol == RemoteProtocol::Sftp;
  const std::string server =
      (ssh ? "s" : "") + UploadMarks::Destination(request.host, request.port, "");
  const std::string& file = wizard().SettingsFile();
  std::string trusted = TrustedCertificate(IniFile(file), server);
  for (;;) {
    (ssh ? request.sftp.trustedKey : request.tlsFingerprint) = trusted;
    upload(request, outcome);
    const std::string& seen = outcome.refusedFingerprint;
    if (seen.empty() || seen == trusted) break;
    std::string question;
    if (ssh && !outcome.hostKeyChanged)
      question = "La cl\xE9 du serveur SFTP est inconnue.\r\nEmpreinte SHA-256 : " + seen +
                 "\r\nSi c'est bien celle de votre h\xE9"
                 "bergeur, voulez-vous lui faire confiance et continuer ?";
    else if (ssh)
      question =
          "La cl\xE9 du serveur SFTP a chang\xE9 depuis le dernier envoi.\r\n" +
          (trusted.empty() ? outcome.serverReply
                           : "Empreinte SHA-256 attendue : " + trusted +
                                 "\r\nEmpreinte SHA-256 re\xE7ue : " + seen) +
          "\r\nCe peut \xEAtre une nouvelle cl\xE9 de votre h\xE9"
          "bergeur, ou quelqu'un qui se fait passer pour lui. Voulez-vous faire confiance \xE0 "
          "la nouvelle cl\xE9 (" +
          seen + ") et continuer ?";
    else
      question = trusted.empty()
                     ? "Le certificat du serveur n'est pas reconnu par le syst\xE8me."
                       "\r\nEmpreinte SHA-256 : " +
                           seen +
                           "\r\nSi c'est bien celui de votre h\xE9"
                           "bergeur, voulez-vous lui faire confiance et continuer ?"
                     : "Le certificat du serveur a chang\xE9 depuis le dernier envoi.\r\n"
                       "Empreinte SHA-256 attendue : " +
                           trusted + "\r\nEmpreinte SHA-256 re\xE7ue : " + seen +
                           "\r\nCe peut \xEAtre un nouveau certificat de votre h\xE9"
                           "bergeur, ou quelqu'un qui se fait passer pour lui. Voulez-vous "
                           "faire confiance au nouveau certificat et continuer ?";
    if (!wizard().dialogs().ask(&wizard(), T(question))) break;
    trusted = seen;
  }
  // A host key is kept once accepted and the server reached with it.
  const std::string keep = ssh ? (outcome.connected ? trusted : "") : outcome.tlsFingerprint;
  if (keep.empty()) return "";
  IniFile ini(file);
  if (TrustedCertificate(ini, server) == keep) return "";
  SetTrustedCertificate(ini, server, keep);
  std::string reason;
  return ini.Save(&reason) ? "" : "Attention: " + reason;
}

// A mirror that would remove most of what was sent there (a site generated from the wrong
// file or folder) held its deletions back: they go only on the user's word, No by default.
void PageEnvoi::ConfirmHeldDeletions(UploadRequest& request, UploadOutcome& outcome) {
  if (outcome.heldDeletions == 0) return;
  const std::string n = std::to_string(outcome.heldDeletions);
  if (!wizard().dialogs().ask(
          &wizard(), T("L'envoi supprimerait " + n +
                       " fichiers du site en ligne, plus de la moiti\xE9 de ceux qui y ont "
                       "\xE9t\xE9 envoy\xE9s.\r\nSi la g\xE9n\xE9"
                       "alogie a vraiment perdu ces pages, r\xE9pondez Oui. Sinon "
                       "(mauvais fichier GEDCOM, mauvais dossier), r\xE9pondez Non : rien ne "
                       "sera supprim\xE9.\r\nSupprimer ces " +
                       n + " fichiers du serveur ?")))
    return;
  request.maxDelete = outcome.heldDeletions;
  upload(request, outcome);
}

void PageEnvoi::load(const WizardSettings& settings) {
  cbFtpVerify->setChecked(settings.verify);
}

void PageEnvoi::save(WizardSettings& settings) const {
  settings.verify = cbFtpVerify->isChecked();
}

}  // namespace lignado::ui
