// The IPv4 address entry: what it takes as text, what the octet boxes accept, and what
// it reads back.
#include <QLineEdit>
#include <QtTest>

#include "ui/Ipv4Field.h"

using namespace dsptune;

class Ipv4FieldTest : public QObject {
  Q_OBJECT

 private slots:
  void parse_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << "10.0.0.7" << true << "10.0.0.7";
    QTest::newRow("leading zeros") << "010.000.00.7" << true << "10.0.0.7";
    QTest::newRow("blanks around") << " 127.0.0.9 " << true << "127.0.0.9";
    QTest::newRow("three parts") << "10.0.7" << false << "255.255.255.255";
    QTest::newRow("five parts") << "1.2.3.4.5" << false << "255.255.255.255";
    QTest::newRow("above 255") << "1.2.3.256" << false << "255.255.255.255";
    QTest::newRow("empty part") << "1..3.4" << false << "255.255.255.255";
    QTest::newRow("sign") << "1.-2.3.4" << false << "255.255.255.255";
    QTest::newRow("empty") << "" << false << "255.255.255.255";
  }
  void parse() {
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(QString, shown);
    std::array<std::uint8_t, 4> octets{};
    QCOMPARE(ParseIpv4(text, octets), ok);
    Ipv4Field field;
    field.SetText(text);
    QCOMPARE(field.Text(), shown);
  }

  void boxesTakeOnlyOctets() {
    Ipv4Field field;
    field.show();
    QVERIFY(QTest::qWaitForWindowExposed(&field));
    field.OctetBox(0).setFocus();
    QTest::keyClicks(&field.OctetBox(0), "1x9");
    QCOMPARE(field.OctetBox(0).text(), QString("19"));
    QTest::keyClick(&field.OctetBox(0), '.');  // a dot moves on
    QVERIFY(field.OctetBox(1).hasFocus());
    QTest::keyClicks(&field.OctetBox(1), "299");  // 299 is refused at its last digit
    QCOMPARE(field.OctetBox(1).text(), QString("29"));
    field.OctetBox(1).clear();
    QTest::keyClicks(&field.OctetBox(1), "255");  // a third digit moves on
    QVERIFY(field.OctetBox(2).hasFocus());
    QCOMPARE(field.Text(), QString("19.255.0.0"));  // empty boxes count as 0
  }

  // Typing an address the ordinary ways, each key going to whichever box has the focus
  // (as a keyboard does), starting in the first box with its text selected as the
  // dialog opens it. "<" stands for Backspace.
  void typingGivesTheTypedAddress_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("after");
    QTest::newRow("over a longer address") << "192.168.1.100" << "127.0.0.1" << "127.0.0.1";
    QTest::newRow("three digits, no dots") << "192.168.1.100" << "127001001001" << "127.1.1.1";
    QTest::newRow("three digits then dots") << "0.0.0.0" << "192.168.100.200" << "192.168.100.200";
    QTest::newRow("short octets") << "192.168.1.100" << "10.0.0.7" << "10.0.0.7";
    QTest::newRow("leading zeros") << "1.2.3.4" << "010.001.000.009" << "10.1.0.9";
    QTest::newRow("a dot in an empty box stays") << "1.2.3.4" << "<.10.20.30.40" << "10.20.30.40";
    QTest::newRow("backspace goes back a box") << "1.2.3.4" << "10.20.3<<4.5.6" << "10.24.5.6";
    QTest::newRow("all 255") << "0.0.0.0" << "255.255.255.255" << "255.255.255.255";
  }
  void typingGivesTheTypedAddress() {
    QFETCH(QString, before);
    QFETCH(QString, keys);
    QFETCH(QString, after);
    Ipv4Field field;
    field.SetText(before);
    field.show();
    QVERIFY(QTest::qWaitForWindowExposed(&field));
    field.activateWindow();
    field.OctetBox(0).setFocus();
    field.OctetBox(0).selectAll();
    for (QChar c : keys) {
      QWidget* target = QApplication::focusWidget();
      QVERIFY(target);
      if (c == '<') QTest::keyClick(target, Qt::Key_Backspace);
      else QTest::keyClick(target, c.toLatin1());
    }
    QCOMPARE(field.Text(), after);
  }
};

QTEST_MAIN(Ipv4FieldTest)
#include "Ipv4FieldTest.moc"
