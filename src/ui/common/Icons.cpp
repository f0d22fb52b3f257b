#include "ui/common/Icons.h"

#include <QFont>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <cmath>

#include <functional>

// Every picture is drawn on a 16 x 16 grid and scaled to the size asked for.
namespace {

const QColor kInk(40, 44, 52);
const QColor kRed(214, 40, 40);
const QColor kBlue(38, 104, 190);
const QColor kGreen(40, 150, 70);
const QColor kYellow(240, 190, 60);
const QColor kPaper(252, 252, 248);
const QColor kGrey(150, 156, 165);

QPen pen(const QColor &c, qreal w = 1.0)
{
    QPen p(c, w);
    p.setCapStyle(Qt::RoundCap);
    p.setJoinStyle(Qt::RoundJoin);
    return p;
}

void floppy(QPainter &p)
{
    QPainterPath body;
    body.moveTo(1.5, 1.5);
    body.lineTo(12.5, 1.5);
    body.lineTo(14.5, 3.5);
    body.lineTo(14.5, 14.5);
    body.lineTo(1.5, 14.5);
    body.closeSubpath();
    p.setPen(pen(kInk, 1.0));
    p.setBrush(kBlue);
    p.drawPath(body);
    // Shutter and label.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(215, 222, 232));
    p.drawRect(QRectF(4, 1.5, 7, 4.5));
    p.setBrush(kBlue.darker(130));
    p.drawRect(QRectF(8.5, 2.3, 1.6, 3));
    p.setBrush(kPaper);
    p.drawRect(QRectF(3.5, 8.5, 9, 6));
    p.setPen(pen(kGrey, 0.7));
    p.drawLine(QPointF(5, 10.5), QPointF(11, 10.5));
    p.drawLine(QPointF(5, 12.5), QPointF(11, 12.5));
}

void stopSquare(QPainter &p, const QRectF &r)
{
    p.setPen(pen(Qt::white, 1.0));
    p.setBrush(kRed);
    p.drawRoundedRect(r, 1.2, 1.2);
}

void recordDot(QPainter &p, const QPointF &c, qreal radius)
{
    p.setPen(pen(Qt::white, 0.9));
    p.setBrush(kRed);
    p.drawEllipse(c, radius, radius);
}

// The hand-held instrument: a grey body with a small display.
void instrument(QPainter &p)
{
    p.setPen(pen(kInk, 1.0));
    p.setBrush(QColor(225, 228, 232));
    p.drawRoundedRect(QRectF(2.5, 1.5, 8, 13), 1.8, 1.8);
    p.setBrush(QColor(170, 205, 170));
    p.setPen(pen(kInk, 0.7));
    p.drawRect(QRectF(4, 3, 5, 3.5));
    p.setPen(pen(kInk, 0.8));
    p.drawPoint(QPointF(5, 9));
    p.drawPoint(QPointF(8, 9));
    p.drawPoint(QPointF(5, 11.5));
    p.drawPoint(QPointF(8, 11.5));
}

void clockFace(QPainter &p, const QPointF &c, qreal r, qreal penWidth = 1.2)
{
    p.setPen(pen(kInk, penWidth));
    p.setBrush(kPaper);
    p.drawEllipse(c, r, r);
    p.setPen(pen(kInk, 1.1));
    p.drawLine(c, c + QPointF(0, -r * 0.65));
    p.drawLine(c, c + QPointF(r * 0.5, r * 0.15));
}

void sheet(QPainter &p)
{
    p.setPen(pen(kInk, 1.0));
    p.setBrush(kPaper);
    p.drawRect(QRectF(1.5, 1.5, 13, 13));
}

void chart(QPainter &p)
{
    sheet(p);
    p.setPen(pen(kGrey, 0.6));
    for (qreal y : {4.5, 7.5, 10.5})
        p.drawLine(QPointF(3, y), QPointF(13.5, y));
    p.setPen(pen(kInk, 1.0));
    p.drawLine(QPointF(3, 2.5), QPointF(3, 13));
    p.drawLine(QPointF(3, 13), QPointF(13.5, 13));
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(kRed, 1.3));
    p.drawPolyline(QPolygonF({{3.5, 10}, {6, 6.5}, {8.5, 8.5}, {11, 4}, {13, 5.5}}));
    p.setPen(pen(kBlue, 1.3));
    p.drawPolyline(QPolygonF({{3.5, 12}, {6, 11}, {8.5, 11.5}, {11, 9.5}, {13, 10}}));
}

