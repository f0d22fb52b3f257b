#include "core/monitor/EmailText.h"

#include <QLocale>

namespace {
const QLocale kPt(QLocale::Portuguese, QLocale::Brazil);

QString unitOf(Quantity q)
{
    return q == Quantity::Humidity ? QStringLiteral("%") : QStringLiteral("°C");
}

QString number(double v)
{
    return kPt.toString(v, 'f', 1);
}

QString when(const QDateTime &t)
{
    return t.isValid() ? t.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")) : QStringLiteral("—");
}

QString sideWord(AlarmState s)
{
    return s == AlarmState::Low ? QStringLiteral("BAIXA") : QStringLiteral("ALTA");
}

QString levelWord(AlarmLevel l)
{
    return l == AlarmLevel::Warning ? QStringLiteral("AVISO") : QStringLiteral("ALARME");
}

QString boundsText(const AlarmEvent &e)
{
    const Bounds &b = e.bounds;
    const QString u = unitOf(e.quantity);
    if (b.low && b.high)
        return QStringLiteral("%1 a %2 %3").arg(number(*b.low), number(*b.high), u);
    if (b.low)
        return QStringLiteral("mínimo %1 %2").arg(number(*b.low), u);
    if (b.high)
        return QStringLiteral("máximo %1 %2").arg(number(*b.high), u);
    return QStringLiteral("—");
}

// Subjects and header words may hold anything: one encoded word per chunk.
QByteArray encodedWord(const QString &text)
{
    bool ascii = true;
    for (QChar c : text)
        ascii = ascii && c.unicode() >= 32 && c.unicode() < 127;
    if (ascii)
        return text.toLatin1();
    QByteArray out;
    const QByteArray utf8 = text.toUtf8();
    // 45 bytes of UTF-8 make 60 characters of base64: lines stay short. A
    // chunk never splits a character.
    qsizetype i = 0;
    while (i < utf8.size()) {
        qsizetype n = qMin<qsizetype>(45, utf8.size() - i);
        while (i + n < utf8.size() && (quint8(utf8[i + n]) & 0xC0) == 0x80)
            --n;
        if (!out.isEmpty())
            out += "\r\n ";
        out += "=?UTF-8?B?" + utf8.mid(i, n).toBase64() + "?=";
        i += n;
    }
    return out;
}
} // namespace

QString quantityTitle(Quantity q)
{
    switch (q) {
    case Quantity::Temperature: return QStringLiteral("Temperatura");
    case Quantity::Humidity: return QStringLiteral("Umidade relativa");
    case Quantity::DewPoint: return QStringLiteral("Ponto de orvalho");
    case Quantity::WetBulb: return QStringLiteral("Bulbo úmido");
    }
    return {};
}

QString valueText(Quantity q, double v)
{
    return number(v) + QLatin1Char(' ') + unitOf(q);
}

QString durationPhrase(qint64 ms)
{
    const qint64 s = qMax<qint64>(0, ms / 1000);
    if (s < 60)
        return QStringLiteral("%1 s").arg(s);
    if (s < 3600)
        return QStringLiteral("%1 min").arg(s / 60);
    return QStringLiteral("%1 h %2 min").arg(s / 3600).arg((s % 3600) / 60, 2, 10, QLatin1Char('0'));
}

