// The virtual reader's panel: what it shows of the field, the place buttons and the feeder.
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

#include "CardFeeder.h"
#include "ReaderEngine.h"
#include "SimPanel.h"
#include "TransponderCommands.h"
#include "TransponderFactory.h"
#include "cards/CardFormat.h"
#include "support/AppTest.h"

namespace {

template <typename T>
T* Child(QWidget* panel, const char* name) {
    T* child = panel->findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) qFatal("%s missing", name);
    return child;
}

QString Text(QWidget* panel, const char* name) {
    return Child<QLabel>(panel, name)->text();
}

void Choose(QWidget* panel, const char* name, const QString& item) {
    QComboBox* box = Child<QComboBox>(panel, name);
    const int index = box->findText(item);
    if (index < 0) qFatal("%s has no %s", name, qPrintable(item));
    box->setCurrentIndex(index);
}

// A write request as a station sends it.
void Write(vsim::ReaderEngine& engine, std::vector<uint8_t> data) {
    const std::vector<uint8_t> frame =
        vsim::BuildFrame({vsim::Framing::Stx, 1, vsim::command::kWriteBlocks, std::move(data)});
    engine.OnBytes(frame.data(), frame.size(), 0);
}

}  // namespace

class TestSimPanel : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init();
    void cleanup();
    void showsWhatLiesOnTheField();
    void placesAndRemovesChips();
    void feederButtonStartsAndStops();

  private:
    std::unique_ptr<vsim::ReaderEngine> m_engine;
    std::unique_ptr<vsim::CardFeeder> m_feeder;
    std::unique_ptr<vsim::panel::SimPanel> m_panel;
};

void TestSimPanel::init() {
    m_engine = std::make_unique<vsim::ReaderEngine>();
    m_feeder = std::make_unique<vsim::CardFeeder>(*m_engine);
    m_panel = std::make_unique<vsim::panel::SimPanel>(*m_engine, *m_feeder, "/dev/pts/99");
    m_panel->show();
}

void TestSimPanel::cleanup() {
    m_panel.reset();
    m_feeder.reset();
    m_engine.reset();
}

void TestSimPanel::showsWhatLiesOnTheField() {
    QWidget* panel = m_panel.get();
    QCOMPARE(Text(panel, "fieldChip"), "nothing on the field");
    QVERIFY(Text(panel, "panelStatus").contains("/dev/pts/99"));

    m_engine->PlaceTransponder(
        vsim::MakeCardChip(9, vellf::EncodeCardWord(vellf::kCardFormat26, 12, 3456, 0)));
    // Data block 2 written again with its lock bit.
    const uint32_t block2 = vellf::CardBlocks(vellf::EncodeCardWord(26, 12, 3456, 0))[1];
    Write(*m_engine, {9, 0x82, static_cast<uint8_t>(block2), static_cast<uint8_t>(block2 >> 8),
                      static_cast<uint8_t>(block2 >> 16), static_cast<uint8_t>(block2 >> 24)});
    QTRY_COMPARE(Text(panel, "fieldChip"), "ATA5577 (type 9)");
    // The identification reads as in the station's "Hersteller UID" field.
    QVERIFY(m_engine->SetTransponderId({0x03, 0x00, 0x00, 0x00, 0x09, 0x56, 0x53, 0xE0}));
    QTRY_COMPARE(Text(panel, "fieldId"), "E053560900000003");
    QVERIFY(Text(panel, "fieldCard").startsWith("26-bit: facility 12, number 3456\n"));
    QCOMPARE(Text(panel, "fieldLock"), "block 2 locked");
    const QStringList memory =
        Child<QPlainTextEdit>(panel, "fieldMemory")->toPlainText().split('\n');
    QCOMPARE(memory.size(), 12);
    QCOMPARE(memory[0], " 0  60107060");
    QVERIFY(memory[2].endsWith("  locked"));
    QVERIFY(Text(panel, "panelStatus").contains("1 requests"));

    // The M2 protects itself as a whole; its memory goes by bytes.
    auto m2 = vsim::MakeCardChip(11, vellf::EncodeCardWord(vellf::kCardFormat37, 7, 99, 0));
    m_engine->PlaceTransponder(std::move(m2));
    Write(*m_engine, {11, 16, 0x6A});
    QTRY_COMPARE(Text(panel, "fieldLock"), "write-protected");
    QVERIFY(Text(panel, "fieldCard").startsWith("37-bit: facility 7, number 99\n"));
    QCOMPARE(Child<QPlainTextEdit>(panel, "fieldMemory")->toPlainText().split('\n').last(),
             "16  6A");

    m_engine->PlaceTransponder(vsim::MakeManchesterCard({0xAB, 0xCD}));
    QTRY_COMPARE(Text(panel, "fieldCard"), "sends AB CD (Manchester)");
    QCOMPARE(Text(panel, "fieldId"), "none (read-only card)");

    m_engine->RemoveTransponder();
    QTRY_COMPARE(Text(panel, "fieldChip"), "nothing on the field");
    QVERIFY(Child<QPlainTextEdit>(panel, "fieldMemory")->toPlainText().isEmpty());
}

