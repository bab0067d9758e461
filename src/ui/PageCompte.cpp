#include "ui/PageCompte.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/Dialogs.h"
#include "ui/Settings.h"
#include "ui/uAssistant.h"
#include "workflow/Publication.h"

namespace lignado::ui {

PageCompte::PageCompte(TfmWebAssistant& wizard)
    : WizardPage(wizard, "ts7", "Param\xE8tres d'envoi des fichiers par FTP",
                 "O\xF9 placer mes pages sur Internet ?",
                 "Cliquez sur \"Suivant\" pour commencer l'envoi des fichiers") {
  QVBoxLayout* body = this->body();
  auto* grid = new QGridLayout;
  auto field = [&](int row, const char* label, const char* name, QLabel** labelOut = nullptr) {
    QLabel* l = NewLabel(label, this);
    l->setWordWrap(false);
    auto* e = new QLineEdit(this);
    e->setObjectName(name);
    grid->addWidget(l, row, 0);
    grid->addWidget(e, row, 1);
    if (labelOut) *labelOut = l;
    return e;
  };
  eFtpHost = field(0, "Nom du serveur FTP:", "eFtpHost");
  eFtpPath = field(1, "R\xE9pertoire de base:", "eFtpPath");
  eFtpFolder = field(2, "Nom du sous dossier:", "eFtpFolder", &Label47);
  Label47->setObjectName("Label47");
  eFtpFolder->setText("lignado");
  eFtpUser = field(3, "Identifiant :", "eFtpUser");
  eFtpPass = field(4, "Mot de passe: ", "eFtpPass");
  eFtpPass->setEchoMode(QLineEdit::Password);
  auto* showPass = new QCheckBox(T("Afficher le mot de passe"), this);
  showPass->setObjectName("cbFtpShowPass");
  grid->addWidget(showPass, 5, 1);
  connect(showPass, &QCheckBox::toggled, this,
          [this](bool on) { eFtpPass->setEchoMode(on ? QLineEdit::Normal : QLineEdit::Password); });
  cbFtpProtocol = new QComboBox(this);
  cbFtpProtocol->setObjectName("cbFtpProtocol");
  cbFtpProtocol->addItems({T("FTP ou FTPS"), T("SFTP (SSH)")});
  grid->addWidget(NewLabel("Protocole :", this), 6, 0);
  grid->addWidget(cbFtpProtocol, 6, 1);
  eFtpKey = field(7, "Cl\xE9 SSH (facultatif) :", "eFtpKey", &lFtpKey);
  lFtpKey->setObjectName("lFtpKey");
  eFtpKey->setToolTip(
      T("Avec une cl\xE9, le mot de passe est sa phrase secr\xE8te (vide si elle n'en a pas)."));
  bFtpKey = new QPushButton(T("Parcourir..."), this);
  bFtpKey->setObjectName("bFtpKey");
  grid->addWidget(bFtpKey, 7, 2);
  body->addLayout(grid);
  cbFtpFolder = new QCheckBox(T("Cr\xE9"
                                "er un sous dossier"),
                              this);
  cbFtpFolder->setObjectName("cbFtpFolder");
  cbFtpFolder->setChecked(true);
  body->addWidget(cbFtpFolder);
  body->addWidget(
      NewLabel("Cochez cette case si vous poss\xE8"
               "dez d\xE9j\xE0 un site internet "
               "\xE0 cette adresse.\r\nDans ce cas, l'envoi se fera dans un sous "
               "dossier et n'effacera pas votre site actuel.",
               this));
  cbFtpTls = new QCheckBox(T("Exiger une connexion chiffr\xE9"
                             "e (TLS)"),
                           this);
  cbFtpTls->setObjectName("cbFtpTls");
  cbFtpTls->setToolTip(
      T("Sans cette case, la connexion est chiffr\xE9"
        "e quand le serveur le propose."));
  body->addWidget(cbFtpTls);
  cbFtpPlain =
      new QCheckBox(T("Envoyer sans chiffrement (FTP simple, mot de passe en clair)"), this);
  cbFtpPlain->setObjectName("cbFtpPlain");
  cbFtpPlain->setToolTip(
      T("Un serveur d\xE9j\xE0 joint avec une connexion chiffr\xE9"
        "e ne re\xE7oit plus le mot de passe en clair, sauf avec cette case."));
  body->addWidget(cbFtpPlain);
  connect(cbFtpTls, &QCheckBox::toggled, this, [this](bool on) {
    if (on) cbFtpPlain->setChecked(false);
  });
  connect(cbFtpPlain, &QCheckBox::toggled, this, [this](bool on) {
    if (on) cbFtpTls->setChecked(false);
  });
  auto* Button6 = new QPushButton(T("Exemple"), this);
  Button6->setObjectName("Button6");
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(Button6);
  body->addLayout(row);
  body->addStretch(1);
  connect(cbFtpFolder, &QCheckBox::toggled, this, &PageCompte::cbFtpFolderClick);
  connect(Button6, &QPushButton::clicked, this, &PageCompte::Button6Click);
  for (QLineEdit* e : {eFtpHost, eFtpPath, eFtpFolder, eFtpUser, eFtpPass, eFtpKey})
    connect(e, &QLineEdit::textChanged, this, &WizardPage::completeChanged);
  connect(cbFtpProtocol, &QComboBox::currentIndexChanged, this, &PageCompte::protocolChanged);
  connect(bFtpKey, &QPushButton::clicked, this, &PageCompte::browseKey);
  protocolChanged();
}

bool PageCompte::sftp() const {
  return cbFtpProtocol->currentIndex() == 1;
}

// TLS belongs to FTP, a key file to SFTP.
void PageCompte::protocolChanged() {
  const bool ssh = sftp();
  for (QWidget* w : std::initializer_list<QWidget*>{eFtpKey, lFtpKey, bFtpKey}) w->setVisible(ssh);
  cbFtpTls->setVisible(!ssh);
  cbFtpPlain->setVisible(!ssh);
  emit completeChanged();
}

void PageCompte::browseKey() {
  QString start = eFtpKey->text().isEmpty() ? QDir::homePath() + "/.ssh" : eFtpKey->text();
  QString chosen = wizard().dialogs().openFile(&wizard(),
                                               T("Cl\xE9 priv\xE9"
                                                 "e SSH (*)"),
                                               start);
  if (!chosen.isEmpty()) eFtpKey->setText(chosen);
}

bool PageCompte::isComplete() const {
  // The sub-folder name is needed only when the pages go into a sub-folder.
  // An SFTP key logs in without a password.
  const bool keyed = sftp() && !eFtpKey->text().isEmpty();
  return !eFtpHost->text().isEmpty() && !eFtpUser->text().isEmpty() &&
         (!eFtpPass->text().isEmpty() || keyed) &&
         (!cbFtpFolder->isChecked() || !eFtpFolder->text().isEmpty());
}

QString PageCompte::serverField() const {
  return eFtpHost->text();
}

bool PageCompte::fillRequest(UploadRequest& request) const {
  const bool ssh = sftp();
  const bool hostOk = SplitHostPort(P(eFtpHost->text()), request.host, request.port, ssh ? 22 : 21);
  request.user = P(eFtpUser->text());
  request.password = P(eFtpPass->text());
  const std::string folder = cbFtpFolder->isChecked() ? P(eFtpFolder->text()) : "";
  request.remoteRoot = RemoteRoot(P(eFtpPath->text()), folder);
  if (ssh) {
    request.protocol = RemoteProtocol::Sftp;
    request.remoteRoot = SftpRemoteRoot(P(eFtpPath->text()), folder);
    request.sftp.keyFile = P(eFtpKey->text());
    // With a key the field holds its passphrase, which the server must never see.
    if (!request.sftp.keyFile.empty()) {
      request.sftp.passphrase = request.password;
      request.password.clear();
    }
  }
  request.tls = cbFtpPlain->isChecked() ? FtpTls::Off
                : cbFtpTls->isChecked() ? FtpTls::Require
                                        : FtpTls::Auto;
  return hostOk;
}

void PageCompte::cbFtpFolderClick() {
  eFtpFolder->setVisible(cbFtpFolder->isChecked());
  Label47->setVisible(cbFtpFolder->isChecked());
  emit completeChanged();
}

void PageCompte::Button6Click() {
  eFtpHost->setText("ftp.example.com");
  eFtpUser->setText("lignado");
  eFtpPass->clear();
  eFtpPath->clear();
  cbFtpFolder->setChecked(true);
  eFtpFolder->setText("lignado");
}

void PageCompte::load(const WizardSettings& settings) {
  eFtpHost->setText(P(settings.ftpHost));
  eFtpUser->setText(P(settings.ftpUser));
  eFtpPass->setText(P(settings.ftpPass));
  eFtpPath->setText(P(settings.ftpPath));
  cbFtpFolder->setChecked(settings.ftpIsFolder);
  eFtpFolder->setText(P(settings.ftpFolder));
  cbFtpTls->setChecked(settings.tlsRequired);
  cbFtpPlain->setChecked(settings.tlsOff);
  cbFtpProtocol->setCurrentIndex(
      QString::fromStdString(settings.protocol).compare("SFTP", Qt::CaseInsensitive) == 0 ? 1 : 0);
  eFtpKey->setText(P(settings.sshKey));
}

void PageCompte::save(WizardSettings& settings) const {
  settings.ftpHost = P(eFtpHost->text());
  settings.ftpUser = P(eFtpUser->text());
  settings.ftpPass = P(eFtpPass->text());
  settings.ftpPath = P(eFtpPath->text());
  settings.ftpIsFolder = cbFtpFolder->isChecked();
  settings.ftpFolder = P(eFtpFolder->text());
  settings.tlsRequired = cbFtpTls->isChecked();
  settings.tlsOff = cbFtpPlain->isChecked();
  settings.protocol = sftp() ? "SFTP" : "FTP";
  settings.sshKey = P(eFtpKey->text());
}

}  // namespace lignado::ui
