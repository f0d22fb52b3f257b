#include "ui/panel/Panel.h"

#include "ui/common/App.h"
#include "ui/common/Commands.h"
#include "ui/panel/PanelParts.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>

using namespace panelparts;

void Panel::Timer2_Timer()
{
    SharedState &s = app_.state();
    if (!sampleTickDue(s))
        return;
    const QDateTime now = app_.clock().now();
    const SampleLines lines = buildSampleLines(s.reading, now);
    s.SampleTime = lines.time;
    // Alarms and publication watch every sample of a fresh reading, whether
    // or not anything records or lists it.
    if (!linkDown_)
        monitor_->sample(s.reading, now);
    if (s.PcRecording) {
        // A reading kept from before a loss of the link is not a sample.
        if (!linkDown_) {
            QString error;
            const PcRecorder::Outcome outcome = recorder_.writeSample(lines, s.CelsiusDisplay, &error);
            if (outcome != PcRecorder::Outcome::Written) {
                const QString path = recorder_.currentFile();
                stopRecording();
                recordingFailed(QStringLiteral("Não foi possível gravar no arquivo\n%1\n%2\n\n"
                                               "A gravação no computador foi interrompida; "
                                               "as leituras continuam na tela.")
                                    .arg(QDir::toNativeSeparators(path), error));
                return;
            }
            setTextIfChanged(LblCount, QString::number(s.RecordCount));
            setTextIfChanged(LblRec, QStringLiteral("Registro"));
        }
    } else {
        setTextIfChanged(LblFileName, QString());
        setTextIfChanged(LblCount, QString());
        setTextIfChanged(LblRec, QString());
        s.RecordCount = 0;
    }
    if (s.ListOpen && !linkDown_)
        commands::appendLiveRow(app_, lines.celsius, lines.fahrenheit);
}

void Panel::recordingFailed(const QString &message)
{
    app_.showError(message);
}

void Panel::saveCommand()
{
    if (app_.state().PcRecording)
        stopRecording();
    else
        startRecording();
}

void Panel::startRecording()
{
    SharedState &s = app_.state();
    // A name chosen earlier for something else must not start a run when
    // this dialog is cancelled.
    const bool chosenBefore = s.FileChosen;
    const QString pathBefore = s.RecordFilePath;
    s.FileChosen = false;
    ChooseSaveFile(app_);
    if (!s.FileChosen) {
        s.FileChosen = chosenBefore;
        s.RecordFilePath = pathBefore;
        return;
    }
    const QString path = s.RecordFilePath;
    QString error;
    if (!recorder_.start(path, s.CelsiusDisplay, &error)) {
        s.FileChosen = false;
        recordingFailed(QStringLiteral("Não foi possível criar o arquivo\n%1\n%2\n\n"
                                       "A gravação no computador não foi iniciada.")
                            .arg(QDir::toNativeSeparators(path), error));
        return;
    }
    setTextIfChanged(LblFileName, QFileInfo(path).fileName());
    LblFileName->setToolTip(QDir::toNativeSeparators(path));
    QAction *b1 = button(QStringLiteral("Save"));
    setButtonImage(b1, kStopImage);
    b1->setToolTip(kStopTip);
    LblRec->setVisible(true);
}

void Panel::stopRecording()
{
    recorder_.stop();
    QAction *b1 = button(QStringLiteral("Save"));
    setButtonImage(b1, 1);
    b1->setToolTip(kSaveTip);
    LblRec->setVisible(false);
    setTextIfChanged(LblCount, QString());
    setTextIfChanged(LblFileName, QString());
    LblFileName->setToolTip(QString());
}
