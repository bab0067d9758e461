#include "ui/uAssistant.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStackedWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <charconv>
#include <exception>

#include "data/Base.h"
#include "ftp/UploadMarks.h"
#include "ftp/WinInetControl.h"
#include "genealogy/Vivants.h"
#include "ui/BrowseFolder.h"
#include "ui/Dialogs.h"
#include "ui/QtHost.h"
#include "ui/QtText.h"
#include "ui/Settings.h"
#include "ui/uWeb.h"
#include "util/IniFile.h"
#include "util/SettingsPlace.h"
#include "util/Utf8.h"
#include "workflow/Publication.h"

namespace lignado::ui {

namespace fs = std::filesystem;

namespace {

constexpr int kLastPage = 7;

// A text of the wizard (Windows-1252) as a widget shows it: "\r\n" breaks a line.
QString T(const std::string& text) {
  QString s = FromCp1252(text, true);
  s.replace("\r\n", "\n");
  return s;
}

// A path (file-system bytes) for a widget, and back.
QString P(const std::string& path) {
  return QString::fromStdString(path);
}
std::string P(const QString& text) {
  return text.toStdString();
}

QLabel* NewLabel(const std::string& text, QWidget* parent, const char* name = nullptr) {
  auto* l = new QLabel(T(text), parent);
  if (name) l->setObjectName(name);
  l->setWordWrap(true);
  return l;
}

// The items of a list that equal text without regard to case.
int RowNoCase(const QListWidget* list, const QString& text) {
  for (int i = 0; i < list->count(); ++i)
    if (list->item(i)->text().compare(text, Qt::CaseInsensitive) == 0) return i;
  return -1;
}

// A page: white heading with its headline and question, the page's controls, the hint.
QWidget* NewPage(QStackedWidget* pages, const char* name, const std::string& headline,
                 const std::string& question, const std::string& hint, QVBoxLayout*& body) {
  auto* page = new QWidget(pages);
  page->setObjectName(name);
  auto* column = new QVBoxLayout(page);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  auto* heading = new QFrame(page);
  heading->setAutoFillBackground(true);
  QPalette white = heading->palette();
  white.setColor(QPalette::Window, Qt::white);
  white.setColor(QPalette::WindowText, Qt::black);
  heading->setPalette(white);
  heading->setFixedHeight(58);
  auto* headingText = new QVBoxLayout(heading);
  headingText->setContentsMargins(20, 8, 20, 8);
  QLabel* title = NewLabel(headline, heading);
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  headingText->addWidget(title);
  QLabel* ask = NewLabel(question, heading);
  ask->setContentsMargins(16, 0, 0, 0);
  headingText->addWidget(ask);
  column->addWidget(heading);
  auto* line = new QFrame(page);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  column->addWidget(line);
  auto* inner = new QWidget(page);
  body = new QVBoxLayout(inner);
  body->setContentsMargins(36, 14, 36, 6);
  column->addWidget(inner, 1);
  if (!hint.empty()) {
    QLabel* h = NewLabel(hint, page);
    h->setContentsMargins(36, 0, 36, 12);
    column->addWidget(h);
  }
  pages->addWidget(page);
  return page;
}

// The upload's owner: log lines into the list as they come, events dispatched through the
// host, whose stop request (the button, Escape, the close box) stops between two files.
class UploadOwner : public TFtpObserver {
 public:
  UploadOwner(QtHost* host, QListWidget* list) : host_(host), list_(list) {}
  void LogLine(const std::string& line) override {
    list_->addItem(FromCp1252(line, true));
    list_->scrollToBottom();
  }
  void ProcessMessages() override { host_->processMessages(); }
  TStopRequest StopRequested() override {
    return host_->abortRequested() ? TStopRequest::AfterThisFile : TStopRequest::None;
  }

 private:
  QtHost* host_;
  QListWidget* list_;
};

// Why an import leaves nothing to publish, in French; empty when it can go on.
std::string ImportRefusal(const ImportOutcome& outcome, const TBD& db) {
  std::string why;
  if (!outcome.failure.empty())
    why = outcome.failure;
  else if (db.PersonCount == 0)
    why = "Aucune personne \xE0 publier dans ce fichier.";
  else
    return {};
  return why +
         "\r\nCliquez sur \"Pr\xE9"
         "c\xE9"
         "dent\" pour choisir un autre fichier.";
}

}  // namespace

bool SplitHostPort(const std::string& field, std::string& host, int& port) {
  host = field;
  port = 21;
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
  host_ = new QtHost(this, dialogs_);
  BrowseFolder1 = new TBrowseFolder(this, dialogs_);
  BrowseFolder1->setObjectName("BrowseFolder1");
  buildPages();
  setFixedSize(sizeHint().expandedTo(QSize(600, 430)));
}

TfmWebAssistant::~TfmWebAssistant() = default;

bool TfmWebAssistant::Busy() const {
  return host_->busy();
}

void TfmWebAssistant::buildPages() {
  PageControl1 = new QStackedWidget(this);
  PageControl1->setObjectName("PageControl1");
  QVBoxLayout* body = nullptr;

  // ts1: the picture beside the welcome texts.
  ts1 = new QWidget(PageControl1);
  ts1->setObjectName("ts1");
  {
    auto* row = new QHBoxLayout(ts1);
    row->setContentsMargins(0, 0, 0, 0);
    auto* picture = new QLabel(ts1);
    picture->setObjectName("Image1");
    picture->setPixmap(QPixmap(":/lignado/accueil.jpg"));
    picture->setAlignment(Qt::AlignTop);
    row->addWidget(picture);
    auto* texts = new QVBoxLayout;
    texts->setContentsMargins(20, 20, 20, 14);
    QLabel* title = NewLabel("Bienvenue dans Lignado", ts1);
    QFont big = title->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.5);
    title->setFont(big);
    texts->addWidget(title);
    texts->addSpacing(12);
    texts->addWidget(
        NewLabel("Diffusez votre g\xE9n\xE9"
                 "alogie \xE0 vos amis !",
                 ts1));
    texts->addSpacing(20);
    texts->addWidget(
        NewLabel("Ce logiciel permet de cr\xE9"
                 "er automatiquement des pages\r\nWeb \xE0 partir d'un fichier au "
                 "format GEDCOM.\r\nIl peut les envoyer sur votre site Internet ou "
                 "les pr\xE9parer\r\npour les graver sur CD-ROM.",
                 ts1));
    texts->addStretch(1);
    texts->addWidget(NewLabel("Cliquez sur \"Suivant\" pour s\xE9lectionner un fichier", ts1));
    row->addLayout(texts, 1);
    PageControl1->addWidget(ts1);
  }