// Text as a path, so its size is exact in grid units whatever the scale.
void text(QPainter &p, const QRectF &r, const QString &t, qreal height, const QColor &c, bool bold = true)
{
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(100);
    f.setBold(bold);
    QPainterPath path;
    path.addText(0, 0, f, t);
    const QRectF b = path.boundingRect();
    if (b.isEmpty())
        return;
    const qreal k = height / b.height();
    QTransform tr;
    tr.translate(r.center().x() - b.center().x() * k, r.center().y() - b.center().y() * k);
    tr.scale(k, k);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(tr.map(path));
}

using Draw = std::function<void(QPainter &)>;

const QHash<QString, Draw> &drawings()
{
    static const QHash<QString, Draw> table = {
        {QStringLiteral("Save"), [](QPainter &p) { floppy(p); }},
        {QStringLiteral("Stop"),
         [](QPainter &p) {
             p.save();
             p.setOpacity(0.75);
             floppy(p);
             p.restore();
             stopSquare(p, QRectF(6.5, 6.5, 9, 9));
         }},
        {QStringLiteral("Open"),
         [](QPainter &p) {
             p.setPen(pen(kInk, 1.0));
             p.setBrush(kYellow.darker(115));
             QPainterPath back;
             back.moveTo(1.5, 13.5);
             back.lineTo(1.5, 3);
             back.lineTo(5.5, 3);
             back.lineTo(7, 4.5);
             back.lineTo(12.5, 4.5);
             back.lineTo(12.5, 7);
             p.drawPath(back);
             p.setBrush(kYellow);
             p.drawPolygon(QPolygonF({{1.5, 13.5}, {4, 7}, {15, 7}, {12.5, 13.5}}));
         }},
        {QStringLiteral("List"),
         [](QPainter &p) {
             sheet(p);
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(200, 215, 235));
             p.drawRect(QRectF(2, 2, 12, 3));
             p.setPen(pen(kInk, 0.7));
             for (qreal y : {5.0, 8.0, 11.0})
                 p.drawLine(QPointF(1.5, y), QPointF(14.5, y));
             p.drawLine(QPointF(5.5, 1.5), QPointF(5.5, 14.5));
             p.setPen(pen(kBlue, 0.9));
             for (qreal y : {6.5, 9.5, 12.8}) {
                 p.drawLine(QPointF(2.5, y), QPointF(4.5, y));
                 p.drawLine(QPointF(7, y), QPointF(13, y));
             }
         }},
        {QStringLiteral("Graph"), [](QPainter &p) { chart(p); }},
        {QStringLiteral("Plot"),
         [](QPainter &p) {
             chart(p);
             // A pen drawing the line.
             p.setPen(pen(kInk, 0.8));
             p.setBrush(kYellow);
             p.drawPolygon(QPolygonF({{9, 12.5}, {14.5, 7}, {16, 8.5}, {10.5, 14}}));
             p.setBrush(kInk);
             p.drawPolygon(QPolygonF({{9, 12.5}, {10.5, 14}, {8.5, 14.5}}));
         }},
        {QStringLiteral("Sample"),
         [](QPainter &p) {
             // A stopwatch: the sampling interval.
             p.setPen(pen(kInk, 1.2));
             p.drawLine(QPointF(8, 1), QPointF(8, 3));
             p.drawLine(QPointF(6.5, 1), QPointF(9.5, 1));
             p.drawLine(QPointF(12.5, 3.5), QPointF(13.5, 4.5));
             p.setBrush(kPaper);
             p.drawEllipse(QPointF(8, 9), 5.8, 5.8);
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(120, 180, 230));
             p.drawPie(QRectF(3.2, 4.2, 9.6, 9.6), 90 * 16, -120 * 16);
             p.setPen(pen(kRed, 1.2));
             p.drawLine(QPointF(8, 9), QPointF(11.3, 7));
         }},
        {QStringLiteral("CF"),
         [](QPainter &p) {
             text(p, QRectF(-0.5, -0.5, 10, 9), QStringLiteral("°C"), 6.2, kRed);
             text(p, QRectF(6, 7, 10.5, 9.5), QStringLiteral("°F"), 6.2, kBlue);
             p.setPen(pen(kInk, 1.0));
             p.drawLine(QPointF(13, 2), QPointF(3, 14));
         }},
        {QStringLiteral("RecStop"),
         [](QPainter &p) {
             instrument(p);
             recordDot(p, QPointF(11.5, 11.5), 3.8);
         }},
        {QStringLiteral("RecStopActive"),
         [](QPainter &p) {
             instrument(p);
             stopSquare(p, QRectF(7.5, 7.5, 8, 8));
         }},
        {QStringLiteral("Manual"),
         [](QPainter &p) {
             // One reading recorded by hand: a "1" beside a record dot.
             instrument(p);
             p.setPen(pen(Qt::white, 0.9));
             p.setBrush(kRed);
             p.drawEllipse(QPointF(11.5, 11.5), 4.2, 4.2);
             text(p, QRectF(7.3, 7.3, 8.5, 8.5), QStringLiteral("1"), 6.0, Qt::white);
         }},
        {QStringLiteral("PowerOff"),
         [](QPainter &p) {
             p.setBrush(Qt::NoBrush);
             p.setPen(pen(kInk, 1.8));
             p.drawArc(QRectF(2, 2.5, 12, 12), 120 * 16, 300 * 16);
             p.drawLine(QPointF(8, 1.2), QPointF(8, 8));
             // Small clock: automatic, after a time.
             p.setPen(pen(kInk, 0.8));
             p.setBrush(kYellow);
             p.drawEllipse(QPointF(12.3, 12.3), 3.4, 3.4);
             p.drawLine(QPointF(12.3, 12.3), QPointF(12.3, 10.1));
             p.drawLine(QPointF(12.3, 12.3), QPointF(13.8, 12.3));
         }},
        {QStringLiteral("Memory"),
         [](QPainter &p) {
             // The logger's memory chip with an arrow down to the PC.
             p.setPen(pen(kInk, 0.8));
             for (qreal x : {3.0, 5.5, 8.0, 10.5, 13.0}) {
                 p.drawLine(QPointF(x, 0.6), QPointF(x, 2));
                 p.drawLine(QPointF(x, 8), QPointF(x, 9.2));
             }
             p.setBrush(QColor(60, 66, 76));
             p.drawRoundedRect(QRectF(1.5, 2, 13, 6), 1, 1);
             p.setBrush(kGreen);
             p.setPen(pen(Qt::white, 0.7));
             p.drawPolygon(
                 QPolygonF({{5.5, 9}, {10.5, 9}, {10.5, 11.5}, {13, 11.5}, {8, 15.5}, {3, 11.5}, {5.5, 11.5}}));
         }},
        {QStringLiteral("SetTime"),
         [](QPainter &p) {
             clockFace(p, QPointF(8, 8), 6.5);
             p.setPen(pen(kInk, 0.8));
             for (int i = 0; i < 12; i += 3) {
                 const qreal a = i * 3.14159265358979 / 6;
                 p.drawLine(QPointF(8 + 5.3 * std::sin(a), 8 - 5.3 * std::cos(a)),
                            QPointF(8 + 6.2 * std::sin(a), 8 - 6.2 * std::cos(a)));
             }
         }},
        {QStringLiteral("Offset"),
         [](QPainter &p) {
             // "±" over a level scale: a correction added or taken off.
             p.setPen(pen(kInk, 1.6));
             p.drawLine(QPointF(8, 1.5), QPointF(8, 8.5));
             p.drawLine(QPointF(4.5, 5), QPointF(11.5, 5));
             p.drawLine(QPointF(4.5, 10.5), QPointF(11.5, 10.5));
             p.setPen(pen(kBlue, 1.2));
             p.drawLine(QPointF(1.5, 14), QPointF(14.5, 14));
             p.setPen(pen(kBlue, 0.8));
             for (qreal x : {1.5, 4.75, 8.0, 11.25, 14.5})
                 p.drawLine(QPointF(x, 12.5), QPointF(x, 14));
         }},
        {QStringLiteral("AddText"),
         [](QPainter &p) {
             // A name card.
             p.setPen(pen(kInk, 1.0));
             p.setBrush(kPaper);
             p.drawRoundedRect(QRectF(0.8, 3, 14.4, 10.5), 1.2, 1.2);
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(120, 160, 210));
             p.drawEllipse(QPointF(4.5, 6.8), 1.6, 1.6);
             p.drawPie(QRectF(2, 8.4, 5, 5), 0, 180 * 16);
             p.setPen(pen(kInk, 0.9));
             p.drawLine(QPointF(8.2, 6), QPointF(13.5, 6));
             p.drawLine(QPointF(8.2, 8.5), QPointF(13.5, 8.5));
             p.drawLine(QPointF(8.2, 11), QPointF(12, 11));
         }},
        {QStringLiteral("Stats"),
         [](QPainter &p) {
             // Bars of a distribution with the mean across them.
             p.setPen(pen(kInk, 0.8));
             p.setBrush(kBlue);
             p.drawRect(QRectF(1.5, 9, 3, 5.5));
             p.drawRect(QRectF(4.5, 4, 3, 10.5));
             p.drawRect(QRectF(7.5, 2, 3, 12.5));
             p.drawRect(QRectF(10.5, 7, 3, 7.5));
             p.setPen(pen(kRed, 1.3));
             p.drawLine(QPointF(0.8, 6.5), QPointF(15.2, 6.5));
         }},
        {QStringLiteral("Report"),
         [](QPainter &p) {
             // A page with a heading, a small chart and lines of readings.
             p.setPen(pen(kInk, 0.9));
             p.setBrush(kPaper);
             p.drawRect(QRectF(2.5, 0.8, 11, 14.4));
             p.setPen(pen(kInk, 1.1));
             p.drawLine(QPointF(4.5, 3), QPointF(9.5, 3));
             p.setPen(pen(kRed, 0.9));
             p.drawPolyline(QPolygonF({{4.5, 8.5}, {6.5, 6.2}, {8.5, 7.5}, {11.5, 5}}));
             p.setPen(pen(kGrey, 0.7));
             for (qreal y : {10.8, 12.8})
                 p.drawLine(QPointF(4.5, y), QPointF(11.5, y));
         }},
        {QStringLiteral("Export"),
         [](QPainter &p) {
             // A spreadsheet's cells with a green arrow leaving it.
             p.setPen(pen(kInk, 0.9));
             p.setBrush(kPaper);
             p.drawRect(QRectF(0.8, 1.5, 10.5, 13));
             p.setPen(pen(kGreen, 0.7));
             for (qreal y : {4.75, 8.0, 11.25})
                 p.drawLine(QPointF(0.8, y), QPointF(11.3, y));
             p.drawLine(QPointF(4.3, 1.5), QPointF(4.3, 14.5));
             p.setPen(Qt::NoPen);
             p.setBrush(kGreen);
             p.drawPolygon(
                 QPolygonF({{7.5, 9}, {11.5, 9}, {11.5, 6.5}, {15.5, 10.5}, {11.5, 14.5}, {11.5, 12}, {7.5, 12}}));
         }},
        {QStringLiteral("Print"),
         [](QPainter &p) {
             p.setPen(pen(kInk, 0.9));
             p.setBrush(kPaper);
             p.drawRect(QRectF(4, 1.5, 8, 5));
             p.setBrush(QColor(120, 126, 136));
             p.drawRoundedRect(QRectF(1, 6, 14, 6), 1.2, 1.2);
             p.setBrush(kPaper);
             p.drawRect(QRectF(4, 9.5, 8, 5));
             p.setPen(pen(kGrey, 0.6));
             p.drawLine(QPointF(5.5, 11.5), QPointF(10.5, 11.5));
             p.drawLine(QPointF(5.5, 13), QPointF(10.5, 13));
             p.setPen(pen(kGreen, 1.2));
             p.drawPoint(QPointF(12.8, 7.8));
         }},
        {QStringLiteral("Limit"),
         [](QPainter &p) {
             // Upper and lower bound of a scale, with the arrows between them.
             p.setPen(pen(kRed, 1.5));
             p.drawLine(QPointF(2, 2), QPointF(14, 2));
             p.drawLine(QPointF(2, 14), QPointF(14, 14));
             p.setPen(pen(kInk, 1.1));
             p.drawLine(QPointF(8, 4), QPointF(8, 12));
             p.drawPolyline(QPolygonF({{5.8, 6.2}, {8, 4}, {10.2, 6.2}}));
             p.drawPolyline(QPolygonF({{5.8, 9.8}, {8, 12}, {10.2, 9.8}}));
         }},
        {QStringLiteral("Alarm"),
         [](QPainter &p) {
             // A bell between a high and a low bound: the alarm limits.
             p.setPen(pen(kRed, 1.3));
             p.drawLine(QPointF(1, 1.5), QPointF(15, 1.5));
             p.drawLine(QPointF(1, 14.5), QPointF(15, 14.5));
             QPainterPath bell;
             bell.moveTo(3.5, 11.5);
             bell.cubicTo(5, 10, 4.5, 4, 8, 3.8);
             bell.cubicTo(11.5, 4, 11, 10, 12.5, 11.5);
             bell.closeSubpath();
             p.setPen(pen(kInk, 0.9));
             p.setBrush(kYellow);
             p.drawPath(bell);
             p.setBrush(kInk);
             p.drawEllipse(QPointF(8, 12.4), 1.1, 1.1);
         }},
        {QStringLiteral("Monitoring"),
         [](QPainter &p) {
             // An antenna sending its waves to the lab's monitoring.
             p.setBrush(Qt::NoBrush);
             p.setPen(pen(kBlue, 1.2));
             p.drawArc(QRectF(4.5, 1.5, 7, 7), 30 * 16, 120 * 16);
             p.drawArc(QRectF(2, -1, 12, 12), 35 * 16, 110 * 16);
             p.setPen(pen(kInk, 1.2));
             p.drawLine(QPointF(8, 6), QPointF(4.5, 14.5));
             p.drawLine(QPointF(8, 6), QPointF(11.5, 14.5));
             p.drawLine(QPointF(5.8, 11.3), QPointF(10.2, 11.3));
             p.setPen(pen(kGreen, 0.8));
             p.setBrush(kGreen);
             p.drawEllipse(QPointF(8, 5), 1.5, 1.5);
         }},
        {QStringLiteral("Extras"),
         [](QPainter &p) {
             // More tools: four small tiles, and the mark of a menu that opens below.
             p.setPen(pen(kInk, 0.8));
             const QColor tiles[] = {kYellow, kBlue, kGreen, kRed};
             for (int i = 0; i < 4; ++i) {
                 p.setBrush(tiles[i]);
                 p.drawRoundedRect(QRectF(1.5 + (i % 2) * 6, 1.5 + (i / 2) * 6, 5, 5), 1, 1);
             }
             p.setPen(Qt::NoPen);
             p.setBrush(kInk);
             p.drawPolygon(QPolygonF({{9.5, 13}, {15.5, 13}, {12.5, 15.8}}));
         }},
        {QStringLiteral("Audit"),
         [](QPainter &p) {
             // A list of entries on a clipboard, with a check mark: the trail, checked.
             p.setPen(pen(kInk, 0.9));
             p.setBrush(kPaper);
             p.drawRoundedRect(QRectF(2.5, 2, 10, 13), 1, 1);
             p.setBrush(kGrey);
             p.drawRect(QRectF(5.5, 1, 4, 2.5));
             p.setPen(pen(kGrey, 0.9));
             for (double y : {6.0, 8.5, 11.0})
                 p.drawLine(QPointF(4.5, y), QPointF(9.5, y));
             p.setPen(pen(kGreen, 1.6));
             p.drawLine(QPointF(9, 11.5), QPointF(11, 13.5));
             p.drawLine(QPointF(11, 13.5), QPointF(15, 8.5));
         }},
        {QStringLiteral("Study"),
         [](QPainter &p) {
             // A room's floor plan with loggers in it: one hot, one cold, one in between.
             p.setPen(pen(kInk, 1.0));
             p.setBrush(kPaper);
             p.drawRect(QRectF(1.5, 2.5, 13, 11));
             p.setPen(pen(kGrey, 0.7));
             p.drawLine(QPointF(8, 2.5), QPointF(8, 7));
             p.setPen(pen(kInk, 0.6));
             p.setBrush(kRed);
             p.drawEllipse(QPointF(4.5, 5.5), 1.7, 1.7);
             p.setBrush(kBlue);
             p.drawEllipse(QPointF(11.5, 10.5), 1.7, 1.7);
             p.setBrush(kGreen);
             p.drawEllipse(QPointF(5, 10.5), 1.7, 1.7);
         }},
    };
    return table;
}

