#include "emulator/InstrumentModel.h"

#include <QtMath>

#include <cmath>

namespace {
constexpr int kEmptyPointer = 1023;
constexpr int kMaxPointer = 32767;
constexpr int kMaxSets = 255;

quint8 bcd(int v)
{
    return quint8(((v / 10) % 10) << 4 | (v % 10));
}
int fromBcd(quint8 b)
{
    return ((b >> 4) > 9 || (b & 15) > 9) ? -1 : (b >> 4) * 10 + (b & 15);
}

quint16 rhWordOf(double rh)
{
    return quint16(qBound(0.0, std::round(rh * 100.0), 10000.0));
}
quint16 tempWordOf(double tempC)
{
    return quint16(qBound(0.0, std::round((tempC + 50.0) * 100.0), 32767.0));
}
} // namespace

InstrumentModel::InstrumentModel(const EmulatorOptions &options) : options_(options), rng_(options.seed)
{
    if (options_.tempC)
        tempC_ = *options_.tempC;
    if (options_.rh)
        rh_ = *options_.rh;
    tempDrifts_ = !options_.tempC;
    rhDrifts_ = !options_.rh;
    const QDateTime start = options_.clock.isValid() ? options_.clock : QDateTime::currentDateTime().addMSecs(0);
    clockBase_ = QDateTime(start.date(), QTime(start.time().hour(), start.time().minute(), start.time().second()));
    if (options_.initialSets > 0)
        addPlausibleSets(options_.initialSets, options_.initialReadingsPerSet, 0);
}

void InstrumentModel::setValues(double tempC, double rh)
{
    tempC_ = tempC;
    rh_ = qBound(0.0, rh, 100.0);
    tempDrifts_ = rhDrifts_ = false;
}

void InstrumentModel::setDrifting(bool drifting)
{
    tempDrifts_ = rhDrifts_ = drifting;
}

void InstrumentModel::setHold(bool hold)
{
    if (hold && !hold_) {
        heldTempC_ = tempC_;
        heldRh_ = rh_;
    }
    hold_ = hold;
}

void InstrumentModel::setLogging(bool logging, qint64 nowMs)
{
    if (logging == logging_)
        return;
    if (!logging) {
        logging_ = false;
        return;
    }
    InstrumentSet s;
    s.start = clock(nowMs);
    s.interval = interval_;
    const int header = options_.newType ? 10 : 8;
    if (sets_.size() >= kMaxSets || pointer() + header + 4 > kMaxPointer)
        return; // no room: the memory-full bit stays on
    sets_.append(s);
    logging_ = true;
    recordReading(nowMs);
    nextLogMs_ = nowMs + qint64(interval_) * 1000;
}

bool InstrumentModel::memoryFull() const
{
    return sets_.size() >= kMaxSets || kMaxPointer - pointer() < 4;
}

quint8 InstrumentModel::statusByte() const
{
    return quint8((memoryFull() ? 1 : 0) | (logging_ ? 2 : 0) | (hold_ ? 4 : 0));
}

void InstrumentModel::setOffsets(quint8 flags, quint8 rhTenths, quint8 tempTenths)
{
    offsetFlags_ = flags & 3;
    rhOffset_ = rhTenths;
    tempOffset_ = tempTenths;
}

QDateTime InstrumentModel::clock(qint64 nowMs) const
{
    return clockBase_.addMSecs(nowMs);
}

void InstrumentModel::setClock(const QDateTime &t, qint64 nowMs)
{
    clockBase_ = t.addMSecs(-nowMs);
}

quint16 InstrumentModel::rhWord() const
{
    const double rh = hold_ ? heldRh_ : rh_;
    const double off = ((offsetFlags_ & 1) ? -1 : 1) * rhOffset_ / 10.0;
    return rhWordOf(qBound(0.0, rh + off, 100.0));
}

quint16 InstrumentModel::tempWord() const
{
    const double t = hold_ ? heldTempC_ : tempC_;
    const double off = ((offsetFlags_ & 2) ? -1 : 1) * tempOffset_ / 10.0;
    return tempWordOf(t + off);
}

int InstrumentModel::bytesOf(const InstrumentSet &s) const
{
    return (options_.newType ? 10 : 8) + 4 * int(s.rhWords.size());
}

int InstrumentModel::pointer() const
{
    int used = 0;
    for (const InstrumentSet &s : sets_)
        used += bytesOf(s);
    return kEmptyPointer + used;
}

bool InstrumentModel::addSet(const QDateTime &start, int interval, const QVector<QPair<double, double>> &tempRh)
{
    const int header = options_.newType ? 10 : 8;
    if (sets_.size() >= kMaxSets || pointer() + header + 4 * int(tempRh.size()) > kMaxPointer)
        return false;
    InstrumentSet s;
    s.start = start;
    s.interval = qBound(1, interval, options_.newType ? 65535 : 255 * 60 + 59);
    for (const auto &[t, h] : tempRh) {
        s.tempWords.append(tempWordOf(t));
        s.rhWords.append(rhWordOf(h));
    }
    sets_.append(s);
    return true;
}