  ts2 = NewPage(PageControl1, "ts2", "S\xE9lectionnez votre fichier GEDCOM",
                "Quel est votre fichier \xE0 visualiser sur Internet ?",
                "Cliquez sur \"Suivant\" pour lancer l'importation du fichier", body);
  {
    auto* Button1 = new QPushButton(T("Parcourir..."), ts2);
    Button1->setObjectName("Button1");
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(Button1);
    body->addLayout(row);
    lbFichier = new QListWidget(ts2);
    lbFichier->setObjectName("lbFichier");
    body->addWidget(lbFichier, 1);
    connect(Button1, &QPushButton::clicked, this, &TfmWebAssistant::Button1Click);
    connect(lbFichier, &QListWidget::itemSelectionChanged, this, &TfmWebAssistant::lbFichierClick);
  }

  ts3 = NewPage(PageControl1, "ts3", "Aper\xE7u de votre fichier GEDCOM",
                "Votre fichier est-il correct ?",
                "Cliquez sur \"Suivant\" pour choisir le mod\xE8le de mise en page", body);
  {
    Label7 = NewLabel("", ts3, "Label7");
    body->addWidget(Label7);
    ProgressBar1 = new QProgressBar(ts3);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    body->addWidget(ProgressBar1);
    body->addWidget(
        NewLabel("Voici la liste des 100 premi\xE8res personnes pr\xE9sentes dans "
                 "votre fichier :",
                 ts3));
    lbPers = new QListWidget(ts3);
    lbPers->setObjectName("lbPers");
    body->addWidget(lbPers, 1);
  }

  ts4 = NewPage(PageControl1, "ts4", "S\xE9lection du mod\xE8le",
                "Quel mod\xE8le voulez-vous utiliser ?",
                "Cliquez sur \"Suivant\" pour choisir le dossier de destination", body);
  {
    body->addWidget(NewLabel("Choisissez le mod\xE8le de mise en page dans la liste :", ts4));
    auto* row = new QHBoxLayout;
    lbModele = new QListWidget(ts4);
    lbModele->setObjectName("lbModele");
    row->addWidget(lbModele, 1);
    bTest = new QPushButton(T("Tester ce mod\xE8le"), ts4);
    bTest->setObjectName("bTest");
    row->addWidget(bTest, 0, Qt::AlignTop);
    body->addLayout(row, 1);
    connect(lbModele, &QListWidget::itemSelectionChanged, this, &TfmWebAssistant::lbModeleClick);
    connect(bTest, &QPushButton::clicked, this, &TfmWebAssistant::bTestClick);
  }