const QStringList &pictureKeys()
{
    static const QStringList keys = {
        QStringLiteral("Save"),    QStringLiteral("Open"),          QStringLiteral("List"),
        QStringLiteral("Graph"),   QStringLiteral("Sample"),        QStringLiteral("CF"),
        QStringLiteral("RecStop"), QStringLiteral("Manual"),        QStringLiteral("PowerOff"),
        QStringLiteral("Memory"),  QStringLiteral("SetTime"),       QStringLiteral("Offset"),
        QStringLiteral("Stop"),    QStringLiteral("RecStopActive"), QStringLiteral("AddText"),
    };
    return keys;
}

void unknown(QPainter &p)
{
    p.setPen(pen(kGrey, 1.0));
    p.setBrush(kPaper);
    p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 2, 2);
    text(p, QRectF(1.5, 1.5, 13, 13), QStringLiteral("?"), 9, kGrey);
}

} // namespace

QPixmap toolbarPixmap(const QString &key, int size, qreal devicePixelRatio)
{
    const int device = qMax(1, qRound(size * devicePixelRatio));
    QPixmap pm(device, device);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(device / 16.0, device / 16.0);
    const auto it = drawings().constFind(key);
    if (it != drawings().constEnd())
        (*it)(p);
    else
        unknown(p);
    p.end();
    pm.setDevicePixelRatio(devicePixelRatio);
    return pm;
}