void InstrumentModel::addPlausibleSets(int count, int readingsPerSet, qint64 nowMs)
{
    QDateTime t = clock(nowMs).addDays(-count);
    for (int i = 0; i < count; ++i) {
        const int interval = (i % 3 == 0) ? 60 : (i % 3 == 1 ? 30 : 300);
        QVector<QPair<double, double>> values;
        double temp = 20.0 + rng_.bounded(8.0);
        double rh = 45.0 + rng_.bounded(20.0);
        for (int j = 0; j < readingsPerSet; ++j) {
            temp = qBound(-10.0, temp + (rng_.bounded(1.0) - 0.5) * 0.2, 45.0);
            rh = qBound(5.0, rh + (rng_.bounded(1.0) - 0.5) * 0.6, 98.0);
            values.append({temp, rh});
        }
        if (!addSet(t, interval, values))
            break;
        t = t.addSecs(qint64(interval) * readingsPerSet + 3600);
    }
}

void InstrumentModel::fillMemory(qint64 nowMs)
{
    // Up to the last address when the header sizes allow it: one set, or two
    // when one alone would leave two bytes over.
    const int header = options_.newType ? 10 : 8;
    const int room = kMaxPointer - pointer();
    int setsToAdd = 1;
    if ((room - header) % 4 != 0 && (room - 2 * header) % 4 == 0)
        setsToAdd = 2;
    int readings = (room - setsToAdd * header) / 4;
    if (readings < setsToAdd || sets_.size() + setsToAdd > kMaxSets)
        return;
    QDateTime start = clock(nowMs).addSecs(-qint64(readings) * 60 - 3600);
    for (int k = 0; k < setsToAdd; ++k) {
        const int n = setsToAdd == 2 && k == 0 ? 1 : readings - (setsToAdd == 2 ? 1 : 0);
        QVector<QPair<double, double>> values;
        values.reserve(n);
        for (int j = 0; j < n; ++j)
            values.append({20.0 + 5.0 * std::sin(j / 200.0), 50.0 + 10.0 * std::cos(j / 300.0)});
        addSet(start, 60, values);
        start = start.addSecs(3600);
    }
}

void InstrumentModel::clearMemory()
{
    sets_.clear();
    logging_ = false;
}

QByteArray InstrumentModel::dumpBytes() const
{
    QByteArray out("RRBT");
    for (const InstrumentSet &s : sets_) {
        const QDateTime &st = s.start;
        const int n = int(s.rhWords.size());
        if (options_.newType) {
            out.append(char(bcd(st.date().year() % 100)));
            out.append(char(bcd(st.date().month())));
            out.append(char(bcd(st.date().day())));
            out.append(char(bcd(st.time().hour())));
            out.append(char(bcd(st.time().minute())));
            out.append(char(bcd(st.time().second())));
            out.append(char(s.interval >> 8));
            out.append(char(s.interval & 255));
        } else {
            // The older header has no year and no seconds.
            out.append(char(bcd(st.date().month())));
            out.append(char(bcd(st.date().day())));
            out.append(char(bcd(st.time().hour())));
            out.append(char(bcd(st.time().minute())));
            out.append(char(qMin(255, s.interval / 60)));
            out.append(char(s.interval % 60));
        }
        out.append(char(n >> 8));
        out.append(char(n & 255));
        for (int j = 0; j < n; ++j) {
            out.append(char(s.rhWords[j] >> 8));
            out.append(char(s.rhWords[j] & 255));
            out.append(char(s.tempWords[j] >> 8));
            out.append(char(s.tempWords[j] & 255));
        }
    }
    out.append("END");
    return out;
}

QByteArray InstrumentModel::frame()
{
    const quint16 h = rhWord() | (lowBattery_ ? 0x8000 : 0);
    const quint16 t = tempWord();
    QByteArray f;
    f.append(char(2));
    f.append(char(statusByte()));
    f.append(char(h >> 8));
    f.append(char(h & 255));
    f.append(char(t >> 8));
    f.append(char(t & 255));
    f.append(char(3));
    return f;
}

void InstrumentModel::advance(qint64 nowMs)
{
    const double dt = (nowMs - lastDriftMs_) / 1000.0;
    if (dt > 0) {
        // A slow random walk pulled back towards a room's usual values.
        const double k = qMin(1.0, dt);
        if (tempDrifts_)
            tempC_ += ((rng_.bounded(1.0) - 0.5) * 0.1 + (23.0 - tempC_) * 0.01) * k;
        if (rhDrifts_)
            rh_ = qBound(1.0, rh_ + ((rng_.bounded(1.0) - 0.5) * 0.3 + (55.0 - rh_) * 0.01) * k, 99.0);
    }
    lastDriftMs_ = nowMs;
    while (logging_ && nowMs >= nextLogMs_) {
        recordReading(nextLogMs_);
        nextLogMs_ += qint64(interval_) * 1000;
    }
}

void InstrumentModel::recordReading(qint64)
{
    if (sets_.isEmpty() || kMaxPointer - pointer() < 4) {
        logging_ = false;
        return;
    }
    InstrumentSet &s = sets_.last();
    if (s.rhWords.size() >= 65535) {
        logging_ = false;
        return;
    }
    s.rhWords.append(rhWord());
    s.tempWords.append(tempWord());
    if (kMaxPointer - pointer() < 4)
        logging_ = false;
}