  ts5 = NewPage(PageControl1, "ts5", "S\xE9lection du dossier ou enregistrer les pages",
                "O\xF9 sauvegarder les pages ?",
                "Cliquez sur \"Suivant\" pour lancer la cr\xE9"
                "ation des pages",
                body);
  {
    body->addWidget(NewLabel("Enregistrer les pages dans le dossier :", ts5));
    auto* row = new QHBoxLayout;
    ePathExport = new QLineEdit(ts5);
    ePathExport->setObjectName("ePathExport");
    ePathExport->setReadOnly(true);
    row->addWidget(ePathExport, 1);
    auto* Button3 = new QPushButton(T("Parcourir..."), ts5);
    Button3->setObjectName("Button3");
    row->addWidget(Button3);
    body->addLayout(row);
    body->addSpacing(12);
    body->addWidget(
        NewLabel("Ces pages sont destin\xE9"
                 "es \xE0 \xEAtre :",
                 ts5));
    rbDestineWeb = new QRadioButton(T("Envoy\xE9"
                                      "es sur Internet"),
                                    ts5);
    rbDestineWeb->setObjectName("rbDestineWeb");
    rbDestineCD = new QRadioButton(T("Grav\xE9"
                                     "es sur un CD-ROM"),
                                   ts5);
    rbDestineCD->setObjectName("rbDestineCD");
    auto* kinds = new QButtonGroup(ts5);
    kinds->addButton(rbDestineWeb);
    kinds->addButton(rbDestineCD);
    body->addWidget(rbDestineWeb);
    body->addWidget(rbDestineCD);
    body->addSpacing(12);
    cbInternet = new QCheckBox(T("Cr\xE9"
                                 "er un sous dossier (Recommand\xE9)"),
                               ts5);
    cbInternet->setObjectName("cbInternet");
    cbInternet->setChecked(true);
    body->addWidget(cbInternet);
    body->addSpacing(12);
    // Dates and places of living persons are not published without their consent by default.
    auto* living = new QHBoxLayout;
    QLabel* livingLabel = NewLabel("Personnes vivantes :", ts5);
    livingLabel->setWordWrap(false);  // the colon stays with its words
    living->addWidget(livingLabel);
    cbVivants = new QComboBox(ts5);
    cbVivants->setObjectName("cbVivants");
    cbVivants->addItem(T("Masquer leurs dates, lieux, notes et sources"),
                       LivingModeName(LivingMode::Hide));
    cbVivants->addItem(T("Les rendre anonymes (\"Personne vivante\")"),
                       LivingModeName(LivingMode::Anonymous));
    cbVivants->addItem(T("Tout publier"), LivingModeName(LivingMode::Publish));
    living->addWidget(cbVivants, 1);
    body->addLayout(living);
    // Media are copied only from the GEDCOM file's folder and this one.
    auto* photos = new QHBoxLayout;
    photos->addWidget(NewLabel("Dossier des photos :", ts5));
    ePhotos = new QLineEdit(ts5);
    ePhotos->setObjectName("ePhotos");
    photos->addWidget(ePhotos, 1);
    auto* bPhotos = new QPushButton(T("Parcourir..."), ts5);
    bPhotos->setObjectName("bPhotos");
    photos->addWidget(bPhotos);
    body->addLayout(photos);
    connect(bPhotos, &QPushButton::clicked, this, &TfmWebAssistant::bPhotosClick);
    body->addStretch(1);
    connect(Button3, &QPushButton::clicked, this, &TfmWebAssistant::Button3Click);
    for (QAbstractButton* b :
         {static_cast<QAbstractButton*>(rbDestineWeb), static_cast<QAbstractButton*>(rbDestineCD),
          static_cast<QAbstractButton*>(cbInternet)})
      connect(b, &QAbstractButton::toggled, this, &TfmWebAssistant::cbInternetClick);
  }

  ts6 = NewPage(PageControl1, "ts6",
                "Les pages sont maintenant enregistr\xE9"
                "es",
                "Comment voir le r\xE9sultat ?", "", body);
  {
    body->addWidget(
        NewLabel("Cr\xE9"
                 "ation des fichiers en cours :",
                 ts6));
    ProgressBar2 = new QProgressBar(ts6);
    ProgressBar2->setObjectName("ProgressBar2");
    ProgressBar2->setRange(0, 100);
    ProgressBar2->setValue(0);
    body->addWidget(ProgressBar2);
    Panel7 = new QWidget(ts6);
    Panel7->setObjectName("Panel7");
    auto* panel = new QGridLayout(Panel7);
    panel->setContentsMargins(0, 8, 0, 0);
    panel->addWidget(NewLabel("F\xE9licitation. Les pages sont maintenant pr\xEAtes. Elles se "
                              "trouvent dans le dossier :",
                              Panel7),
                     0, 0, 1, 2);
    Label21 = NewLabel("", Panel7, "Label21");
    QFont bold = Label21->font();
    bold.setBold(true);
    Label21->setFont(bold);
    panel->addWidget(Label21, 1, 0, 1, 2);
    panel->addWidget(NewLabel("Vous pouvez vous rendre dans ce dossier afin d'en consulter le "
                              "contenu :",
                              Panel7),
                     2, 0);
    auto* Button5 = new QPushButton(T("Se rendre dans ce dossier"), Panel7);
    Button5->setObjectName("Button5");
    panel->addWidget(Button5, 2, 1);
    panel->addWidget(NewLabel("Vous pouvez tester l'enregistrement avec votre navigateur par "
                              "d\xE9"
                              "faut :",
                              Panel7),
                     3, 0);
    auto* Button4 = new QPushButton(T("Voir le r\xE9sultat obtenu"), Panel7);
    Button4->setObjectName("Button4");
    panel->addWidget(Button4, 3, 1);
    cbFtp = new QCheckBox(T("Envoyer les pages sur Internet maintenant"), Panel7);
    cbFtp->setObjectName("cbFtp");
    panel->addWidget(cbFtp, 4, 0, 1, 2);
    Label35 = NewLabel(
        "Cliquez sur \"Suivant\" pour s\xE9lectionner les param\xE8tres de votre "
        "compte Internet",
        Panel7, "Label35");
    panel->addWidget(Label35, 5, 0, 1, 2);
    Label36 = NewLabel(
        "Vous pouvez graver le contenu du dossier et distribuer le CD-ROM \xE0 "
        "vos amis.",
        Panel7, "Label36");
    panel->addWidget(Label36, 6, 0, 1, 2);
    panel->setColumnStretch(0, 1);
    body->addWidget(Panel7);
    body->addStretch(1);
    Panel7->hide();
    connect(Button5, &QPushButton::clicked, this, &TfmWebAssistant::Button5Click);
    connect(Button4, &QPushButton::clicked, this, &TfmWebAssistant::Button4Click);
    connect(cbFtp, &QCheckBox::toggled, this, &TfmWebAssistant::cbFtpClick);
  }

