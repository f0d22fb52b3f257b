#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>

class QWidget;

// Everything the user answers reaches the logic through this interface, so
// tests can script the answers and no test ever blocks on a real dialog.
class Prompts {
public:
    enum class Icon { Critical, Warning, Information, Question };
    enum class Buttons { Ok, OkCancel };
    enum class Answer { Ok, Cancel };

    // A file dialog's outcome: cancelled, or the full name, the title (the
    // name without its folder) and which of the filter's entries was chosen.
    struct FileChoice {
        bool accepted = false;
        QString fileName;
        QString fileTitle;
        int filterIndex = 0;
    };

    // A signature with the person's certificate: which certificate, its
    // password (asked at each signature, never kept) and what the signature
    // means.
    struct SignChoice {
        bool accepted = false;
        QString certificate;
        QByteArray password;
        QString meaning;
    };

    virtual ~Prompts() = default;

    virtual Answer message(const QString &text, const QString &title, Buttons buttons = Buttons::Ok,
                           Icon icon = Icon::Critical) = 0;
    // A message that does not wait for the user (an information the program
    // goes on after): shown, never blocking.
    virtual void notice(const QString &text, const QString &title) = 0;
    // Input box: the typed answer; an empty text on Cancel.
    virtual QString input(const QString &prompt, const QString &title, const QString &defaultAnswer) = 0;
    // `filter` in the "Description|pattern|Description|pattern|" form. The
    // dialogs start in the folder last used for the filter's first pattern
    // (see FolderMemory) and note the folder of the file chosen.
    virtual FileChoice openFile(const QString &filter) = 0;
    // The open dialog where several files may be chosen at once: their full
    // names, none when cancelled.
    virtual QStringList openFiles(const QString &filter) = 0;
    virtual FileChoice saveFile(const QString &filter, bool askBeforeOverwrite) = 0;
    // `lastCertificate` is offered; `meanings` in the order offered.
    virtual SignChoice signature(const QString &lastCertificate, const QStringList &meanings) = 0;

    void setParentWidget(QWidget *parent) { parent_ = parent; }
    QWidget *parentWidget() const { return parent_; }

    // The folder a dialog with `filter` starts in, and the note of a choice.
    static QString startFolder(const QString &filter);
    static void rememberFolder(const QString &filter, const FileChoice &choice);

protected:
    QWidget *parent_ = nullptr;
};

// Real dialogs (QMessageBox, QInputDialog, QFileDialog).
class WidgetPrompts : public Prompts {
public:
    Answer message(const QString &text, const QString &title, Buttons buttons, Icon icon) override;
    void notice(const QString &text, const QString &title) override;
    QString input(const QString &prompt, const QString &title, const QString &defaultAnswer) override;
    FileChoice openFile(const QString &filter) override;
    QStringList openFiles(const QString &filter) override;
    FileChoice saveFile(const QString &filter, bool askBeforeOverwrite) override;
    SignChoice signature(const QString &lastCertificate, const QStringList &meanings) override;

    // "Data Files (*.dlf)|*.dlf|All Files (*.*)|*.*|" -> "Data Files (*.dlf);;All Files (*)"
    static QString toQtFilter(const QString &filter);
    // "Data Files (*.dlf)" -> "dlf"; empty for a pattern without a fixed extension.
    static QString filterSuffix(const QString &qtFilter);
};

// Scripted answers for tests and headless runs. Every prompt is recorded.
// A prompt with no scripted answer gets the "cancel" outcome (Ok for a
// message box with only an OK button).
class ScriptedPrompts : public Prompts {
public:
    struct Shown {
        QString kind; // "message", "notice", "input", "open", "open-many", "save", "sign"
        QString text; // message text or input prompt or filter
        QString title;
        QString defaultAnswer;
        QString folder; // where a file dialog would have started
        Icon icon = Icon::Critical;
        Buttons buttons = Buttons::Ok;
    };

    std::deque<Answer> messageAnswers;
    std::deque<QString> inputAnswers;
    std::deque<FileChoice> fileAnswers;
    std::deque<QStringList> filesAnswers; // of the dialog that takes several files
    std::deque<SignChoice> signAnswers;
    QList<Shown> shown;
    // Optional hook run when a prompt is shown (e.g. to act while it is up).
    std::function<void(const Shown &)> onShown;

    Answer message(const QString &text, const QString &title, Buttons buttons, Icon icon) override;
    void notice(const QString &text, const QString &title) override;
    QString input(const QString &prompt, const QString &title, const QString &defaultAnswer) override;
    FileChoice openFile(const QString &filter) override;
    QStringList openFiles(const QString &filter) override;
    FileChoice saveFile(const QString &filter, bool askBeforeOverwrite) override;
    SignChoice signature(const QString &lastCertificate, const QStringList &meanings) override;

    // Queues an accepted file choice, of the dialog's filter entry `filterIndex`.
    void answerFile(const QString &path, int filterIndex = 0);
    QStringList messages() const; // texts of the message boxes shown

private:
    // Both file dialogs: shown, then the next queued answer (cancelled when none).
    FileChoice fileDialog(const QString &kind, const QString &filter);
};
