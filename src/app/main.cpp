#include "app/Screenshots.h"
#include "core/link/Pause.h"
#include "ui/common/App.h"
#include "ui/panel/Panel.h"
#include "ui/panel/Port.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

namespace {

// Qt's own dialog buttons (OK, Cancelar, Sim, Não ...) in Portuguese, as the
// rest of the program.
void installTranslations(QApplication &qapp)
{
    auto *translator = new QTranslator(&qapp);
    const QString name = QStringLiteral("qtbase_pt_BR");
    if (translator->load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        translator->load(name, QStringLiteral("/usr/share/qt6/translations")))
        qapp.installTranslator(translator);
    else
        delete translator;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("termohigrometro"));
    QApplication::setApplicationDisplayName(QStringLiteral("Termo-higrômetro"));
    installTranslations(qapp);

    const QStringList args = QApplication::arguments();
    const int shots = args.indexOf(QStringLiteral("--screenshots"));
    if (shots >= 0)
        return renderScreenshots(args.value(shots + 1, QStringLiteral(".")));

    int rc = 0;
    {
        App app(App::realServices());
        auto *port = new Port(app);
        port->setAttribute(Qt::WA_DeleteOnClose);
        port->show();
        rc = qapp.exec();
        // The windows go before the App they use.
        QList<QPointer<QWidget>> windows;
        for (QWidget *w : QApplication::topLevelWidgets())
            windows << w;
        for (const QPointer<QWidget> &w : windows)
            delete w.data();
    }
    return rc;
}