  ts7 = NewPage(PageControl1, "ts7", "Param\xE8tres d'envoi des fichiers par FTP",
                "O\xF9 placer mes pages sur Internet ?",
                "Cliquez sur \"Suivant\" pour commencer l'envoi des fichiers", body);
  {
    auto* grid = new QGridLayout;
    auto field = [&](int row, const char* label, const char* name, QLabel** labelOut = nullptr) {
      QLabel* l = NewLabel(label, ts7);
      l->setWordWrap(false);
      auto* e = new QLineEdit(ts7);
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
    auto* showPass = new QCheckBox(T("Afficher le mot de passe"), ts7);
    showPass->setObjectName("cbFtpShowPass");
    grid->addWidget(showPass, 5, 1);
    connect(showPass, &QCheckBox::toggled, this, [this](bool on) {
      eFtpPass->setEchoMode(on ? QLineEdit::Normal : QLineEdit::Password);
    });
    body->addLayout(grid);
    cbFtpFolder = new QCheckBox(T("Cr\xE9"
                                  "er un sous dossier"),
                                ts7);
    cbFtpFolder->setObjectName("cbFtpFolder");
    cbFtpFolder->setChecked(true);
    body->addWidget(cbFtpFolder);
    body->addWidget(
        NewLabel("Cochez cette case si vous poss\xE8"
                 "dez d\xE9j\xE0 un site internet "
                 "\xE0 cette adresse.\r\nDans ce cas, l'envoi se fera dans un sous "
                 "dossier et n'effacera pas votre site actuel.",
                 ts7));
    cbFtpTls = new QCheckBox(T("Exiger une connexion chiffr\xE9"
                               "e (TLS)"),
                             ts7);
    cbFtpTls->setObjectName("cbFtpTls");
    cbFtpTls->setToolTip(
        T("Sans cette case, la connexion est chiffr\xE9"
          "e quand le serveur le propose."));
    body->addWidget(cbFtpTls);
    cbFtpPlain =
        new QCheckBox(T("Envoyer sans chiffrement (FTP simple, mot de passe en clair)"), ts7);
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
    auto* Button6 = new QPushButton(T("Exemple"), ts7);
    Button6->setObjectName("Button6");
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(Button6);
    body->addLayout(row);
    body->addStretch(1);
    connect(cbFtpFolder, &QCheckBox::toggled, this, &TfmWebAssistant::cbFtpFolderClick);
    connect(Button6, &QPushButton::clicked, this, &TfmWebAssistant::Button6Click);
  }

  ts8 = NewPage(PageControl1, "ts8", "Envoi des fichiers par FTP",
                "Son d\xE9roulement est-il correct ?", "", body);
  {
    body->addWidget(NewLabel("Aper\xE7u de l'envoi:", ts8));
    lbFtp = new QListWidget(ts8);
    lbFtp->setObjectName("lbFtp");
    body->addWidget(lbFtp, 1);
    auto* row = new QHBoxLayout;
    QLabel* note = NewLabel(
        "Si vous stoppez l'envoi, vous aurez la possibilit\xE9 de le reprendre "
        "l\xE0 ou vous \r\nl'aurez arr\xEAt\xE9 en relan\xE7"
        "ant le programme ou en cliquant sur \"d\xE9marrer\".",
        ts8);
    note->setWordWrap(false);  // the text breaks its own lines
    row->addWidget(note, 1);
    bFtp = new QPushButton(T("D\xE9marrer"), ts8);
    bFtp->setObjectName("bFtp");
    row->addWidget(bFtp, 0, Qt::AlignTop);
    body->addLayout(row);
    cbFtpVerify = new QCheckBox(T("V\xE9rifier le site en ligne"), ts8);
    cbFtpVerify->setObjectName("cbFtpVerify");
    cbFtpVerify->setToolTip(
        T("Liste les fichiers du serveur et envoie de nouveau ceux qui y manquent ou n'ont pas "
          "la bonne taille."));
    body->addWidget(cbFtpVerify);
    connect(bFtp, &QPushButton::clicked, this, &TfmWebAssistant::bFtpClick);
  }

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
  connect(bPrecedent, &QPushButton::clicked, this, &TfmWebAssistant::bPrecedentClick);
  connect(bSuivant, &QPushButton::clicked, this, &TfmWebAssistant::bSuivantClick);
  connect(bQuitter, &QPushButton::clicked, this, &TfmWebAssistant::bQuitterClick);
  connect(bFtpResume, &QPushButton::clicked, this, &TfmWebAssistant::bFtpResumeClick);
  for (QLineEdit* e : {eFtpHost, eFtpPath, eFtpFolder, eFtpUser, eFtpPass})
    connect(e, &QLineEdit::textChanged, this, &TfmWebAssistant::eFtpChange);
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
  readSettings();
  bFtpResume->setVisible(!UploadFinished);
  bSuivant->setEnabled(true);
}

void TfmWebAssistant::readSettings() {
  const WizardSettings saved = ReadSettings(IniFile(settingsFile_));
  // Files that are gone are dropped; the next close numbers the rest again.
  for (const std::string& file : saved.recentFiles)
    if (QFileInfo(P(file)).isFile()) lbFichier->addItem(P(file));
  int last = RowNoCase(lbFichier, P(saved.lastFile));
  if (last >= 0) lbFichier->setCurrentRow(last);
  ExportBase = saved.exportFolder;
  ePathExport->setText(P(ExportBase));
  cbFtp->setChecked(saved.ftpNow);
  eFtpHost->setText(P(saved.ftpHost));
  eFtpUser->setText(P(saved.ftpUser));
  eFtpPass->setText(P(saved.ftpPass));
  eFtpPath->setText(P(saved.ftpPath));
  cbFtpFolder->setChecked(saved.ftpIsFolder);
  eFtpFolder->setText(P(saved.ftpFolder));
  UploadFinished = saved.uploadFinished;
  cbFtpTls->setChecked(saved.tlsRequired);
  cbFtpPlain->setChecked(saved.tlsOff);
  cbFtpVerify->setChecked(saved.verify);
  if (saved.destine == "CD") rbDestineCD->setChecked(true);
  if (saved.destine == "WEB") rbDestineWeb->setChecked(true);
  if (rbDestineCD->isChecked() || rbDestineWeb->isChecked()) cbInternetClick();
  int living = cbVivants->findData(QString::fromStdString(saved.living));
  cbVivants->setCurrentIndex(living >= 0 ? living : 0);
  ePhotos->setText(P(saved.photos));
}

// Close.

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
  WizardSettings s;
  if (QListWidgetItem* item = lbFichier->currentItem(); item && item->isSelected())
    s.lastFile = P(item->text());
  for (int i = 0; i < lbFichier->count(); ++i)
    s.recentFiles.push_back(P(lbFichier->item(i)->text()));
  s.exportFolder = ExportBase;
  if (QListWidgetItem* item = lbModele->currentItem(); item && item->isSelected())
    s.lastTemplate = P(item->text());
  s.ftpNow = cbFtp->isChecked();
  s.ftpHost = P(eFtpHost->text());
  s.ftpUser = P(eFtpUser->text());
  s.ftpPass = P(eFtpPass->text());
  s.ftpPath = P(eFtpPath->text());
  s.ftpIsFolder = cbFtpFolder->isChecked();
  s.ftpFolder = P(eFtpFolder->text());
  s.uploadFinished = UploadFinished;
  s.tlsRequired = cbFtpTls->isChecked();
  s.tlsOff = cbFtpPlain->isChecked();
  s.verify = cbFtpVerify->isChecked();
  if (rbDestineCD->isChecked()) s.destine = "CD";
  if (rbDestineWeb->isChecked()) s.destine = "WEB";
  s.living = cbVivants->currentData().toString().toStdString();
  s.photos = P(ePhotos->text());
  IniFile ini(settingsFile_);
  WriteSettings(ini, s);
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
  int i = PageControl1->currentIndex();
  if (i < kLastPage) PageControl1->setCurrentIndex(++i);
  bPrecedent->setVisible(i > 0);
  bSuivant->setVisible(i != kLastPage);
  enterPage(i);
}