EmailText alarmEmail(const AlarmEvent &e, const EmailContext &c, bool reminder)
{
    const bool ended = !e.running();
    const QString dash = QStringLiteral(" — ") + c.instrument;
    QString what;
    switch (e.subject) {
    case AlarmSubject::Link:
        what = ended ? QStringLiteral("Comunicação com o instrumento restabelecida")
                     : QStringLiteral("Sem comunicação com o instrumento");
        break;
    case AlarmSubject::Battery: what = QStringLiteral("Bateria fraca"); break;
    case AlarmSubject::Quantity:
        what = quantityTitle(e.quantity);
        if (!ended)
            what += QLatin1Char(' ') + sideWord(e.state);
        if (e.value)
            what += QLatin1Char(' ') + valueText(e.quantity, *e.value);
        break;
    }
    EmailText t;
    const QString head = reminder ? QStringLiteral("NÃO RECONHECIDO ") : QString();
    t.subject = QStringLiteral("[Termo-higrômetro] ") + head + (ended ? QStringLiteral("FIM ") : QString()) +
                levelWord(e.level) + QLatin1Char(' ') + what + dash;

    const QDateTime until = ended ? e.ended : c.now;
    QStringList b;
    b << QStringLiteral("Instrumento: %1").arg(c.instrument);
    if (e.subject == AlarmSubject::Quantity) {
        b << QStringLiteral("Grandeza: %1").arg(quantityTitle(e.quantity));
        b << QStringLiteral("Nível: %1").arg(levelWord(e.level));
        if (e.value)
            b << QStringLiteral("Valor: %1").arg(valueText(e.quantity, *e.value));
        b << QStringLiteral("Limites: %1").arg(boundsText(e));
        if (e.peak)
            b << QStringLiteral("Pico: %1").arg(valueText(e.quantity, *e.peak));
    } else {
        b << QStringLiteral("Ocorrência: %1").arg(what);
    }
    b << QStringLiteral("Início: %1").arg(when(e.started));
    if (ended)
        b << QStringLiteral("Fim: %1").arg(when(e.ended));
    if (until.isValid() && e.started.isValid())
        b << QStringLiteral("Duração: %1").arg(durationPhrase(e.started.msecsTo(until)));
    b << QStringLiteral("Alarme nº: %1").arg(e.id);
    b << (e.acknowledged ? QStringLiteral("Reconhecido por %1 em %2: %3").arg(e.ackUser, when(e.ackTime), e.ackComment)
                         : QStringLiteral("Ainda não reconhecido."));
    if (!c.lastSamples.isEmpty()) {
        b << QString() << QStringLiteral("Últimas leituras:");
        for (const Sample &s : c.lastSamples) {
            QStringList v;
            for (Quantity q : {Quantity::Temperature, Quantity::Humidity})
                if (const auto x = sampleValue(s, q))
                    v << valueText(q, *x);
            b << QStringLiteral("  %1  %2").arg(when(s.time), v.join(QStringLiteral("  ")));
        }
    }
    if (!e.acknowledged) {
        b << QString() << QStringLiteral("Como reconhecer: no painel, em \"Alarmes\", botão \"Reconhecer\"");
        if (!c.ackTopic.isEmpty())
            b << QStringLiteral("ou publique em %1 a mensagem").arg(c.ackTopic)
              << QStringLiteral("  {\"id\": %1, \"user\": \"seu nome\", \"comment\": \"o que foi feito\"}").arg(e.id);
        b << QStringLiteral("O comentário é obrigatório.");
    }
    t.body = b.join(QLatin1Char('\n')) + QLatin1Char('\n');
    return t;
}

EmailText testEmail(const QString &instrument, const QDateTime &now)
{
    return {
        QStringLiteral("[Termo-higrômetro] E-mail de teste — ") + instrument,
        QStringLiteral("Instrumento: %1\nEnviado em: %2\n\nOs alertas deste instrumento chegarão a este endereço.\n")
            .arg(instrument, when(now))};
}

QByteArray mimeMessage(const QString &from, const QStringList &to, const EmailText &text, const QDateTime &date,
                       const QString &messageId)
{
    QByteArray m;
    const int offset = date.offsetFromUtc();
    m += "Date: " + QLocale::c().toString(date, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss ")).toLatin1() +
         QString::asprintf("%c%02d%02d", offset >= 0 ? '+' : '-', qAbs(offset) / 3600, (qAbs(offset) % 3600) / 60)
             .toLatin1() +
         "\r\n";
    m += "From: " + from.toUtf8() + "\r\n";
    m += "To: " + to.join(QStringLiteral(", ")).toUtf8() + "\r\n";
    m += "Subject: " + encodedWord(text.subject) + "\r\n";
    m += "Message-ID: <" + messageId.toUtf8() + ">\r\n";
    m += "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n";
    QByteArray body = text.body.toUtf8();
    body.replace("\r\n", "\n");
    body.replace("\n", "\r\n");
    // A line of a single "." would end the message early.
    if (body.startsWith(".\r\n"))
        body.prepend('.');
    body.replace("\r\n.", "\r\n..");
    return m + body;
}
