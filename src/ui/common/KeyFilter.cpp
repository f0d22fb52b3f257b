#include "ui/common/KeyFilter.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace {

class KeyPressFilter : public QObject {
public:
    KeyPressFilter(KeyPress filter, QLineEdit *box) : QObject(box), box_(box), filter_(std::move(filter)) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != box_ || event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        auto *key = static_cast<QKeyEvent *>(event);
        const QString text = key->text();
        int code = 0;
        if (key->key() == Qt::Key_Backspace)
            code = 8;
        else if (text.size() == 1 && text.at(0).unicode() >= 0x20)
            code = text.at(0).unicode();
        else
            return false;
        const int typed = code;
        filter_(code);
        if (code == 0)
            return true;
        if (code != typed && code != 8) {
            box_->insert(QString(QChar(code)));
            return true;
        }
        return false;
    }

private:
    QLineEdit *box_;
    KeyPress filter_;
};

} // namespace

void setKeyPress(QLineEdit *box, KeyPress filter)
{
    box->installEventFilter(new KeyPressFilter(std::move(filter), box));
}

void decimalCommaAsPoint(int &KeyAscii)
{
    if (KeyAscii == ',')
        KeyAscii = '.';
}

namespace {
// Sees the keys a window's boxes and buttons leave unused, as a dialog does.
class EscapeCloses : public QObject {
public:
    explicit EscapeCloses(QWidget *window) : QObject(window), window_(window) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == window_ && event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape &&
            static_cast<QKeyEvent *>(event)->modifiers() == Qt::NoModifier) {
            window_->close();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget *window_;
};
} // namespace

void closeOnEscape(QWidget *window)
{
    window->installEventFilter(new EscapeCloses(window));
}
