// The service page through its widgets: every button's request, the serial number's input
// limits, the IP address field and its enabling.

#include "pages/service_tab.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <string>
#include <vector>

#include "pages/control_id.h"
#include "tests/pages/fake_host.h"

using ql::pages::cDlgRNDTab;
using ql::pages::Control;
using ql::testsupport::FakeHost;

namespace {

// Types `text` key by key, characters outside ASCII included (QTest::keyClicks takes ASCII).
void Type(QWidget* widget, const QString& text) {
  for (const QChar c : text) {
    const auto key =
        c.unicode() < 0x80 ? static_cast<Qt::Key>(c.toUpper().unicode()) : Qt::Key_unknown;
    QTest::sendKeyEvent(QTest::Press, widget, key, QString(c), Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Release, widget, key, QString(c), Qt::NoModifier);
  }
}

struct Fixture {
  FakeHost host;
  cDlgRNDTab page{host};
  Fixture() {
    host.station.portOpen = true;
    page.EnableIpControls(true);
    page.show();
    (void)QTest::qWaitForWindowExposed(&page);
  }
  QPushButton* Button(int id) { return Control<QPushButton>(&page, id); }
  QLineEdit* SerialNumber() { return Control<QLineEdit>(&page, 1198); }
  QLineEdit* Address() { return Control<QLineEdit>(&page, 1255); }
};

}  // namespace

class ServiceTabTest : public QObject {
  Q_OBJECT

 private slots:
  void buttonsSendTheirRequests_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("call");
    QTest::newRow("Self Test") << 1225 << "Self Test"
                               << "SelfTest";
    QTest::newRow("Factory Default") << 1240 << "Docking Factory Default"
                                     << "FactoryDefault";
    QTest::newRow("FW Erase") << 1239 << "Docking FW version Erase"
                              << "EraseFirmware";
    QTest::newRow("Linkup Start") << 1256 << "Linkup Start"
                                  << "EthernetLinkTest";
    QTest::newRow("Get IpAdress") << 1254 << "Get IpAdress"
                                  << "GetIpAddress";
  }
  void buttonsSendTheirRequests() {
    QFETCH(int, id);
    QFETCH(QString, caption);
    QFETCH(QString, call);
    Fixture f;
    QPushButton* button = f.Button(id);
    QVERIFY(button != nullptr);
    QCOMPARE(button->text(), caption);
    QCOMPARE(button->accessibleName(), caption);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(f.host.station.calls, (std::vector<std::string>{call.toStdString()}));
    QVERIFY(f.host.messages.empty());  // the engine answers; the page says nothing itself
  }

  // The input takes at most 12 characters, letters and digits only, as the docking page
  // shows the serial number and writes it back; what it holds is sent as it stands (an
  // empty input too: the engine refuses it with its message).
  void serialNumberInput_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sent");
    QTest::newRow("six") << "SN0042"
                         << "WriteSerialNumber SN0042";
    QTest::newRow("twelve") << "DS2612000042"
                            << "WriteSerialNumber DS2612000042";
    QTest::newRow("thirteen cut to twelve") << "ABCDEFGHIJKLM"
                                            << "WriteSerialNumber ABCDEFGHIJKL";
    QTest::newRow("punctuation and blanks dropped") << "DS2-0044 17"
                                                    << "WriteSerialNumber DS2004417";
    QTest::newRow("outside Latin-1 dropped")
        << QStringLiteral("AB\uac00C") << "WriteSerialNumber ABC";
    QTest::newRow("empty") << ""
                           << "WriteSerialNumber ";
  }
  void serialNumberInput() {
    QFETCH(QString, typed);
    QFETCH(QString, sent);
    Fixture f;
    f.SerialNumber()->setFocus();
    Type(f.SerialNumber(), typed);
    QTest::mouseClick(f.Button(1226), Qt::LeftButton);
    QCOMPARE(f.host.station.calls, (std::vector<std::string>{sent.toStdString()}));
  }

  // Enter in the serial number field presses no button: nothing goes to the station.
  void enterInTheSerialNumberSendsNothing() {
    Fixture f;
    f.SerialNumber()->setFocus();
    QTest::keyClicks(f.SerialNumber(), QStringLiteral("SN1"));
    QTest::keyClick(f.SerialNumber(), Qt::Key_Return);
    QTest::keyClick(f.SerialNumber(), Qt::Key_Escape);
    QVERIFY(f.host.station.calls.empty());
  }

  void ipAddressIsShownFirstOctetFirstAndClearedBeforeTheNextAsk() {
    Fixture f;
    f.page.ShowIpAddress({0xC0, 0xA8, 0x01, 0x64});
    QCOMPARE(f.Address()->text(), QStringLiteral("192.168.1.100"));
    QTest::mouseClick(f.Button(1254), Qt::LeftButton);
    QCOMPARE(f.Address()->text(), QString());
    QVERIFY(f.Address()->isReadOnly());
  }

  // A request in flight (an upload above all): no button sends until it ends.
  void busyPageSendsNothing() {
    Fixture f;
    f.page.SetBusy(true);
    for (int id : {1226, 1225, 1240, 1239, 1256, 1254}) {
      QVERIFY2(!f.Button(id)->isEnabled(), qPrintable(QString::number(id)));
    }
    f.page.EnableIpControls(true);  // a station reported meanwhile
    QVERIFY(!f.Button(1254)->isEnabled());
    f.page.SetBusy(false);
    for (int id : {1226, 1225, 1240, 1239, 1256, 1254}) {
      QVERIFY2(f.Button(id)->isEnabled(), qPrintable(QString::number(id)));
    }
  }

  void ipControlsFollowTheStation() {
    Fixture f;
    f.page.EnableIpControls(false);
    QVERIFY(!f.Button(1254)->isEnabled());
    QVERIFY(!f.Address()->isEnabled());
    QVERIFY(f.Button(1256)->isEnabled());  // the other buttons stay; the engine refuses them
    f.page.EnableIpControls(true);
    QVERIFY(f.Button(1254)->isEnabled());
    QVERIFY(f.Address()->isEnabled());
  }
};

QTEST_MAIN(ServiceTabTest)
#include "service_tab_test.moc"
