#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QString>
#include <QToolBar>

class App;
class Port;
class QAction;

// The main window of a run without an instrument: a data file opened from
// the desktop stays readable (file list, chart, print) after the port window
// is closed. The toolbar is the panel's; the commands that need the
// instrument say so instead of acting. Closing it ends the program.
class FileViewer : public QMainWindow {
    Q_OBJECT
public:
    // What the instrument commands answer here.
    static inline const QString kNoInstrument =
        QStringLiteral("Nenhum instrumento está conectado: este comando precisa do instrumento.\n"
                       "Para usá-lo, abra o programa de novo e escolha a porta do instrumento.");

    explicit FileViewer(App &app, QWidget *parent = nullptr);
    ~FileViewer() override;

    QAction *button(const QString &key) const;
    void click(const QString &key);

    QToolBar *Toolbar1 = nullptr;
    QLabel *LblMessage = nullptr;

public slots:
    void Toolbar1_ButtonClick(QAction *button);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    App &app_;
    bool closing_ = false;
};

// `termohigrometro FILE.dlf`: the file in the file list beside the port
// window. Choosing a port then starts the panel as usual; closing the port
// window without a choice while the file list is open leaves a FileViewer.
// An unreadable file is reported and the port window stays as it was.
// True when the file list shows the file.
bool openFileAtStart(App &app, Port &port, const QString &path);