void TestSimPanel::placesAndRemovesChips() {
    QWidget* panel = m_panel.get();
    Choose(panel, "placeChip", "SIC7888");
    Child<QPushButton>(panel, "placeBlank")->click();
    QCOMPARE(m_engine->FieldSnapshot()->chipType, 12);
    QVERIFY(!m_engine->FieldSnapshot()->cardWord);

    // A new ATA5577 comes with a configuration that a reader finds.
    Choose(panel, "placeChip", "ATA5577");
    Child<QPushButton>(panel, "placeBlank")->click();
    QCOMPARE(m_engine->FieldSnapshot()->BlockValue(0), 0x000880E8u);

    Choose(panel, "placeChip", "TL008");
    Choose(panel, "placeFormat", "36-bit");
    QSpinBox* fixed = Child<QSpinBox>(panel, "placeFixed");
    QVERIFY(fixed->isEnabled());
    QCOMPARE(fixed->maximum(), 1023);
    Child<QSpinBox>(panel, "placeFieldA")->setValue(200);
    Child<QSpinBox>(panel, "placeNumber")->setValue(65535);
    fixed->setValue(1000);
    Child<QPushButton>(panel, "placeCard")->click();
    const auto snapshot = m_engine->FieldSnapshot();
    QCOMPARE(snapshot->chipType, 17);
    QVERIFY(snapshot->cardWord.has_value());
    const vellf::DecodedCard card =
        vellf::DecodeCardWord(vellf::kCardFormat36, *snapshot->cardWord);
    QCOMPARE(card.status, vellf::kCardOk);
    QCOMPARE(card.fieldA, 200u);
    QCOMPARE(card.fieldB, 65535u);
    QCOMPARE(card.fieldC, 1000u);

    Choose(panel, "placeFormat", "26-bit");
    QVERIFY(!fixed->isEnabled());
    QCOMPARE(Child<QSpinBox>(panel, "placeFieldA")->maximum(), 255);

    // A password-protected ATA5577 sends the chosen card; a weak chip keeps its data.
    Child<QPushButton>(panel, "placePassword")->click();
    QCOMPARE(m_engine->FieldSnapshot()->chipType, 9);
    QCOMPARE(m_engine->FieldSnapshot()->BlockValue(0), 0x60107070u);
    QCOMPARE(m_engine->FieldSnapshot()->cardWord,
             vellf::EncodeCardWord(vellf::kCardFormat26, 200, 65535, 0));
    m_engine->PlaceTransponder(vsim::MakeCardChip(9, 0));
    Child<QPushButton>(panel, "placeWeak")->click();
    Write(*m_engine, {9, 1, 1, 2, 3, 4});
    QCOMPARE(m_engine->FieldSnapshot()->BlockValue(1),
             vsim::MakeCardChip(9, 0)->Snapshot().BlockValue(1));

    Child<QPushButton>(panel, "placeRemove")->click();
    QVERIFY(!m_engine->FieldSnapshot().has_value());
}

void TestSimPanel::feederButtonStartsAndStops() {
    QWidget* panel = m_panel.get();
    Choose(panel, "feederChip", "ATA5555 (Q5)");
    Child<QSpinBox>(panel, "feederCount")->setValue(3);
    Child<QSpinBox>(panel, "feederPause")->setValue(0);
    QPushButton* start = Child<QPushButton>(panel, "feederStart");
    QCOMPARE(start->text(), "Start");
    start->click();
    QCOMPARE(m_engine->FieldSnapshot()->chipType, 3);
    QCOMPARE(start->text(), "Stop");
    QVERIFY(!Child<QSpinBox>(panel, "feederCount")->isEnabled());
    QCOMPARE(Text(panel, "feederProgress"), "Fed 1 of 3, written 0: waiting for a write");

    start->click();
    QCOMPARE(start->text(), "Start");
    QCOMPARE(Text(panel, "feederProgress"), "Fed 1 of 3, written 0: stopped");
    QVERIFY(m_engine->FieldSnapshot().has_value());
}

ORVEX_APP_TEST_MAIN(TestSimPanel)
#include "tst_simpanel.moc"
