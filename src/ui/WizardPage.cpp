#include "ui/WizardPage.h"

#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "ui/QtText.h"

namespace lignado::ui {

WizardPage::WizardPage(TfmWebAssistant& wizard, const char* name, const std::string& headline,
                       const std::string& question, const std::string& hint)
    : wizard_(wizard) {
  setObjectName(name);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  if (!headline.empty()) {
    // White heading with the headline and the question, a line below.
    auto* heading = new QFrame(this);
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
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    column->addWidget(line);
  }
  auto* inner = new QWidget(this);
  body_ = new QVBoxLayout(inner);
  if (headline.empty())
    body_->setContentsMargins(0, 0, 0, 0);
  else
    body_->setContentsMargins(36, 14, 36, 6);
  column->addWidget(inner, 1);
  if (!hint.empty()) {
    QLabel* h = NewLabel(hint, this);
    h->setContentsMargins(36, 0, 36, 12);
    column->addWidget(h);
  }
}

QString T(const std::string& text) {
  QString s = FromCp1252(text, true);
  s.replace("\r\n", "\n");
  return s;
}

QString P(const std::string& path) {
  return QString::fromStdString(path);
}

std::string P(const QString& text) {
  return text.toStdString();
}

QLabel* NewLabel(const std::string& text, QWidget* parent, const char* name) {
  auto* l = new QLabel(T(text), parent);
  if (name) l->setObjectName(name);
  l->setWordWrap(true);
  return l;
}

int RowNoCase(const QListWidget* list, const QString& text) {
  for (int i = 0; i < list->count(); ++i)
    if (list->item(i)->text().compare(text, Qt::CaseInsensitive) == 0) return i;
  return -1;
}

}  // namespace lignado::ui
