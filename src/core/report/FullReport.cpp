#include "core/report/FullReport.h"

#include "core/files/DataFile.h"
#include "core/integrity/Evidence.h"
#include "core/report/PageFlow.h"
#include "core/stats/StatsText.h"

#include <QLocale>

#include <algorithm>
#include <array>
#include <cmath>

namespace fullreport {
namespace {
// The readings' font size: the largest that lets two column blocks share
// the width, within what is still readable.
constexpr double kMonoMax = 7.5;
constexpr double kMonoMin = 6;
constexpr int kBlockGap = 4;        // characters between two column blocks
constexpr int kFieldGap = 2;        // characters between two fields of a block
constexpr int kMaxCellChars = 14;   // a longer cell (not a reading) is cut and marked
constexpr double kChartMaxMm = 110; // height of the chart's place
constexpr double kChartMinMm = 80;  // less than this left on the page: the chart starts the next one

void headerBlock(PageFlow &p, const Input &in, const RowStats &s)
{
    p.text(p.left(), p.width(), lineHeight(kTitle, 1.6), title(), kTitle);
    p.y += lineHeight(kTitle, 1.6) + 1;

    const auto orDash = [](const QString &t) { return t.isEmpty() ? dash() : t; };
    QString period = dash();
    if (s.first.isValid())
        period = QStringLiteral("%1 a %2").arg(statstext::dateTime(s.first), statstext::dateTime(s.last));
    const QString interval =
        in.intervalSeconds && *in.intervalSeconds > 0 ? statstext::duration(*in.intervalSeconds) : dash();
    const QString unit = in.celsius ? QStringLiteral("°C (graus Celsius)") : QStringLiteral("°F (graus Fahrenheit)");
    QVector<std::pair<QString, QString>> fields{
        {QStringLiteral("Nome"), orDash(in.name)},
        {QStringLiteral("Setor"), orDash(in.sector)},
        {QStringLiteral("Empresa"), orDash(in.company)},
        {in.sourceLabel, orDash(in.source)},
        {QStringLiteral("Período"), period},
        {QStringLiteral("Registros"), QString::number(s.records)},
        {QStringLiteral("Intervalo de amostragem"), interval},
        {QStringLiteral("Unidade"), unit},
    };
    fields += in.integrity;
    double labelWidth = 0;
    for (const auto &f : fields)
        labelWidth = std::max(labelWidth, p.measure(f.first + QLatin1Char(':'), kLabel));
    labelWidth += 3;
    const double h = lineHeight(kValue);
    for (const auto &f : fields) {
        p.text(p.left(), labelWidth, h, f.first + QLatin1Char(':'), kLabel);
        p.text(p.left() + labelWidth, p.width() - labelWidth, h, f.second, kValue);
        p.y += h;
    }
}

void statsTable(PageFlow &p, const Input &in, const RowStats &s)
{
    statstext::Table t = statstext::table(s, in.limits);
    // The mean kinetic temperature belongs to the temperature column only.
    QStringList mkt{statstext::mktLabel(), statstext::mktValue(s)};
    while (mkt.size() < t.header.size())
        mkt << QString();
    int at = 0;
    while (at < t.rows.size() && t.rows[at].value(0) != QStringLiteral("Desvio padrão"))
        ++at;
    t.rows.insert(std::min<qsizetype>(at + 1, t.rows.size()), mkt);

    p.section(QStringLiteral("Estatísticas"));
    // The label column takes what its longest label needs; the quantities
    // share the rest. Too narrow a column gets a smaller size for the whole
    // table rather than a cut figure.
    const int columns = int(t.header.size());
    TextStyle label = kLabel, value = kValue, head = kLabel;
    double labelWidth = 0, columnWidth = 0;
    for (double pt = kValue.points; pt >= 6.0; pt -= 0.5) {
        label.points = value.points = head.points = pt;
        labelWidth = 0;
        for (const QStringList &r : std::as_const(t.rows))
            labelWidth = std::max(labelWidth, p.measure(r.value(0), label));
        labelWidth += 2 * kPad;
        columnWidth = (p.width() - labelWidth) / std::max(1, columns - 1);
        double widest = 0;
        for (int c = 1; c < columns; ++c)
            widest = std::max(widest, p.measure(t.header[c], head));
        for (const QStringList &r : std::as_const(t.rows))
            for (int c = 1; c < columns; ++c)
                widest = std::max(widest, p.measure(r.value(c), value));
        // Two figures side by side keep a clear gap between them.
        if (widest + 2 * kPad + 2 <= columnWidth)
            break;
    }
    const double h = lineHeight(value, 1.7);
    const auto x = [&](int c) { return c == 0 ? p.left() : p.left() + labelWidth + (c - 1) * columnWidth; };
    const auto w = [&](int c) { return c == 0 ? labelWidth : columnWidth; };
    p.need(h * (t.rows.size() + 1));
    p.page().fills.append(Fill{QRectF(p.left(), p.y, p.width(), h)});
    for (int c = 1; c < columns; ++c)
        p.text(x(c) + kPad, w(c) - 2 * kPad, h, t.header[c], head, Align::Right);
    p.y += h;
    p.rule(p.left(), p.right(), p.y, 0.3);
    for (const QStringList &r : std::as_const(t.rows)) {
        p.text(x(0) + kPad, w(0) - 2 * kPad, h, r.value(0), label);
        for (int c = 1; c < columns; ++c)
            p.text(x(c) + kPad, w(c) - 2 * kPad, h, r.value(c), value, Align::Right);
        p.y += h;
        p.rule(p.left(), p.right(), p.y, 0.1, kRuleGrey);
    }
    p.y += 1;
    const QString note =
        QStringLiteral("TCM com ΔH/R = %1 K, todos os registros com o mesmo peso. Valores que não são números "
                       "(\"OL\", \"-OL\", \"----.0\", vazios) ficam fora dos cálculos.")
            .arg(QLocale(QLocale::Portuguese, QLocale::Brazil).toString(in.mktKelvin, 'g', 10));
    p.text(p.left(), p.width(), lineHeight(kNote), note, kNote, Align::Left, kGrey);
    p.y += lineHeight(kNote);
    if (in.limits.any()) {
        const QString limitsNote =
            QStringLiteral("Um valor sobre o limite está dentro. Fora dos limites: cada registro vale o tempo até o "
                           "registro seguinte.");
        p.text(p.left(), p.width(), lineHeight(kNote), limitsNote, kNote, Align::Left, kGrey);
        p.y += lineHeight(kNote);
    }
}

void chartPlace(PageFlow &p, const Input &in)
{
    const double legendH = lineHeight(kNote, 1.8);
    if (p.room() < kChartMinMm + legendH + 20)
        p.newPage();
    p.section(QStringLiteral("Gráfico"));
    const double h = std::min(kChartMaxMm, p.room() - legendH - 2);
    p.page().chart = QRectF(p.left(), p.y, p.width(), h);
    p.y += h + 1;
    double x = p.left();
    const double swatch = 3;
    for (const LegendEntry &e : chartLegend(in.celsius)) {
        const double top = p.y + (legendH - 1) / 2;
        p.page().fills.append(Fill{QRectF(x, top, swatch, 1), e.rgb});
        x += swatch + 1.2;
        const double tw = p.measure(e.label, kNote);
        p.text(x, tw + 1, legendH, e.label, kNote);
        x += tw + 5;
    }
    p.y += legendH + 2;
}

// The readings in column blocks of fixed-pitch lines, each field
// right-aligned in the width its longest text needs.
void readings(PageFlow &p, const Input &in, Document &doc)
{
    const QStringList headings = dataFileHeadings(in.celsius);
    std::array<int, kDataFields> widths{};
    for (int c = 0; c < kDataFields; ++c)
        widths[c] = int(headings[c].size());
    const auto cellText = [](const QString &t) {
        return t.size() > kMaxCellChars ? t.left(kMaxCellChars - 1) + QStringLiteral("…") : t;
    };
    const qsizetype count = rowCount(in);
    for (qsizetype i = 0; i < count; ++i) {
        const QStringList r = rowAt(in, i);
        for (int c = 0; c < kDataFields; ++c)
            widths[c] = std::max(widths[c], int(std::min<qsizetype>(r.value(c).size(), kMaxCellChars)));
    }
    int blockChars = kFieldGap * (kDataFields - 1);
    for (int w : widths)
        blockChars += w;
    const QString gap(kFieldGap, QLatin1Char(' '));
    const auto lineOf = [&](const QStringList &cells) {
        QString line;
        line.reserve(blockChars);
        for (int c = 0; c < kDataFields; ++c) {
            if (c > 0)
                line += gap;
            line += cellText(cells.value(c)).rightJustified(widths[c]);
        }
        return line;
    };

    TextStyle mono{Face::Mono, kMonoMax};
    const QString probe(blockChars * 2 + kBlockGap, QLatin1Char('0'));
    const double atMax = p.measure(probe, mono);
    int blocks = 2;
    if (atMax > p.width()) {
        mono.points = std::max(kMonoMin, kMonoMax * p.width() / atMax * 0.98);
        if (p.measure(probe, mono) > p.width()) {
            blocks = 1;
            mono.points =
                std::clamp(kMonoMax * p.width() /
                               p.measure(QString(blockChars, QLatin1Char('0')), TextStyle{Face::Mono, kMonoMax}) * 0.98,
                           4.0, kMonoMax);
        }
    }
    TextStyle monoBold = mono;
    monoBold.face = Face::MonoBold;
    const double charW = p.measure(QStringLiteral("0"), mono);
    const double blockW = blockChars * charW;
    const double h = lineHeight(mono, 1.3);

    const QString headLine = lineOf(headings);
    p.need(h * 8 + lineHeight(kSection) + 10);
    p.section(QStringLiteral("Leituras"));
    if (count == 0) {
        p.text(p.left(), p.width(), lineHeight(kValue), QStringLiteral("Nenhum registro."), kValue);
        p.y += lineHeight(kValue);
        return;
    }
    qsizetype next = 0;
    while (next < count) {
        int perBlock = int(std::floor((p.room() - h - 1) / h));
        if (perBlock < 3) {
            p.newPage();
            continue;
        }
        Page &page = p.page();
        const double top = p.y;
        for (int b = 0; b < blocks && next < count; ++b) {
            const double x = p.left() + b * (blockW + kBlockGap * charW);
            page.texts.append(Text{QRectF(x, top, blockW, h), headLine, monoBold});
            page.rules.append(Rule{QLineF(x, top + h + 0.3, x + blockW, top + h + 0.3), 0.2});
            double yy = top + h + 1;
            for (int k = 0; k < perBlock && next < count; ++k, ++next) {
                page.texts.append(Text{QRectF(x, yy, blockW, h), lineOf(rowAt(in, next)), mono});
                yy += h;
                ++doc.printedRecords;
            }
        }
        p.newPage();
    }
    // The loop ends on a fresh page that nothing was put on.
    doc.pages.removeLast();
}
} // namespace

qsizetype rowCount(const Input &input)
{
    return input.rows.isEmpty() ? input.lines.size() : input.rows.size();
}

QStringList rowAt(const Input &input, qsizetype index)
{
    return input.rows.isEmpty() ? splitRecordLine(input.lines[index]) : input.rows[index];
}

QString title()
{
    return QStringLiteral("Relatório de temperatura e umidade");
}

QVector<LegendEntry> chartLegend(bool celsius)
{
    return {{statstext::quantityHeading(Quantity::Temperature, celsius), 0x000000},
            {statstext::quantityHeading(Quantity::DewPoint, celsius), 0xFF0000},
            {statstext::quantityHeading(Quantity::WetBulb, celsius), 0x00A000},
            {statstext::quantityHeading(Quantity::Humidity, celsius), 0x0000FF}};
}

Document layout(const Input &input, QSizeF paperMm, const Measure &measure)
{
    Document doc;
    doc.paper = paperMm;
    doc.stats = input.rows.isEmpty() && !input.lines.isEmpty()
                    ? computeRecordStats(input.records, input.celsius, input.limits, input.mktKelvin)
                    : computeRowStats(input.rows, input.celsius, input.limits, input.mktKelvin);
    PageFlow p(doc.pages, doc.paper, measure);
    headerBlock(p, input, doc.stats);
    statsTable(p, input, doc.stats);
    chartPlace(p, input);
    readings(p, input, doc);
    p.finish(title(), input.source, input.madeAt);
    return doc;
}

QVector<std::pair<QString, QString>> integrityFields(const QString &path)
{
    const integrity::FileEvidence e = integrity::fileEvidence(path);
    QVector<std::pair<QString, QString>> out{{QStringLiteral("SHA-256"), e.sha256.isEmpty() ? dash() : e.sha256},
                                             {QStringLiteral("Assinatura"), e.statusText}};
    if (!e.keyId.isEmpty())
        out.append({QStringLiteral("Chave"), e.keyId});
    return out;
}

} // namespace fullreport
