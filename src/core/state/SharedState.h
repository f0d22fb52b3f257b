#pragma once

#include "core/charts/ChartTypes.h"
#include "core/state/Reading.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>

// One recording set of the instrument's logger memory, as downloaded.
struct LoggerSet {
    int interval = 0;     // seconds
    int size = 0;         // readings the header claims
    QByteArray block;     // header followed by the readings that arrived
    bool damaged = false; // the dump ended before the set did
};

// Download buffer of the logger memory; valid until the next download.
struct LoggerMemory {
    int setCount = 0;
    int pointer = 0;
    QByteArray collected;    // the "D" answer as received
    QVector<LoggerSet> sets; // sets[0] is set 1
    int selectedSet = 0;
    double usedPercent = 0;
};

// The one process-wide state shared by every window. Everything starts zeroed;
// the main window's load applies the run-time defaults (applyPanelLoadDefaults).
struct SharedState {
    Reading reading;

    // Link and instrument
    qint16 ComPort = 0;     // 1..8 for COM1..COM8; 0 until chosen
    QString PortName;       // what the user chose: "COM3", a device path or "Simulador"
    QString InstrumentType; // "OldType", "NewType" or empty
    bool ResyncPending = false;

    // Main window
    bool CelsiusDisplay = false;
    QString SampleTime;

    // PC recording and live list
    int PcSampleSeconds = 0;
    int SampleTick = 0;
    bool PcRecording = false;
    bool RecordUnitCelsius = false;
    int RecordFileNo = 0;
    QString RecordFilePath;
    int RecordCount = 0;
    int SplitNo = 0;
    bool ListOpen = false;
    bool ListUnitCelsius = false;
    int ListRowCount = 0;
    int ListSplitNo = 0;

    // Window and command flags
    bool ChartOpen = false;
    bool MemoryBusy = false;
    bool FileListOpen = false;
    bool FileChosen = false;
    bool FileUnitCelsius = false;
    bool PcSampling = false;
    bool AddTextOpen = false;

    // Logger memory download
    LoggerMemory logger;

    // Live chart
    ChartScale liveScale;
    ChartGeometry liveGeometry;
    SweepState liveSweep;
    int GridColorIndex = 0;

    // File chart
    ChartScale fileScale;
    ChartGeometry fileGeometry;
    SweepState fileSweep;
    int FileRecordCount = 0;
    int PlotFrom = 0;
    int PlotTo = 0;
    int PlotCount = 0;
    bool FilePlotPending = false;

    // The defaults the main window sets when it loads.
    void applyPanelLoadDefaults(const QDateTime &now);
};

// The process-wide instance. Tests reset it with `sharedState() = SharedState{}`.
SharedState &sharedState();
