#include "ui/lists/FileList.h"

#include "core/files/DataFile.h"
#include "core/integrity/Evidence.h"
#include "ui/common/App.h"
#include "ui/common/Commands.h"
#include "ui/lists/ListOps.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

FileList::FileList(App &app, QWidget *parent) : ListWindow(app, QString(), parent)
{
    setObjectName(QStringLiteral("FileList"));
    addButton(QStringLiteral("Plot"), QStringLiteral("Plotat"));
    addButton(QStringLiteral("Print"), QStringLiteral("Imprimir"));
    addButton(QStringLiteral("Stats"), QStringLiteral("Estatísticas"));
    addButton(QStringLiteral("Report"), QStringLiteral("Relatório"));
    addButton(QStringLiteral("Export"), QStringLiteral("Exportar CSV"));
    addButton(QStringLiteral("Study"), QStringLiteral("Enviar ao estudo de mapeamento"));
    LblSignature = new QLabel(this);
    LblSignature->setObjectName(QStringLiteral("LblSignature"));
    LblSignature->setContentsMargins(6, 3, 6, 3);
    LblSignature->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout()->addWidget(LblSignature);
    setFilePath(QString());
    for (int i = 0; i < 3; ++i) {
        LblMessage[i] = new QLabel(this);
        LblMessage[i]->setObjectName(QStringLiteral("LblMessage"));
        LblMessage[i]->setProperty("index", i);
        LblMessage[i]->hide();
    }
    Form_Load();
}

FileList::~FileList()
{
    unloadOnce();
}

void FileList::Form_Load()
{
    setUpGrids();
    showUnit(app().state().ListUnitCelsius);
    sizeForRows(16);
}

void FileList::Form_Unload()
{
    if (!app().fileList || app().fileList == this)
        app().state().FileListOpen = false;
}

void FileList::setFilePath(const QString &path)
{
    filePath_ = path;
    // Only a file on disk can join a study, which reads it again.
    button(QStringLiteral("Study"))->setEnabled(!path.isEmpty());
    showSignature();
}

void FileList::showSignature()
{
    LblSignature->setVisible(!filePath_.isEmpty());
    if (filePath_.isEmpty())
        return;
    const integrity::FileEvidence e = integrity::fileEvidence(filePath_);
    const QString color = e.status == integrity::Status::Ok        ? QStringLiteral("#1b6e35")
                          : e.status == integrity::Status::Partial ? QStringLiteral("#8a5a00")
                          : e.status == integrity::Status::Altered ? QStringLiteral("#c62828")
                                                                   : QStringLiteral("#4a5d73");
    LblSignature->setStyleSheet(QStringLiteral("QLabel { color: %1; }").arg(color));
    LblSignature->setText(e.keyId.isEmpty() ? e.statusText
                                            : QStringLiteral("%1 (chave %2)").arg(e.statusText, e.keyId));
    LblSignature->setToolTip(QStringLiteral("SHA-256: %1").arg(e.sha256));
}

Grid *FileList::unitGrid() const
{
    return app().state().FileUnitCelsius ? GridC : GridF;
}

int FileList::loadData(const QByteArray &bytes, const QString &title)
{
    SharedState &s = app().state();
    setWindowTitle(title);
    // A file too short to state its unit keeps the grid the window opened with.
    s.FileUnitCelsius = celsiusShown();
    Grid *target = unitGrid();
    int records = 0;
    QVector<QString> batch;
    auto flush = [&] {
        target->addItems(batch);
        batch.clear();
    };
    {
        CaptionProgress progress(this);
        DataFileReader reader(bytes);
        for (DataFileReader::Item item = reader.next(); item != DataFileReader::Item::End; item = reader.next()) {
            switch (item) {
            case DataFileReader::Item::Name: TxtName->setText(reader.text()); break;
            case DataFileReader::Item::Sector: TxtSector->setText(reader.text()); break;
            case DataFileReader::Item::Company: TxtCompany->setText(reader.text()); break;
            case DataFileReader::Item::Unit:
                flush();
                s.FileUnitCelsius = reader.celsius();
                showUnit(s.FileUnitCelsius);
                target = unitGrid();
                break;
            case DataFileReader::Item::Record:
                batch.append(reader.record().join(QLatin1Char('\t')));
                ++records;
                // Rows go into the grid in batches: one model insertion per
                // row would make a 48 000-record file slow to open.
                if (batch.size() >= 4096)
                    flush();
                progress.show(records);
                break;
            case DataFileReader::Item::Ignored:
            case DataFileReader::Item::End: break;
            }
        }
        flush();
    }
    setWindowTitle(title);
    return records;
}

void FileList::Toolbar1_ButtonClick(const QString &key)
{
    if (key == QLatin1String("Plot"))
        commands::openFileChart(app());
    else if (key == QLatin1String("Print"))
        PrintGrid(app(), *this, *unitGrid());
    else if (key == QLatin1String("Study") && !filePath_.isEmpty())
        commands::sendToStudy(app(), filePath_);
}