void TfmWebAssistant::enterPage(int index) {
  switch (index) {
    case 1:
      bSuivant->setEnabled(fileSelected());
      // A new publication gives up the offer to resume the last upload.
      UploadFinished = true;
      bFtpResume->hide();
      break;
    case 2:
      ImportSelectedFile();
      break;
    case 3:
      FillTemplateList();
      break;
    case 4:
      EnterDestinationPage();
      break;
    case 5:
      GeneratePages();
      break;
    case 6:
      eFtpChange();
      break;
    case 7:
      bFtp->setText(T("D\xE9marrer"));
      bFtp->show();
      break;
    default:
      break;
  }
}

void TfmWebAssistant::bPrecedentClick() {
  int i = PageControl1->currentIndex();
  if (i > 0) PageControl1->setCurrentIndex(--i);
  bPrecedent->setVisible(i > 0);
  bSuivant->setVisible(i != kLastPage);
  bSuivant->setEnabled(true);
  if (PageControl1->currentWidget() == ts5) Panel7->hide();
}

void TfmWebAssistant::bQuitterClick() {
  close();
}

// File page.

bool TfmWebAssistant::fileSelected() const {
  return !lbFichier->selectedItems().isEmpty();
}

void TfmWebAssistant::Button1Click() {
  QString start;
  if (fileSelected()) start = QFileInfo(lbFichier->selectedItems().first()->text()).path();
  QString chosen = dialogs_.openFile(this, T("Fichier GEDCOM (*.ged)"), start);
  if (!chosen.isEmpty()) {
    int at = RowNoCase(lbFichier, chosen);
    if (at < 0) {
      lbFichier->addItem(chosen);
      at = lbFichier->count() - 1;
    }
    lbFichier->setCurrentRow(at);
  }
  bSuivant->setEnabled(fileSelected());
}

void TfmWebAssistant::lbFichierClick() {
  bSuivant->setEnabled(fileSelected());
}

// Import and the person list.