void InstrumentModel::expireCommand(qint64 nowMs)
{
    if (state_ != Parse::Idle && nowMs - lastByteMs_ > kCommandTimeoutMs)
        state_ = Parse::Idle;
}

QByteArray InstrumentModel::receive(const QByteArray &bytes, qint64 nowMs, bool *commandDone)
{
    if (commandDone)
        *commandDone = false;
    log_.append(bytes);
    lastDriftMs_ = qMax(lastDriftMs_, nowMs);
    expireCommand(nowMs);
    QByteArray answer;
    for (char c : bytes) {
        lastByteMs_ = nowMs;
        switch (state_) {
        case Parse::Idle:
            switch (c) {
            case 'A':
            case 'V':
            case 'D':
                answer += execute(c, 0, {}, nowMs);
                if (commandDone)
                    *commandDone = true;
                break;
            case 'C':
            case 'R':
            case 'S':
                if (options_.newType) {
                    answer += execute(c, 0, {}, nowMs);
                    if (commandDone)
                        *commandDone = true;
                }
                break;
            case 'I':
            case 'P':
                if (!options_.newType)
                    break;
                [[fallthrough]];
            case 'B':
            case 'T':
                cmd_ = c;
                state_ = Parse::Sub;
                break;
            default: break; // line noise
            }
            break;
        case Parse::Sub: {
            const bool known = c == 'R' || c == 'W' || (c == 'A' && cmd_ == 'P');
            if (!known) {
                state_ = Parse::Idle;
                break;
            }
            sub_ = c;
            if (c == 'R') {
                state_ = Parse::Idle;
                answer += execute(cmd_, sub_, {}, nowMs);
                if (commandDone)
                    *commandDone = true;
                break;
            }
            data_.clear();
            dataNeeded_ = cmd_ == 'I' ? 2 : cmd_ == 'P' ? 1 : cmd_ == 'B' ? 3 : 6;
            state_ = Parse::Data;
            break;
        }
        case Parse::Data:
            data_.append(c);
            if (data_.size() == dataNeeded_) {
                state_ = Parse::Idle;
                answer += execute(cmd_, sub_, data_, nowMs);
                if (commandDone)
                    *commandDone = true;
            }
            break;
        }
    }
    return answer;
}

QByteArray InstrumentModel::execute(char cmd, char sub, const QByteArray &data, qint64 nowMs)
{
    ++commands_;
    lastCommand_ = cmd;
    advance(nowMs);
    auto u = [&](int i) { return quint8(data[i]); };
    switch (cmd) {
    case 'A': {
        const int p = pointer();
        QByteArray a;
        a.append(char(2));
        a.append(char(p >> 8));
        a.append(char(p & 255));
        a.append(char(sets_.size()));
        a.append(char(3));
        a.append('K');
        return a;
    }
    case 'V': return options_.newType ? QByteArray("RRBT71") : QByteArray("EEEEEE");
    case 'D': {
        QByteArray d = dumpBytes();
        if (options_.badFirstDump && dumps_ == 0)
            d.replace(0, 4, "\x02RB\x03");
        ++dumps_;
        return d;
    }
    case 'C': clearMemory(); return {};
    case 'R': setLogging(true, nowMs); return {};
    case 'S':
        if (!logging_ && sets_.size() < kMaxSets && pointer() + 14 <= kMaxPointer) {
            InstrumentSet s;
            s.start = clock(nowMs);
            s.interval = interval_;
            sets_.append(s);
            recordReading(nowMs);
        }
        return {};
    case 'I':
        if (sub == 'R')
            return QByteArray() + char(interval_ >> 8) + char(interval_ & 255);
        setLoggingInterval(u(0) * 256 + u(1));
        return {};
    case 'P':
        if (sub == 'R')
            return QByteArray(1, char(powerOffMinutes_));
        if (sub == 'W')
            powerOffMinutes_ = qMax(1, int(u(0)));
        else
            powerOffEnabled_ = u(0) != 0;
        return {};
    case 'B':
        if (sub == 'R')
            return QByteArray() + char(offsetFlags_) + char(rhOffset_) + char(tempOffset_);
        setOffsets(u(0), u(1), u(2));
        return {};
    case 'T': {
        if (sub == 'R') {
            const QDateTime t = clock(nowMs);
            QByteArray a;
            for (int v : {t.date().year() % 100, t.date().month(), t.date().day(), t.time().hour(), t.time().minute(),
                          t.time().second()})
                a.append(char(bcd(v)));
            return a;
        }
        int v[6];
        for (int i = 0; i < 6; ++i)
            v[i] = fromBcd(u(i));
        const QDate d(2000 + v[0], v[1], v[2]);
        const QTime tm(v[3], v[4], v[5]);
        if (v[0] >= 0 && d.isValid() && tm.isValid())
            setClock(QDateTime(d, tm), nowMs);
        return {};
    }
    default: return {};
    }
}
