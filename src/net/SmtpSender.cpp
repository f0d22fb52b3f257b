#include "net/SmtpSender.h"

#include <QMetaObject>
#include <QUrl>

#include <curl/curl.h>

#include <chrono>
#include <cstring>
#include <memory>

namespace {
using Clock = std::chrono::steady_clock;

struct Upload {
    const QByteArray &data;
    qsizetype at = 0;
    std::optional<Clock::time_point> handedAll; // the last byte went to libcurl
};

size_t readChunk(char *buffer, size_t size, size_t count, void *user)
{
    auto *u = static_cast<Upload *>(user);
    const size_t n = std::min(size * count, size_t(u->data.size() - u->at));
    std::memcpy(buffer, u->data.constData() + u->at, n);
    u->at += qsizetype(n);
    // libcurl asks no more once it has the size it was told.
    if (u->at == u->data.size() && !u->handedAll)
        u->handedAll = Clock::now();
    return n;
}

// An attempt's limits, looked at by libcurl's progress callback (at least
// once a second, also while nothing moves).
struct Watch {
    const std::atomic<bool> *abort = nullptr;
    const Upload *upload = nullptr;
    Clock::time_point start = Clock::now();
    int timeoutMs = 0, finalReplyMs = 0;
    enum class Why { None, Stopped, Timeout, NoFinalReply } why = Why::None;
};

int progress(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto *w = static_cast<Watch *>(user);
    const auto since = [](Clock::time_point t) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
    };
    if (w->abort && w->abort->load())
        w->why = Watch::Why::Stopped;
    else if (!w->upload->handedAll && since(w->start) > w->timeoutMs)
        w->why = Watch::Why::Timeout;
    else if (w->upload->handedAll && since(*w->upload->handedAll) > w->finalReplyMs)
        w->why = Watch::Why::NoFinalReply;
    return w->why == Watch::Why::None ? 0 : 1;
}

QByteArray angle(const QString &address)
{
    return '<' + address.trimmed().toUtf8() + '>';
}

struct CurlInit {
    CurlInit() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    ~CurlInit() { curl_global_cleanup(); }
};

// Once per process, before any thread sends: libcurl's global set-up (and
// OpenSSL's under it) is not for two threads at once.
void initCurl()
{
    static CurlInit init;
}

// Why an attempt failed, with libcurl's words.
QString failureText(CURLcode rc, long answer, const QString &curlText, const SmtpSettings &s, Watch::Why why)
{
    switch (why) {
    case Watch::Why::Stopped: return QStringLiteral("stopped at the end of the run");
    case Watch::Why::Timeout: return QStringLiteral("no answer from the server within %1 s").arg(s.timeoutMs / 1000);
    case Watch::Why::NoFinalReply:
        return QStringLiteral("the server took the message and did not confirm it within %1 s")
            .arg(s.finalReplyMs / 1000);
    case Watch::Why::None: break;
    }
    QString text = curlText;
    if (rc == CURLE_LOGIN_DENIED)
        text = QStringLiteral("the server refused the user name or password (%1)").arg(text);
    else if (rc == CURLE_USE_SSL_FAILED)
        text = QStringLiteral("the server offers no STARTTLS (%1)").arg(text);
    if (answer > 0 && !text.contains(QString::number(answer)))
        text += QStringLiteral(" (answer %1)").arg(answer);
    return text;
}
} // namespace

QString SmtpSettings::problem() const
{
    const QUrl u(url);
    const QString scheme = u.scheme().toLower();
    if (!u.isValid() || u.host().isEmpty() || (scheme != QLatin1String("smtp") && scheme != QLatin1String("smtps")))
        return QStringLiteral("the SMTP server is smtp://HOST:PORT (STARTTLS) or smtps://HOST:PORT");
    if (from.trimmed().isEmpty())
        return QStringLiteral("an e-mail needs a sender address");
    if (to.isEmpty())
        return QStringLiteral("an e-mail needs at least one recipient");
    if (hasPassword && user.isEmpty())
        return QStringLiteral("an SMTP password needs a user name");
    return {};
}

std::optional<QString> SmtpSender::sendOnce(const SmtpSettings &s, const QByteArray &message,
                                            const std::atomic<bool> *abort)
{
    initCurl();
    CURL *curl = curl_easy_init();
    if (!curl)
        return QStringLiteral("libcurl could not start");
    const auto error = attempt(curl, s, message, abort);
    curl_easy_cleanup(curl);
    return error;
}

