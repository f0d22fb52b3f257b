#include "core/state/SharedState.h"

#include <QTest>

class TestState : public QObject {
    Q_OBJECT
private slots:
    void startsZeroedAndLoadSetsDefaults()
    {
        SharedState &s = sharedState();
        s = SharedState{};
        QCOMPARE(s.ComPort, qint16(0));
        QVERIFY(!s.CelsiusDisplay);
        QVERIFY(s.reading.TempCText.isEmpty());
        QCOMPARE(s.PcSampleSeconds, 0);

        s.ChartOpen = s.MemoryBusy = s.FileListOpen = s.ListOpen = s.PcRecording = true;
        s.applyPanelLoadDefaults(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7)));
        QVERIFY(s.CelsiusDisplay);
        QVERIFY(s.ResyncPending);
        QCOMPARE(s.PcSampleSeconds, 2);
        QVERIFY(!s.ChartOpen && !s.MemoryBusy && !s.FileListOpen && !s.ListOpen && !s.PcRecording);
        QCOMPARE(s.SampleTime, QStringLiteral("09:05:07"));
        QCOMPARE(&sharedState(), &s);
    }
};

QTEST_APPLESS_MAIN(TestState)
#include "tst_state.moc"
