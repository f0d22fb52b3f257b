#include "core/state/SharedState.h"

void SharedState::applyPanelLoadDefaults(const QDateTime &now)
{
    PcRecording = false;
    PcSampleSeconds = 2;
    CelsiusDisplay = true;
    ListOpen = false;
    ChartOpen = false;
    MemoryBusy = false;
    ResyncPending = true;
    FileListOpen = false;
    SampleTime = now.toString(QStringLiteral("hh:mm:ss"));
}

SharedState &sharedState()
{
    static SharedState instance;
    return instance;
}