void TfmWebAssistant::ImportSelectedFile() {
  if (!fileSelected()) return;
  std::string file = P(lbFichier->selectedItems().first()->text());
  lbPers->clear();
  Label7->clear();
  ProgressBar1->setValue(0);
  // The buttons stay still while the import dispatches events; Escape stops it.
  const bool back = bPrecedent->isEnabled();
  bool next = bSuivant->isEnabled();
  for (QPushButton* b : {bPrecedent, bSuivant, bQuitter}) b->setEnabled(false);
  host_->attach(Label7, ProgressBar1);
  host_->begin();
  ImportOutcome outcome = ImportForPublication(file, ImportOptions{}, host_, std::move(db_));
  host_->end();
  db_ = outcome.db ? std::move(outcome.db) : std::make_unique<TBD>();
  gedcomFolder_ = QFileInfo(P(file)).absolutePath().toStdString();
  if (!outcome.failure.empty()) dialogs_.message(this, T(outcome.failure));
  if (outcome.failure.empty() && !outcome.result.aborted) ProgressBar1->setValue(100);
  // The import counts every 182 records: a small file would be left showing "0 / 0".
  if (outcome.failure.empty() && outcome.dropped.empty())
    Label7->setText(T("Nombre de personnes et d'unions : " + std::to_string(db_->PersonCount) +
                      " / " + std::to_string(db_->UnionCount)));
  // A refused file must not lead to a site generated empty over the user's real one.
  if (const std::string refusal = ImportRefusal(outcome, *db_); !refusal.empty()) {
    Label7->setText(T(refusal));
    next = false;
  }
  lbPers->setUpdatesEnabled(false);
  for (const std::string& line : PersonLines(*db_)) lbPers->addItem(FromCp1252(line, true));
  lbPers->setUpdatesEnabled(true);
  bPrecedent->setEnabled(back);
  bSuivant->setEnabled(next);
  bQuitter->setEnabled(true);
  workEnded();
}

// Template page.

void TfmWebAssistant::FillTemplateList() {
  lbModele->clear();
  templates_ = ListTemplates(TemplateRoots());
  for (const TemplateChoice& t : templates_) lbModele->addItem(FromCp1252(t.name));
  // The template saved at the last close, read now: a choice made earlier in this run is not it.
  QString last = P(ReadSettings(IniFile(settingsFile_)).lastTemplate);
  int at = RowNoCase(lbModele, last);
  if (at >= 0) lbModele->setCurrentRow(at);
  lbModeleClick();
}

void TfmWebAssistant::lbModeleClick() {
  QList<QListWidgetItem*> selected = lbModele->selectedItems();
  bool chosen = !selected.isEmpty();
  bSuivant->setEnabled(chosen);
  bTest->setEnabled(chosen);
  if (chosen) {
    size_t row = static_cast<size_t>(lbModele->row(selected.first()));
    if (row < templates_.size()) TemplateDir = templates_[row].folder.string() + "/";
  }
}

void TfmWebAssistant::bTestClick() {
  if (TemplateDir.empty()) return;
  // An installed template is read-only: the preview writes its scratch page beside the
  // template's files and saves edits there, so it works on the user's own copy.
  if (!FolderWritable(TemplateDir)) {
    std::string reason;
    std::optional<fs::path> copy = UserCopyOfTemplate(TemplateDir, reason);
    if (!copy) {
      dialogs_.message(this, T(reason));
      return;
    }
    TemplateDir = copy->string() + "/";
    dialogs_.message(this, T("Ce mod\xE8le est install\xE9 en lecture seule : l'aper\xE7u et vos "
                             "modifications utilisent une copie, dans le dossier \"" +
                             Utf8ToCp1252(copy->string()) + "\"."));
  }
  // The living persons as the site will show them: the mode chosen, the saved one at first.
  LivingMode living =
      LivingModeNamed(cbVivants->currentData().toString().toStdString()).value_or(LivingMode::Hide);
  MediaRules media;
  for (const std::string& folder : {gedcomFolder_, P(ePhotos->text())})
    if (!folder.empty()) media.folders.push_back(folder);
  TfmWeb web(this, windowTitle(), TemplateDir, *db_, dialogs_, host_, living, media);
  web.setObjectName("fmWeb");
  web.exec();
}

// Destination page.

void TfmWebAssistant::EnterDestinationPage() {
  Panel7->hide();
  cbInternetClick();
}

void TfmWebAssistant::Button3Click() {
  BrowseFolder1->Directory = P(ExportBase);
  if (BrowseFolder1->Execute()) ExportBase = P(BrowseFolder1->Directory);
  // An empty base stays empty: "/" alone would send the pages to the root of the disk.
  if (!ExportBase.empty() && ExportBase.back() != '/') ExportBase += '/';
  cbInternetClick();
}

void TfmWebAssistant::bPhotosClick() {
  BrowseFolder1->Directory = ePhotos->text();
  if (BrowseFolder1->Execute()) ePhotos->setText(BrowseFolder1->Directory);
}

void TfmWebAssistant::cbInternetClick() {
  if (rbDestineWeb->isChecked()) ExportSubFolder = lignado::ExportSubFolder(Destine::Web);
  if (rbDestineCD->isChecked()) ExportSubFolder = lignado::ExportSubFolder(Destine::CD);
  if (!ExportBase.empty())
    ePathExport->setText(P(cbInternet->isChecked() ? ExportBase + ExportSubFolder : ExportBase));
  bSuivant->setEnabled(!ExportBase.empty() &&
                       (rbDestineWeb->isChecked() || rbDestineCD->isChecked()));
}

// Generation and result.

