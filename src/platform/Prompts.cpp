#include "platform/Prompts.h"

#include "platform/FolderMemory.h"
#include "platform/SignatureDialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

namespace {

QMessageBox::Icon toQtIcon(Prompts::Icon icon)
{
    switch (icon) {
    case Prompts::Icon::Critical: return QMessageBox::Critical;
    case Prompts::Icon::Warning: return QMessageBox::Warning;
    case Prompts::Icon::Information: return QMessageBox::Information;
    case Prompts::Icon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

Prompts::FileChoice choiceFor(const QString &path)
{
    Prompts::FileChoice c;
    c.accepted = !path.isEmpty();
    c.fileName = path;
    c.fileTitle = QFileInfo(path).fileName();
    return c;
}

} // namespace

Prompts::Answer WidgetPrompts::message(const QString &text, const QString &title, Buttons buttons, Icon icon)
{
    QMessageBox box(toQtIcon(icon), title, text,
                    buttons == Buttons::Ok ? QMessageBox::Ok : (QMessageBox::Ok | QMessageBox::Cancel), parent_);
    return box.exec() == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
}

void WidgetPrompts::notice(const QString &text, const QString &title)
{
    auto *box = new QMessageBox(QMessageBox::Information, title, text, QMessageBox::Ok, parent_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

QString WidgetPrompts::input(const QString &prompt, const QString &title, const QString &defaultAnswer)
{
    bool ok = false;
    const QString answer = QInputDialog::getText(parent_, title, prompt, QLineEdit::Normal, defaultAnswer, &ok);
    return ok ? answer : QString();
}

QString WidgetPrompts::toQtFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            continue;
        QString pattern = parts[i + 1];
        pattern.replace(QLatin1String("*.*"), QLatin1String("*"));
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        QString desc = parts[i];
        const int paren = desc.indexOf(QLatin1Char('('));
        if (paren > 0)
            desc = desc.left(paren).trimmed();
        out << QStringLiteral("%1 (%2)").arg(desc, pattern);
    }
    return out.join(QLatin1String(";;"));
}

namespace {
// The kind of file whose folder a dialog remembers: its filter's first extension.
QString folderKind(const QString &filter)
{
    return WidgetPrompts::filterSuffix(WidgetPrompts::toQtFilter(filter));
}
} // namespace

QString Prompts::startFolder(const QString &filter)
{
    return folders::startFolder(folderKind(filter));
}

void Prompts::rememberFolder(const QString &filter, const FileChoice &choice)
{
    if (choice.accepted)
        folders::remember(folderKind(filter), choice.fileName);
}

Prompts::FileChoice WidgetPrompts::openFile(const QString &filter)
{
    const QString qtFilter = toQtFilter(filter);
    QString selected;
    FileChoice c =
        choiceFor(QFileDialog::getOpenFileName(parent_, QString(), startFolder(filter), qtFilter, &selected));
    c.filterIndex = qMax(0, qtFilter.split(QLatin1String(";;")).indexOf(selected));
    rememberFolder(filter, c);
    return c;
}

QStringList WidgetPrompts::openFiles(const QString &filter)
{
    const QStringList files =
        QFileDialog::getOpenFileNames(parent_, QString(), startFolder(filter), toQtFilter(filter));
    if (!files.isEmpty())
        rememberFolder(filter, choiceFor(files.constFirst()));
    return files;
}

QString WidgetPrompts::filterSuffix(const QString &qtFilter)
{
    const int star = qtFilter.indexOf(QLatin1String("*."));
    if (star < 0)
        return QString();
    const QString ext = qtFilter.mid(star + 2).section(QLatin1Char(')'), 0, 0).section(QLatin1Char(' '), 0, 0);
    return ext.contains(QLatin1Char('*')) ? QString() : ext;
}

Prompts::FileChoice WidgetPrompts::saveFile(const QString &filter, bool askBeforeOverwrite)
{
    // The dialog adds the extension itself, before it checks for an existing
    // file: added afterwards, "ensaio" would replace ensaio.dlf unasked.
    // Qt's own dialog everywhere, since not every desktop's native one adds
    // the suffix before asking.
    QFileDialog dialog(parent_);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !askBeforeOverwrite);
    dialog.setDirectory(startFolder(filter));
    const QStringList filters = toQtFilter(filter).split(QLatin1String(";;"), Qt::SkipEmptyParts);
    dialog.setNameFilters(filters);
    if (!filters.isEmpty())
        dialog.setDefaultSuffix(filterSuffix(filters.first()));
    // "All Files" means the name as typed.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString &f) { dialog.setDefaultSuffix(filterSuffix(f)); });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    FileChoice c = choiceFor(dialog.selectedFiles().constFirst());
    c.filterIndex = qMax(0, filters.indexOf(dialog.selectedNameFilter()));
    rememberFolder(filter, c);
    return c;
}

Prompts::SignChoice WidgetPrompts::signature(const QString &lastCertificate, const QStringList &meanings)
{
    SignatureDialog dialog(lastCertificate, meanings, parent_);
    return dialog.exec() == QDialog::Accepted ? dialog.choice() : SignChoice{};
}

Prompts::Answer ScriptedPrompts::message(const QString &text, const QString &title, Buttons buttons, Icon icon)
{
    Shown s{QStringLiteral("message"), text, title, QString(), QString(), icon, buttons};
    shown << s;
    if (onShown)
        onShown(s);
    if (messageAnswers.empty())
        return buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
    const Answer a = messageAnswers.front();
    messageAnswers.pop_front();
    return a;
}

void ScriptedPrompts::notice(const QString &text, const QString &title)
{
    Shown s{QStringLiteral("notice"), text, title, QString(), QString(), Icon::Information, Buttons::Ok};
    shown << s;
    if (onShown)
        onShown(s);
}

QString ScriptedPrompts::input(const QString &prompt, const QString &title, const QString &defaultAnswer)
{
    Shown s{QStringLiteral("input"), prompt, title, defaultAnswer, QString(), Icon::Question, Buttons::OkCancel};
    shown << s;
    if (onShown)
        onShown(s);
    if (inputAnswers.empty())
        return QString();
    const QString a = inputAnswers.front();
    inputAnswers.pop_front();
    return a;
}

Prompts::FileChoice ScriptedPrompts::fileDialog(const QString &kind, const QString &filter)
{
    Shown s{kind, filter, QString(), QString(), startFolder(filter), Icon::Question, Buttons::OkCancel};
    shown << s;
    if (onShown)
        onShown(s);
    if (fileAnswers.empty())
        return {};
    const FileChoice c = fileAnswers.front();
    fileAnswers.pop_front();
    rememberFolder(filter, c);
    return c;
}

Prompts::FileChoice ScriptedPrompts::openFile(const QString &filter)
{
    return fileDialog(QStringLiteral("open"), filter);
}

QStringList ScriptedPrompts::openFiles(const QString &filter)
{
    Shown s{QStringLiteral("open-many"), filter,         QString(),        QString(),
            startFolder(filter),         Icon::Question, Buttons::OkCancel};
    shown << s;
    if (onShown)
        onShown(s);
    if (filesAnswers.empty())
        return {};
    const QStringList files = filesAnswers.front();
    filesAnswers.pop_front();
    if (!files.isEmpty())
        rememberFolder(filter, choiceFor(files.constFirst()));
    return files;
}

Prompts::FileChoice ScriptedPrompts::saveFile(const QString &filter, bool askBeforeOverwrite)
{
    Q_UNUSED(askBeforeOverwrite);
    return fileDialog(QStringLiteral("save"), filter);
}

Prompts::SignChoice ScriptedPrompts::signature(const QString &lastCertificate, const QStringList &meanings)
{
    Shown s{QStringLiteral("sign"), lastCertificate,  meanings.join(QLatin1Char('|')), lastCertificate, QString(),
            Icon::Question,         Buttons::OkCancel};
    shown << s;
    if (onShown)
        onShown(s);
    if (signAnswers.empty())
        return {};
    SignChoice c = signAnswers.front();
    signAnswers.pop_front();
    return c;
}

void ScriptedPrompts::answerFile(const QString &path, int filterIndex)
{
    FileChoice c = choiceFor(path);
    c.filterIndex = filterIndex;
    fileAnswers.push_back(c);
}

QStringList ScriptedPrompts::messages() const
{
    QStringList out;
    for (const Shown &s : shown)
        if (s.kind == QLatin1String("message"))
            out << s.text;
    return out;
}