QIcon toolbarIcon(const QString &key)
{
    static QHash<QString, QIcon> cache;
    const auto it = cache.constFind(key);
    if (it != cache.constEnd())
        return *it;
    QIcon icon;
    for (int size : {16, 24, 32, 48})
        icon.addPixmap(toolbarPixmap(key, size));
    // A greyed picture for unavailable buttons that still shows its shape.
    for (int size : {16, 24, 32, 48}) {
        QImage img = toolbarPixmap(key, size).toImage().convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < img.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
            for (int x = 0; x < img.width(); ++x) {
                const int g = qGray(line[x]);
                line[x] = qRgba(g / 2 + 110, g / 2 + 110, g / 2 + 110, qAlpha(line[x]) * 2 / 5);
            }
        }
        icon.addPixmap(QPixmap::fromImage(img), QIcon::Disabled);
    }
    cache.insert(key, icon);
    return icon;
}

QStringList toolbarIconKeys()
{
    return {QStringLiteral("Save"),    QStringLiteral("Open"),       QStringLiteral("List"),
            QStringLiteral("Graph"),   QStringLiteral("Sample"),     QStringLiteral("CF"),
            QStringLiteral("RecStop"), QStringLiteral("Manual"),     QStringLiteral("PowerOff"),
            QStringLiteral("Memory"),  QStringLiteral("SetTime"),    QStringLiteral("Offset"),
            QStringLiteral("AddText"), QStringLiteral("Stop"),       QStringLiteral("RecStopActive"),
            QStringLiteral("Print"),   QStringLiteral("Plot"),       QStringLiteral("Limit"),
            QStringLiteral("Alarm"),   QStringLiteral("Monitoring"), QStringLiteral("Report"),
            QStringLiteral("Export"),  QStringLiteral("Study"),      QStringLiteral("Extras"),
            QStringLiteral("Audit")};
}

QString toolbarPictureKey(int index)
{
    if (index < 1 || index > pictureKeys().size())
        return QString();
    return pictureKeys().at(index - 1);
}

QIcon toolbarPicture(int index)
{
    return toolbarIcon(toolbarPictureKey(index));
}
