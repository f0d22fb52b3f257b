#pragma once

#include <QFrame>

class QLabel;

// A 3-D caption panel: centred text inside a bevel that can be raised or
// inset. Used as a caption and, with its mouse signals, as a button.
class CaptionPanel : public QFrame {
    Q_OBJECT
public:
    explicit CaptionPanel(const QString &text, QWidget *parent = nullptr);

    QString text() const;
    void setText(const QString &text);

    // Outer bevel: 1 inset (pressed), 2 raised.
    int bevelOuter() const { return bevelOuter_; }
    void setBevelOuter(int style);

    QLabel *label() const { return label_; }

signals:
    void mouseDown();
    void mouseUp();
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    QLabel *label_ = nullptr;
    int bevelOuter_ = 2;
};
