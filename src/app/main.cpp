#include "app/Screenshots.h"
#include "core/link/Pause.h"
#include "platform/PlatformChatter.h"
#include "ui/common/App.h"
#include "ui/common/AppIdentity.h"
#include "ui/common/Changes.h"
#include "ui/panel/FileViewer.h"
#include "ui/panel/Panel.h"
#include "ui/panel/Port.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>
#include <QUrl>

#include <cstdio>
#include <optional>

namespace {

const char *const kUsage = "usage: termohigrometro [--port NAME] [--screenshots DIR] [FILE.dlf]\n"
                           "\n"
                           "Panel of the thermo-hygrometer (9600 8N1 serial line).\n"
                           "FILE.dlf is shown in the file list beside the port window; closing the\n"
                           "port window without a choice keeps it open without an instrument.\n"
                           "\n"
                           "Options:\n"
                           "  --port NAME        open this port at once instead of asking: COM1..COM8,\n"
                           "                     a device path (/dev/ttyUSB0) or Simulador (the emulated\n"
                           "                     instrument)\n"
                           "  --screenshots DIR  render every window on the emulated instrument into\n"
                           "                     DIR/*.png and exit\n"
                           "  --version          print the version and exit\n"
                           "  --help             print this help and exit\n";

// Qt's own dialog buttons (OK, Cancelar, Sim, Não ...) in Portuguese, as the
// rest of the program. Qt's translation folder comes first; the copy
// installed beside the program serves where Qt's translations are missing.
void installTranslations(QApplication &qapp)
{
    auto *translator = new QTranslator(&qapp);
    const QString name = QStringLiteral("qtbase_pt_BR");
    const QStringList folders = {
        QLibraryInfo::path(QLibraryInfo::TranslationsPath),
        QStringLiteral("/usr/share/qt6/translations"),
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../share/termohigrometro/translations")),
    };
    for (const QString &folder : folders) {
        if (translator->load(name, folder)) {
            qapp.installTranslator(translator);
            return;
        }
    }
    delete translator;
}

} // namespace

int main(int argc, char **argv)
{
    // The arguments are read before a display is needed, so --help,
    // --version and mistakes are answered on a bare terminal too.
    QString portName;
    QString shotsFolder;
    QString dataFile;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QLatin1String("--version") || a == QLatin1String("-v")) {
            std::printf("termohigrometro %s\n", TH_VERSION);
            return 0;
        }
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if ((a == QLatin1String("--port") || a == QLatin1String("--screenshots")) && i + 1 >= argc) {
            std::fprintf(stderr, "termohigrometro: %s needs a value\n%s", qPrintable(a), kUsage);
            return 2;
        }
        if (a == QLatin1String("--port"))
            portName = QString::fromLocal8Bit(argv[++i]);
        else if (a.startsWith(QLatin1String("--port=")))
            portName = a.mid(7);
        else if (a == QLatin1String("--screenshots"))
            shotsFolder = QString::fromLocal8Bit(argv[++i]);
        else if (a.startsWith(QLatin1Char('-')) && !a.startsWith(QLatin1String("--"))) {
            // Qt's own options (-platform offscreen, -style NAME ...) are Qt's.
            if (i + 1 < argc && argv[i + 1][0] != '-')
                ++i;
        } else if (!a.startsWith(QLatin1Char('-')) && dataFile.isEmpty()) {
            // A file manager may hand over a URL instead of a path.
            dataFile = a.startsWith(QLatin1String("file:")) ? QUrl(a).toLocalFile() : a;
        } else {
            std::fprintf(stderr, "termohigrometro: unknown argument %s\n%s", qPrintable(a), kUsage);
            return 2;
        }
    }

    quietPlatformChatter();
    QApplication qapp(argc, argv);
    setApplicationIdentity();
    installTranslations(qapp);

    if (!shotsFolder.isEmpty())
        return renderScreenshots(shotsFolder);

    int rc = 0;
    {
        // The code the panel ends with is kept: an end asked before the event
        // loop runs (a port given on the command line that does not open) is
        // lost by exec(), and a window closing after it must not turn it into 0.
        std::optional<int> ended;
        Panel::setExitHandler([&ended](int code) {
            if (!ended)
                ended = code;
            QCoreApplication::exit(*ended);
        });
        App app(App::realServices());
        changes::startRecords(app);
        auto *port = new Port(app);
        port->setAttribute(Qt::WA_DeleteOnClose);
        if (portName.isEmpty()) {
            port->show();
        } else {
            // The port window is skipped: the choice is the one it would make.
            port->Ports->setEditable(true);
            port->Ports->setCurrentText(portName.trimmed());
            port->CmdOK_Click();
        }
        if (!dataFile.isEmpty())
            openFileAtStart(app, *port, dataFile);
        if (!ended)
            rc = qapp.exec();
        if (ended)
            rc = *ended;
        // The windows go before the App they use.
        deleteTopLevelWindows();
        changes::endRecords();
        Panel::setExitHandler({});
    }
    return rc;
}