void TfmWebAssistant::GeneratePages() {
  cbFtpClick();
  std::string folder = P(ePathExport->text());
  if (!folder.empty() && folder.back() != '/') folder += '/';
  if (!DestinationConfirmed(folder)) {
    bPrecedentClick();
    return;
  }
  if (!MakeExportFolder(folder).ok) {
    dialogs_.message(this, T("Impossible de cr\xE9"
                             "er le dossier\"" +
                             Utf8ToCp1252(folder) + "\""));
    return;
  }
  const bool back = bPrecedent->isEnabled(), next = bSuivant->isEnabled();
  GenerateOutcome outcome;
  // A stop asked by the user is said in its own words, and the user may start again at once.
  do {
    for (QPushButton* b : {bPrecedent, bSuivant, bQuitter}) b->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ProgressBar2->setValue(0);
    host_->attach(nullptr, ProgressBar2);
    host_->begin();
    outcome = GenerateOutcome();
    try {
      LivingMode living = LivingModeNamed(cbVivants->currentData().toString().toStdString())
                              .value_or(LivingMode::Hide);
      MediaOptions media;
      if (!ePhotos->text().isEmpty()) media.folders.push_back(P(ePhotos->text()));
      outcome =
          GeneratePublication(*db_, TemplateDir, folder, host_, living, 0, gedcomFolder_, media);
    } catch (const std::exception&) {
      outcome.done = false;
    }
    host_->end();
    QApplication::restoreOverrideCursor();
    bPrecedent->setEnabled(back);
    bSuivant->setEnabled(next);
    bQuitter->setEnabled(true);
  } while (outcome.stopped && !closeWhenDone_ &&
           dialogs_.ask(this, T(std::string(kGenerationStopped) +
                                ".\r\nLes pages d\xE9j\xE0 \xE9"
                                "crites sont enti\xE8res, mais le site n'est pas complet."
                                "\r\nRecommencer la cr\xE9"
                                "ation des pages ?")));
  if (outcome.done) ProgressBar2->setValue(100);
  if (outcome.stopped) {
    // An unfinished site is not offered for upload: back to the destination, or start again.
    bSuivant->setEnabled(false);
  } else if (!outcome.done) {
    std::string text = "La sauvegarde n'a pas abouti";
    if (!outcome.failure.empty() && outcome.failure != text) text += "\r\n" + outcome.failure;
    dialogs_.message(this, T(text));
  } else {
    std::vector<std::string> lines = outcome.pagesLimited;
    lines.insert(lines.end(), outcome.mediaMissing.begin(), outcome.mediaMissing.end());
    if (!lines.empty()) {
      std::string text;
      for (size_t i = 0; i < lines.size() && i < 20; ++i) text += (i ? "\r\n" : "") + lines[i];
      if (lines.size() > 20) text += "\r\n...";
      dialogs_.message(this, T(text));
    }
    Panel7->show();
    Label21->setText(P(folder));
    Label36->setVisible(rbDestineCD->isChecked());
    cbFtp->setVisible(rbDestineWeb->isChecked());
    if (rbDestineCD->isChecked()) cbFtp->setChecked(false);
    cbFtpClick();
    if (!outcome.warning.empty()) dialogs_.message(this, T(outcome.warning));
  }
  workEnded();
}

void TfmWebAssistant::cbFtpClick() {
  Label35->setVisible(cbFtp->isChecked());
  bSuivant->setVisible(cbFtp->isChecked());
}

void TfmWebAssistant::Button5Click() {
  if (!dialogs_.openUrl(QUrl::fromLocalFile(ePathExport->text())))
    dialogs_.message(this, T("Aucun gestionnaire de fichiers n'a pu \xEAtre ouvert. Les pages se "
                             "trouvent dans le dossier :\r\n" +
                             ToCp1252(ePathExport->text())));
}

void TfmWebAssistant::Button4Click() {
  QString folder = ePathExport->text();
  if (!folder.endsWith('/')) folder += '/';
  if (!dialogs_.openUrl(QUrl::fromLocalFile(folder + "index.html")))
    dialogs_.message(this, T("Aucun navigateur n'a pu \xEAtre ouvert. Ouvrez vous-m\xEAme la page "
                             "d'accueil :\r\n" +
                             ToCp1252(folder + "index.html")));
}

// FTP account page.

void TfmWebAssistant::eFtpChange() {
  // The sub-folder name is needed only when the pages go into a sub-folder.
  bSuivant->setEnabled(!eFtpHost->text().isEmpty() && !eFtpUser->text().isEmpty() &&
                       !eFtpPass->text().isEmpty() &&
                       (!cbFtpFolder->isChecked() || !eFtpFolder->text().isEmpty()));
}

void TfmWebAssistant::cbFtpFolderClick() {
  eFtpFolder->setVisible(cbFtpFolder->isChecked());
  Label47->setVisible(cbFtpFolder->isChecked());
  if (PageControl1->currentWidget() == ts7) eFtpChange();
}

void TfmWebAssistant::Button6Click() {
  eFtpHost->setText("ftp.example.com");
  eFtpUser->setText("lignado");
  eFtpPass->clear();
  eFtpPath->clear();
  cbFtpFolder->setChecked(true);
  eFtpFolder->setText("lignado");
}

// Upload page.

