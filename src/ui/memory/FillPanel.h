#pragma once

#include <QColor>
#include <QFrame>

// A sunken caption panel whose background fills from the left to a
// percentage (0..100), like a gauge; clickable.
class FillPanel : public QFrame {
    Q_OBJECT
public:
    explicit FillPanel(const QString &caption = {}, QWidget *parent = nullptr);

    double fillPercent() const { return percent_; }
    void setFillPercent(double percent);
    QString caption() const { return caption_; }
    void setCaption(const QString &caption);

    static QColor fillColor() { return QColor(38, 104, 190); }
    static QColor emptyColor() { return QColor(250, 250, 246); }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    QSize sizeHint() const override;

private:
    QString caption_;
    double percent_ = 0;
};
