#include "core/study/StudyReport.h"

#include "core/integrity/Evidence.h"

#include "core/report/PageFlow.h"
#include "core/stats/StatsText.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace studyreport {
namespace {
using namespace fullreport;
using study::Excursion;
using study::LoggerFigures;
using study::Result;

constexpr TextStyle kCoverTitle{Face::SansBold, 18};
constexpr TextStyle kTable{Face::Sans, 8};
constexpr TextStyle kTableHead{Face::SansBold, 8};
constexpr double kChartMm = 150;

struct Column {
    QString head;
    Align align = Align::Right;
};

// A table across the width: each column as wide as its widest text, the
// room left shared out; too wide a table gets a smaller size. The heading
// comes again at the top of every page the table runs onto.
void table(PageFlow &p, const QVector<Column> &columns, const QVector<QStringList> &rows, TextStyle body = kTable)
{
    TextStyle head = body;
    head.face = body.face == Face::Mono ? Face::MonoBold : Face::SansBold;
    QVector<double> widths(columns.size());
    for (double pt = body.points; pt >= 5.5; pt -= 0.5) {
        body.points = head.points = pt;
        double total = 0;
        for (int c = 0; c < columns.size(); ++c) {
            double w = p.measure(columns[c].head, head);
            for (const QStringList &r : rows)
                w = std::max(w, p.measure(r.value(c), body));
            widths[c] = w + 2 * kPad + 1;
            total += widths[c];
        }
        if (total <= p.width() || pt - 0.5 < 5.5) {
            const double extra = std::max(0.0, p.width() - total) / std::max<qsizetype>(1, columns.size());
            for (double &w : widths)
                w += extra;
            break;
        }
    }
    const double h = lineHeight(body, 1.6);
    const auto heading = [&] {
        p.page().fills.append(Fill{QRectF(p.left(), p.y, p.width(), h)});
        double x = p.left();
        for (int c = 0; c < columns.size(); ++c) {
            p.text(x + kPad, widths[c] - 2 * kPad, h, columns[c].head, head, columns[c].align);
            x += widths[c];
        }
        p.y += h;
        p.rule(p.left(), p.right(), p.y, 0.3);
    };
    p.need(3 * h);
    heading();
    for (const QStringList &r : rows) {
        if (p.room() < h) {
            p.newPage();
            heading();
        }
        double x = p.left();
        for (int c = 0; c < columns.size(); ++c) {
            p.text(x + kPad, widths[c] - 2 * kPad, h, r.value(c), body, columns[c].align);
            x += widths[c];
        }
        p.y += h;
        p.rule(p.left(), p.right(), p.y, 0.1, kRuleGrey);
    }
    p.y += 2;
}

QString shortTime(const QDateTime &t)
{
    return t.isValid() ? t.toString(QStringLiteral("dd/MM/yyyy HH:mm")) : dash();
}

QString quantityName(Quantity q)
{
    switch (q) {
    case Quantity::Temperature: return QStringLiteral("Temperatura");
    case Quantity::Humidity: return QStringLiteral("Umidade relativa");
    case Quantity::DewPoint: return QStringLiteral("Ponto de orvalho");
    case Quantity::WetBulb: return QStringLiteral("Bulbo úmido");
    }
    return {};
}

QString boundsText(const Bounds &b, Quantity q, bool celsius)
{
    if (b.low && b.high)
        return QStringLiteral("%1 a %2").arg(statstext::number(*b.low), statstext::withUnit(*b.high, q, celsius));
    if (b.low)
        return QStringLiteral("a partir de %1").arg(statstext::withUnit(*b.low, q, celsius));
    return QStringLiteral("até %1").arg(statstext::withUnit(*b.high, q, celsius));
}

void labelledLines(PageFlow &p, const QVector<std::pair<QString, QString>> &fields, const TextStyle &label,
                   const TextStyle &value)
{
    double labelWidth = 0;
    for (const auto &f : fields)
        labelWidth = std::max(labelWidth, p.measure(f.first + QLatin1Char(':'), label));
    labelWidth += 3;
    const double h = lineHeight(value, 1.6);
    for (const auto &f : fields) {
        const QStringList lines = p.wrap(f.second, p.width() - labelWidth, value);
        p.need(h * lines.size());
        p.text(p.left(), labelWidth, h, f.first + QLatin1Char(':'), label);
        for (const QString &line : lines) {
            p.text(p.left() + labelWidth, p.width() - labelWidth, h, line, value);
            p.y += h;
        }
    }
}

void cover(PageFlow &p, const Input &in, const QString &title)
{
    const Result &r = *in.result;
    p.y += 25;
    for (const QString &line : p.wrap(title, p.width(), kCoverTitle)) {
        p.text(p.left(), p.width(), lineHeight(kCoverTitle, 1.5), line, kCoverTitle, Align::Center);
        p.y += lineHeight(kCoverTitle, 1.5);
    }
    p.y += 15;
    const auto orDash = [](const QString &t) { return t.isEmpty() ? dash() : t; };
    QVector<std::pair<QString, QString>> fields{
        {QStringLiteral("Local"), orDash(in.name)},
        {QStringLiteral("Setor"), orDash(in.sector)},
        {QStringLiteral("Empresa"), orDash(in.company)},
        {QStringLiteral("Período"),
         QStringLiteral("%1 a %2").arg(statstext::dateTime(r.from), statstext::dateTime(r.to))},
        {QStringLiteral("Duração"), statstext::duration(r.from.secsTo(r.to))},
        {QStringLiteral("Registradores"), QString::number(r.loggers.size())},
        {QStringLiteral("Unidade"),
         r.celsius ? QStringLiteral("°C (graus Celsius)") : QStringLiteral("°F (graus Fahrenheit)")},
    };
    QStringList limits;
    for (int k = 0; k < kQuantities; ++k)
        if (r.limits.bounds[size_t(k)].isSet())
            limits << quantityName(Quantity(k)) + QStringLiteral(": ") +
                          boundsText(r.limits.bounds[size_t(k)], Quantity(k), r.celsius);
    fields.append(
        {QStringLiteral("Limites"), limits.isEmpty() ? QStringLiteral("nenhum") : limits.join(QStringLiteral("; "))});
    fields.append({QStringLiteral("Responsável"), orDash(in.responsible)});
    labelledLines(p, fields, kLabel, kValue);

    // Room for the signatures of who made the study and who approved it.
    p.y += 25;
    const double boxW = (p.width() - 10) / 2;
    const double h = lineHeight(kValue, 1.6);
    const QStringList roles{QStringLiteral("Elaborado por"), QStringLiteral("Aprovado por")};
    const double top = p.y;
    for (int i = 0; i < roles.size(); ++i) {
        const double x = p.left() + i * (boxW + 10);
        p.y = top;
        p.text(x, boxW, h, roles[i], kLabel);
        p.y += h + 18;
        for (const QString &line : {QStringLiteral("Assinatura"), QStringLiteral("Nome"), QStringLiteral("Data")}) {
            p.rule(x, x + boxW, p.y, 0.2);
            p.y += 0.5;
            p.text(x, boxW, h, line, kNote, Align::Left, kGrey);
            p.y += h + 10;
        }
    }
    p.newPage();
}

QString spotText(const Result &r, const study::Spot &s, const QString &what)
{
    return QStringLiteral("%1 (%2 %3 em %4; média %5)")
        .arg(r.loggers[s.logger].label, what, statstext::withUnit(s.value, Quantity::Temperature, r.celsius),
             statstext::dateTime(s.at), statstext::withUnit(s.mean, Quantity::Temperature, r.celsius));
}

void summary(PageFlow &p, const Result &r)
{
    p.section(QStringLiteral("Resumo e conclusão"));
    p.paragraph(conclusion(r), kValue);
    p.y += 2;
    QVector<std::pair<QString, QString>> fields;
    if (r.hot)
        fields.append({QStringLiteral("Ponto quente"), spotText(r, *r.hot, QStringLiteral("máxima"))});
    if (r.cold)
        fields.append({QStringLiteral("Ponto frio"), spotText(r, *r.cold, QStringLiteral("mínima"))});
    if (r.meanSpread)
        fields.append({QStringLiteral("Diferença entre as médias"),
                       statstext::withUnit(*r.meanSpread, Quantity::Temperature, r.celsius)});
    if (r.maxDifference)
        fields.append({QStringLiteral("Maior diferença no mesmo instante"),
                       QStringLiteral("%1 em %2, entre %3 e %4")
                           .arg(statstext::withUnit(r.maxDifference->value, Quantity::Temperature, r.celsius),
                                statstext::dateTime(r.maxDifference->at), r.loggers[r.maxDifference->warmer].label,
                                r.loggers[r.maxDifference->cooler].label)});
    labelledLines(p, fields, kLabel, kValue);
    if (!r.warnings.isEmpty()) {
        p.y += 2;
        p.text(p.left(), p.width(), lineHeight(kLabel), QStringLiteral("Avisos"), kLabel);
        p.y += lineHeight(kLabel);
        for (const QString &w : r.warnings)
            p.paragraph(QStringLiteral("• ") + w, kNote, kGrey);
    }
}

void loggerTable(PageFlow &p, const Result &r, Quantity q)
{
    bool any = false;
    for (const LoggerFigures &f : r.loggers)
        any = any || f.stats[q].has_value();
    if (!any)
        return;
    const bool limited = r.limits[q].isSet();
    const bool temperature = q == Quantity::Temperature;
    p.section(QStringLiteral("Registradores: ") + statstext::quantityHeading(q, r.celsius));
    QVector<Column> columns{{QStringLiteral("Registrador"), Align::Left}, {QStringLiteral("Mín.")},
                            {QStringLiteral("Data e hora do mín.")},      {QStringLiteral("Máx.")},
                            {QStringLiteral("Data e hora do máx.")},      {QStringLiteral("Média")}};
    if (temperature)
        columns.append({QStringLiteral("TCM")});
    if (limited)
        columns << Column{QStringLiteral("Tempo fora")} << Column{QStringLiteral("Excursões")};
    QVector<QStringList> rows;
    for (const LoggerFigures &f : r.loggers) {
        QStringList row{f.label};
        const auto &s = f.stats[q];
        if (!s) {
            row << dash() << QString() << dash() << QString() << dash();
        } else {
            row << statstext::number(s->min) << shortTime(s->minAt) << statstext::number(s->max) << shortTime(s->maxAt)
                << statstext::number(s->mean);
        }
        if (temperature)
            row << statstext::number(f.stats.mkt);
        if (limited)
            row << statstext::duration(s ? s->outsideSeconds : 0)
                << QString::number(f.excursions[size_t(q)].runs.size());
        rows.append(row);
    }
    table(p, columns, rows);
    if (temperature)
        p.paragraph(QStringLiteral("Valores em %1. TCM: temperatura cinética média, ΔH/R = %2 K.")
                        .arg(statstext::unit(q, r.celsius), QString::number(r.mktKelvin)),
                    kNote, kGrey);
}

void chartPage(PageFlow &p, const Result &r, Quantity q, ChartTag tag)
{
    p.newPage();
    p.section(QStringLiteral("Gráfico sobreposto: ") + statstext::quantityHeading(q, r.celsius));
    const double h = std::min(kChartMm, p.room() - 10);
    p.page().chart = QRectF(p.left(), p.y, p.width(), h);
    p.page().chartTag = tag;
    p.y += h + 2;
    p.paragraph(QStringLiteral("Uma cor por registrador; a faixa sombreada vai do menor ao maior valor entre os "
                               "registradores a cada instante; as linhas tracejadas são os limites."),
                kNote, kGrey);
}

void excursions(PageFlow &p, const Result &r)
{
    p.newPage();
    p.section(QStringLiteral("Excursões"));
    if (!r.limits.any()) {
        p.paragraph(QStringLiteral("Nenhum limite foi definido."), kValue);
        return;
    }
    const QVector<Excursion> all = r.excursionsInOrder();
    if (all.isEmpty()) {
        p.paragraph(QStringLiteral("Nenhuma excursão: todos os valores ficaram dentro dos limites."), kValue);
        return;
    }
    const QVector<Column> columns{{QStringLiteral("Nº")},
                                  {QStringLiteral("Registrador"), Align::Left},
                                  {QStringLiteral("Grandeza"), Align::Left},
                                  {QStringLiteral("Início")},
                                  {QStringLiteral("Último registro fora")},
                                  {QStringLiteral("Duração")},
                                  {QStringLiteral("Registros")},
                                  {QStringLiteral("Extremo")}};
    QVector<QStringList> rows;
    for (int i = 0; i < all.size(); ++i) {
        const Excursion &e = all[i];
        rows.append({QString::number(i + 1), r.loggers[e.logger].label, quantityName(e.quantity),
                     statstext::dateTime(e.start), statstext::dateTime(e.end), statstext::duration(e.seconds),
                     QString::number(e.records), statstext::withUnit(e.extreme, e.quantity, r.celsius)});
    }
    table(p, columns, rows);
    p.paragraph(QStringLiteral("Cada registro fora dos limites vale o tempo até o registro seguinte."), kNote, kGrey);
}

void appendix(PageFlow &p, const Input &in)
{
    p.newPage();
    p.section(QStringLiteral("Anexo: arquivos de dados"));
    const Result &r = *in.result;
    QVector<QStringList> rows;
    QVector<QStringList> hashes;
    for (int i = 0; i < in.files.size(); ++i) {
        const FileEntry &f = in.files[i];
        const QString label = i < r.loggers.size() ? r.loggers[i].label : QString();
        rows.append({label, f.name, QString::number(f.records),
                     f.intervalSeconds > 0 ? statstext::duration(f.intervalSeconds) : dash(), f.signatureStatus});
        hashes.append({f.name, f.sha256.isEmpty() ? dash() : f.sha256});
    }
    table(p,
          {{QStringLiteral("Registrador"), Align::Left},
           {QStringLiteral("Arquivo"), Align::Left},
           {QStringLiteral("Registros")},
           {QStringLiteral("Intervalo")},
           {QStringLiteral("Assinatura"), Align::Left}},
          rows);
    p.y += 2;
    table(p, {{QStringLiteral("Arquivo"), Align::Left}, {QStringLiteral("SHA-256"), Align::Left}}, hashes,
          TextStyle{Face::Mono, 7});
    p.paragraph(QStringLiteral("Registros: os do período do estudo. SHA-256 do arquivo inteiro, como lido."), kNote,
                kGrey);
}
} // namespace