void TfmWebAssistant::bFtpClick() {
  if (Busy()) {
    // Between two files the upload sees the request and returns.
    host_->stop();
    bFtp->setEnabled(false);
    return;
  }
  const bool finishedBefore = UploadFinished;
  UploadFinished = false;
  lbFtp->clear();
  bFtp->setText(T("Stopper"));
  bPrecedent->setEnabled(false);
  bQuitter->setEnabled(false);
  QApplication::setOverrideCursor(Qt::WaitCursor);

  UploadRequest request;
  UploadOutcome outcome;
  bool hostOk = SplitHostPort(P(eFtpHost->text()), request.host, request.port);
  request.user = P(eFtpUser->text());
  request.password = P(eFtpPass->text());
  request.remoteRoot =
      RemoteRoot(P(eFtpPath->text()), cbFtpFolder->isChecked() ? P(eFtpFolder->text()) : "");
  request.localFolder = P(ePathExport->text());
  if (!hostOk) {
    lbFtp->addItem(
        T("Erreur: Num\xE9ro de port invalide dans \"" + ToCp1252(eFtpHost->text()) + "\""));
  } else {
    host_->attach(nullptr, nullptr);
    host_->begin();
    request.tls = cbFtpPlain->isChecked() ? FtpTls::Off
                  : cbFtpTls->isChecked() ? FtpTls::Require
                                          : FtpTls::Auto;
    request.verify = cbFtpVerify->isChecked();
    UploadOwner owner(host_, lbFtp);
    std::string failure = UploadWithTrust(request, outcome, owner);
    ConfirmHeldDeletions(request, outcome, owner);
    host_->end();
    if (!failure.empty()) lbFtp->addItem(T(failure));
  }

  QApplication::restoreOverrideCursor();
  bPrecedent->setEnabled(true);
  bQuitter->setEnabled(true);
  bFtp->setEnabled(true);
  bFtp->setText(T("D\xE9marrer"));
  if (outcome.ok) UploadFinished = true;
  // Nothing was sent: there is nothing to resume.
  if (outcome.loginRefused) UploadFinished = finishedBefore;
  dialogs_.message(
      this, T(outcome.plainRefused
                  ? "Ce serveur a d\xE9j\xE0 \xE9t\xE9 joint avec une connexion chiffr\xE9"
                    "e (TLS), qu'il refuse maintenant : le mot de passe n'a pas \xE9t\xE9 "
                    "envoy\xE9.\r\nSi vous \xEAtes s\xFBr de ce serveur, cochez \xAB Envoyer "
                    "sans chiffrement \xBB dans les param\xE8tres d'envoi et relancez l'envoi."
                  : outcome.Message()));
  workEnded();
}

// Sends with the certificate trusted for this server. One the system does not vouch for (often
// self-signed by the host) is the user's call, once per fingerprint; a certificate other than
// the one trusted before has changed, and the question says so (No by default). The certificate
// of a TLS connection is kept per server: that server is never sent the password in clear again
// unless the box allows it. Gives the reason when it could not be kept.
std::string TfmWebAssistant::UploadWithTrust(UploadRequest& request, UploadOutcome& outcome,
                                             TFtpObserver& owner) {
  const std::string server = UploadMarks::Destination(request.host, request.port, "");
  std::string trusted = TrustedCertificate(IniFile(settingsFile_), server);
  for (;;) {
    request.tlsFingerprint = trusted;
    outcome = UploadPublication(request, &owner);
    const std::string& seen = outcome.refusedFingerprint;
    if (seen.empty() || seen == trusted) break;
    std::string question =
        trusted.empty() ? "Le certificat du serveur n'est pas reconnu par le syst\xE8me."
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
    if (!dialogs_.ask(this, T(question))) break;
    trusted = seen;
  }
  if (outcome.tlsFingerprint.empty()) return "";
  IniFile ini(settingsFile_);
  if (TrustedCertificate(ini, server) == outcome.tlsFingerprint) return "";
  SetTrustedCertificate(ini, server, outcome.tlsFingerprint);
  std::string reason;
  return ini.Save(&reason) ? "" : "Attention: " + reason;
}

// A mirror that would remove most of what was sent there (a site generated from the wrong
// file or folder) held its deletions back: they go only on the user's word, No by default.
void TfmWebAssistant::ConfirmHeldDeletions(UploadRequest& request, UploadOutcome& outcome,
                                           TFtpObserver& owner) {
  if (outcome.heldDeletions == 0) return;
  const std::string n = std::to_string(outcome.heldDeletions);
  if (!dialogs_.ask(this, T("L'envoi supprimerait " + n +
                            " fichiers du site en ligne, plus de la moiti\xE9 de ceux qui y ont "
                            "\xE9t\xE9 envoy\xE9s.\r\nSi la g\xE9n\xE9"
                            "alogie a vraiment perdu ces pages, r\xE9pondez Oui. Sinon "
                            "(mauvais fichier GEDCOM, mauvais dossier), r\xE9pondez Non : rien ne "
                            "sera supprim\xE9.\r\nSupprimer ces " +
                            n + " fichiers du serveur ?")))
    return;
  request.maxDelete = outcome.heldDeletions;
  outcome = UploadPublication(request, &owner);
}

// A folder that holds files no generation wrote may be the user's own (a home folder chosen by
// mistake): the pages, and later the upload of all it holds, go there only on the user's word.
bool TfmWebAssistant::DestinationConfirmed(const std::string& folder) {
  if (DestinationState(folder) != FolderState::Other) return true;
  return dialogs_.ask(
      this, T("Le dossier \"" + Utf8ToCp1252(folder) +
              "\" contient d\xE9j\xE0 des fichiers qui ne viennent pas d'une cr\xE9"
              "ation de pages.\r\nLes pages y seront ajout\xE9"
              "es, et un envoi sur Internet enverra aussi ces fichiers.\r\nEnregistrer quand "
              "m\xEAme les pages dans ce dossier ?"));
}

void TfmWebAssistant::bFtpResumeClick() {
  PageControl1->setCurrentWidget(ts8);
  bFtpResume->hide();
  bPrecedent->hide();
  bSuivant->hide();
  bFtp->setText(T("D\xE9marrer"));
}

}  // namespace lignado::ui
