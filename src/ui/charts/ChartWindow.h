#pragma once

#include "core/charts/ChartTypes.h"
#include "render/ChartPainter.h"

#include <QHash>
#include <QImage>
#include <QWidget>

#include <memory>

class App;
class QAction;
class QLabel;
class QLineEdit;
class QTimer;
class QToolBar;

// The area below the toolbar that shows the chart's picture.
class ChartCanvas : public QWidget {
    Q_OBJECT
public:
    ChartCanvas(const QImage &image, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const QImage &image_;
};

// What the two chart windows share: the toolbar with "Limit" and "Print",
// the picture kept in an image the drawing code paints on, the name, sector
// and company block below the plot, window sizes in twips, printing, and a
// close that waits for a running handler to finish before the window goes.
class ChartWindow : public QWidget {
    Q_OBJECT
public:
    ~ChartWindow() override;

    App &app() const { return app_; }

    QToolBar *Toolbar1 = nullptr;
    QTimer *Timer1 = nullptr;
    QLabel *LblName = nullptr;
    QLabel *LblSector = nullptr;
    QLabel *LblCompany = nullptr;
    QLineEdit *TxtName = nullptr;
    QLineEdit *TxtSector = nullptr;
    QLineEdit *TxtCompany = nullptr;

    QAction *button(const QString &key) const { return buttons_.value(key); }
    ChartCanvas *canvas() const { return canvas_; }
    // The chart's current picture (the area below the toolbar).
    const QImage &image() const { return image_; }
    // The drawing surface on that picture.
    ChartPainter &surface() { return *painter_; }

    // The window's outer size in twips (Width, Height).
    double widthTwips() const;
    double heightTwips() const;
    // Sets the outer size in twips.
    void setSizeTwips(double width, double height);

    // The window as it is printed: the picture with the text block, hidden
    // when all three texts are empty.
    QImage printImage();
    bool closed() const { return closed_; }

public slots:
    virtual void Toolbar1_ButtonClick(const QString &key) = 0;
    virtual void Timer1_Timer() = 0;
    // "Print": the window's image to the printer.
    void printWindow();

protected:
    ChartWindow(App &app, const QString &caption, const QFont &chartFont, QWidget *parent);

    // Left edge at the main window's right edge, top at 0.
    void placeBesideMainWindow();
    // Lays out the toolbar and the drawing area for the current size and
    // gives the drawing surface a fresh white picture of that area.
    void layoutArea();
    // Places the text block for the drawing area (ScaleHeight in chart units);
    // `boxWidth` in chart units.
    void placeTextBlock(double boxWidth);
    void showTextBlock(bool visible);

    void closeEvent(QCloseEvent *event) override;
    virtual void Form_Unload() {}

    // Handlers that let events run (the plot, printing) hold the window; a
    // close meanwhile deletes it once the last one has returned.
    void hold() { ++holds_; }
    void release();

private:
    void addButton(const QString &key, const QString &toolTip);

    App &app_;
    QFont chartFont_;
    QImage image_;
    std::unique_ptr<ChartPainter> painter_;
    ChartCanvas *canvas_ = nullptr;
    QHash<QString, QAction *> buttons_;
    int holds_ = 0;
    bool closed_ = false;
};