std::optional<QString> SmtpSender::attempt(void *handle, const SmtpSettings &s, const QByteArray &message,
                                           const std::atomic<bool> *abort)
{
    CURL *curl = handle;
    curl_easy_reset(curl);
    char errbuf[CURL_ERROR_SIZE] = {};
    const QByteArray url = s.url.toUtf8(), from = angle(s.from), user = s.user.toUtf8(), password = s.password.toUtf8(),
                     ca = s.caFile.toLocal8Bit();
    QList<QByteArray> rcpts;
    curl_slist *list = nullptr;
    for (const QString &t : s.to) {
        rcpts << angle(t);
        list = curl_slist_append(list, rcpts.last().constData());
    }
    Upload upload{message, 0, std::nullopt};
    Watch watch;
    watch.abort = abort;
    watch.upload = &upload;
    watch.timeoutMs = s.timeoutMs;
    watch.finalReplyMs = s.finalReplyMs;
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errbuf);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, list);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    // A message per connection: one the server closed while idle never
    // fails the next message.
    curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, readChunk);
    curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE, long(message.size()));
    // smtps:// is TLS from the start; for smtp:// STARTTLS is required
    // unless the user chose to send in the clear.
    curl_easy_setopt(curl, CURLOPT_USE_SSL, long(s.insecure ? CURLUSESSL_NONE : CURLUSESSL_ALL));
    if (!ca.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, ca.constData());
    if (!user.isEmpty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
        if (s.hasPassword)
            curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
    }
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(qMin(s.timeoutMs, 30000)));
    // The watch ends the attempt at its limits; this is only the backstop.
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(s.timeoutMs) + long(s.finalReplyMs) + 10000L);
    curl_easy_setopt(curl, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(curl, CURLOPT_TCP_KEEPIDLE, 30L);
    curl_easy_setopt(curl, CURLOPT_TCP_KEEPINTVL, 10L);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, progress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &watch);
    const CURLcode rc = curl_easy_perform(curl);
    long code = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    curl_slist_free_all(list);
    if (rc == CURLE_OK)
        return std::nullopt;
    return failureText(rc, code, QString::fromUtf8(errbuf[0] ? errbuf : curl_easy_strerror(rc)), s,
                       rc == CURLE_ABORTED_BY_CALLBACK ? watch.why : Watch::Why::None);
}

SmtpSender::SmtpSender(const SmtpSettings &settings, QObject *parent)
    : QObject(parent), settings_(settings), thread_((initCurl(), [this] { run(); }))
{
}

SmtpSender::~SmtpSender()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = abort_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void SmtpSender::send(const QByteArray &message, const QString &what)
{
    {
        std::lock_guard lock(mutex_);
        queue_.push_back({message, what});
    }
    wake_.notify_all();
}

int SmtpSender::queued() const
{
    std::lock_guard lock(mutex_);
    return int(queue_.size());
}

quint64 SmtpSender::sentTotal() const
{
    std::lock_guard lock(mutex_);
    return sent_;
}

void SmtpSender::tell(const QString &text)
{
    QMetaObject::invokeMethod(
        this, [this, text] { emit notice(text); }, Qt::QueuedConnection);
}

void SmtpSender::run()
{
    // One handle for the whole run: the CA file is read and TLS sessions
    // are kept once, not at every message.
    std::unique_ptr<CURL, void (*)(CURL *)> curl(curl_easy_init(), curl_easy_cleanup);
    int failures = 0;
    int pauseMs = settings_.retryFirstMs;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (abort_ || queue_.empty())
            return;
        const Item item = queue_.front();
        lock.unlock();
        const auto error = curl ? attempt(curl.get(), settings_, item.message, &abort_)
                                : std::optional<QString>(QStringLiteral("libcurl could not start"));
        lock.lock();
        if (!error) {
            queue_.pop_front();
            ++sent_;
            if (failures > 0)
                tell(QStringLiteral("e-mail: sent again after %1 failed attempts").arg(failures));
            failures = 0;
            pauseMs = settings_.retryFirstMs;
            QMetaObject::invokeMethod(
                this, [this, w = item.what] { emit sent(w); }, Qt::QueuedConnection);
            continue;
        }
        if (abort_)
            return;
        if (failures++ == 0)
            tell(QStringLiteral("e-mail: cannot send \"%1\" through %2: %3; trying again")
                     .arg(item.what, QUrl(settings_.url).toString(QUrl::RemoveUserInfo), *error));
        // A growing pause, cut short only by the end of the run.
        wake_.wait_for(lock, std::chrono::milliseconds(pauseMs), [this] { return abort_.load(); });
        pauseMs = qMin(pauseMs * 2, settings_.retryMaxMs);
    }
}

bool SmtpSender::close(int limitMs)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    std::unique_lock lock(mutex_);
    stopping_ = true;
    wake_.notify_all();
    while (!queue_.empty() && std::chrono::steady_clock::now() < until) {
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        lock.lock();
    }
    const size_t left = queue_.size();
    abort_ = true;
    lock.unlock();
    wake_.notify_all();
    thread_.join();
    thread_ = std::thread([] {});
    if (left > 0)
        emit notice(QStringLiteral("e-mail: %1 messages were not sent before the exit").arg(left));
    return left == 0;
}