QString defaultTitle()
{
    return QStringLiteral("Estudo de mapeamento térmico");
}

QVector<FileEntry> fileEntries(const study::Result &result)
{
    QVector<FileEntry> out;
    for (const LoggerFigures &f : result.loggers) {
        FileEntry e;
        e.name = QFileInfo(f.file).fileName();
        e.records = f.stats.records;
        e.intervalSeconds = f.intervalSeconds;
        const integrity::FileEvidence evidence = integrity::fileEvidence(f.file);
        e.sha256 = evidence.sha256;
        e.signatureStatus = evidence.statusText;
        out.append(e);
    }
    return out;
}

QString conclusion(const study::Result &r)
{
    if (!r.limits.any())
        return QStringLiteral("Nenhum limite foi definido: os valores dos %1 registradores não foram comparados a "
                              "limites.")
            .arg(r.loggers.size());
    if (r.allWithin())
        return QStringLiteral("Todos os %1 registradores ficaram dentro dos limites durante todo o período.")
            .arg(r.loggers.size());
    QStringList outside;
    int within = 0;
    for (const LoggerFigures &f : r.loggers) {
        QStringList parts;
        for (int k = 0; k < kQuantities; ++k) {
            const study::QuantityExcursions &e = f.excursions[size_t(k)];
            if (e.runs.isEmpty())
                continue;
            const qint64 seconds = f.stats[Quantity(k)] ? f.stats[Quantity(k)]->outsideSeconds : 0;
            parts << QStringLiteral("%1 fora por %2 em %3 %4")
                         .arg(quantityName(Quantity(k)).toLower(), statstext::duration(seconds))
                         .arg(e.runs.size())
                         .arg(e.runs.size() == 1 ? QStringLiteral("excursão") : QStringLiteral("excursões"));
        }
        if (parts.isEmpty())
            ++within;
        else
            outside << f.label + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
    }
    // One line per logger outside: a study of thirty loggers stays readable.
    QString text =
        QStringLiteral("Fora dos limites, %1 de %2 registradores:\n").arg(outside.size()).arg(r.loggers.size()) +
        QStringLiteral("• ") + outside.join(QStringLiteral(";\n• ")) + QLatin1Char('.');
    if (within == 1)
        text += QStringLiteral("\nO outro registrador ficou dentro dos limites.");
    else if (within > 1)
        text += QStringLiteral("\nOs outros %1 registradores ficaram dentro dos limites.").arg(within);
    return text;
}

QVector<Page> layout(const Input &input, QSizeF paperMm, const Measure &measure)
{
    QVector<Page> pages;
    PageFlow p(pages, paperMm, measure);
    const Result &r = *input.result;
    const QString title = input.title.isEmpty() ? defaultTitle() : input.title;
    cover(p, input, title);
    summary(p, r);
    loggerTable(p, r, Quantity::Temperature);
    loggerTable(p, r, Quantity::Humidity);
    chartPage(p, r, Quantity::Temperature, TemperatureChart);
    bool humidity = false;
    for (const LoggerFigures &f : r.loggers)
        humidity = humidity || f.stats[Quantity::Humidity].has_value();
    if (humidity)
        chartPage(p, r, Quantity::Humidity, HumidityChart);
    excursions(p, r);
    appendix(p, input);
    p.finish(title, input.name.isEmpty() ? QStringLiteral("%1 registradores").arg(r.loggers.size()) : input.name,
             input.madeAt);
    return pages;
}

} // namespace studyreport
