#pragma once

#include "core/charts/ChartTypes.h"
#include "render/ChartPainter.h"

#include <QHash>
#include <QImage>
#include <QWidget>

#include <memory>
#include <optional>

class App;
class QAction;
class QLabel;
class QLineEdit;
class QTimer;
class QToolBar;

class ChartWindow;

// The area below the toolbar that shows the chart's picture, and over it,
// while the mouse is on the plot, a thin line at the record read and a box
// with its values. The overlay is never part of the picture itself.
class ChartCanvas : public QWidget {
    Q_OBJECT
public:
    ChartCanvas(const QImage &image, ChartWindow *owner);

    struct Hover {
        int x = 0;   // the line's column, pixels
        int top = 0; // the line from top to bottom, pixels
        int bottom = 0;
        QPoint mouse; // the box goes beside it
        QString text; // empty: the line alone
    };
    void setHover(const std::optional<Hover> &hover);
    const std::optional<Hover> &hover() const { return hover_; }
    // While set, the overlay is left out (grabs for printing and saving).
    void setOverlaySuppressed(bool suppressed) { suppressed_ = suppressed; }
    // The window is being destroyed: its mouse handlers are gone.
    void detach() { owner_ = nullptr; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QRect boxRect(const QString &text) const;

    const QImage &image_;
    ChartWindow *owner_;
    std::optional<Hover> hover_;
    bool suppressed_ = false;
};

// What the two chart windows share: the toolbar with "Limit", "Print" and
// "SaveImage",
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
    // The picture "SaveImage" writes: at least kSavedChartWidth pixels wide,
    // with a title line.
    virtual QImage savedPicture();
    bool closed() const { return closed_; }

    // The readout box's text while the mouse is over the plot (empty otherwise).
    QString hoverText() const;

    // The mouse on the drawing area, in its pixels. The windows read values
    // off their plot; the file chart also moves its range of records.
    virtual void hoverAt(QPointF) {}
    virtual void leaveArea() { clearHover(); }
    virtual void pressAt(QPointF) {}
    virtual void dragTo(QPointF) {}
    virtual void doubleClickAt(QPointF) {}
    virtual void wheelAt(QPointF, int) {}

public slots:
    virtual void Toolbar1_ButtonClick(const QString &key) = 0;
    virtual void Timer1_Timer() = 0;
    // "Print": the window's image to the printer.
    void printWindow();
    // "SaveImage": the window's image, as printed, to a PNG or PDF file.
    void saveImage();

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

    // Chart units of a point of the drawing area.
    QPointF toUnits(QPointF pixels) const;
    // Shows the line at `x` (chart units) across the plot `g` with `text`
    // in a box beside `mouse`.
    void showHover(double x, const ChartGeometry &g, const QString &text, QPointF mouse);
    void clearHover();

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
