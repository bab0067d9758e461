#include "ui/QtText.h"

#include <QTest>

using lignado::ui::FromCp1252;
using lignado::ui::ToCp1252;

class QtTextTest : public QObject {
  Q_OBJECT

 private slots:
  void roundTrip_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("references");
    QTest::addColumn<QString>("shown");
    auto row = [](const char* name, const char* bytes, bool refs, const QString& shown) {
      QTest::newRow(name) << QByteArray(bytes) << refs << shown;
    };
    row("accents", "\xC9t\xE9 \xE0 l'\xEEle", false, QString::fromUtf8("Été à l'île"));
    row("high block", "\x80\x8C\x9C\x85", false, QString::fromUtf8("€Œœ…"));
    row("undefined bytes", "a\x81\x8D\x8F\x90\x9D", false,
        QString::fromUcs4(U"a\u0081\u008D\u008F\u0090\u009D"));
    row("reference kept", "W&#322;odek", false, "W&#322;odek");
    row("reference shown", "W&#322;odek &#128512;", true,
        QString::fromUcs4(U"W\u0142odek \U0001F600"));
    row("Windows-1252 reference stays", "&#233;&#60;&#38;", true, "&#233;&#60;&#38;");
    row("broken references stay", "&#;&#12 &#x142; &#99999999999; &#55296;", true,
        "&#;&#12 &#x142; &#99999999999; &#55296;");
    row("reference at the end", "Ko&#347;", true, QString::fromUcs4(U"Ko\u015B"));
  }
  void roundTrip() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, references);
    QFETCH(QString, shown);
    std::string text = bytes.toStdString();
    QCOMPARE(FromCp1252(text, references), shown);
    QCOMPARE(QByteArray::fromStdString(ToCp1252(shown)), bytes);
  }

  void outsideWindows1252() {
    QCOMPARE(ToCp1252(QString::fromUcs4(U"\u0142\u20AC\U0001F600")), "&#322;\x80&#128512;");
  }
};

QTEST_GUILESS_MAIN(QtTextTest)
#include "QtText_test.moc"
