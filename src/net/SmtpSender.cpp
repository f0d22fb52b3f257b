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

// "45 s", "5 min".
QString pause(qint64 ms)
{
    return ms < 60000 ? QStringLiteral("%1 s").arg(qMax<qint64>(1, ms / 1000))
                      : QStringLiteral("%1 min").arg(ms / 60000);
}

// Why an attempt failed, as the user reads it, with libcurl's own words
// after where they add something.
QString failureText(CURLcode rc, long answer, const QString &curlText, const SmtpSettings &s, Watch::Why why)
{
    const QUrl url(s.url);
    switch (why) {
    case Watch::Why::Stopped: return QStringLiteral("o envio foi interrompido no fim do programa");
    case Watch::Why::Timeout: return QStringLiteral("o servidor não respondeu em %1").arg(pause(s.timeoutMs));
    case Watch::Why::NoFinalReply:
        return QStringLiteral("o servidor recebeu a mensagem e não a confirmou em %1").arg(pause(s.finalReplyMs));
    case Watch::Why::None: break;
    }
    QString text;
    switch (rc) {
    case CURLE_LOGIN_DENIED: text = QStringLiteral("o servidor recusou o usuário ou a senha"); break;
    case CURLE_USE_SSL_FAILED: text = QStringLiteral("o servidor não oferece conexão segura (STARTTLS)"); break;
    case CURLE_COULDNT_RESOLVE_HOST: text = QStringLiteral("o servidor %1 não foi encontrado").arg(url.host()); break;
    case CURLE_COULDNT_CONNECT:
        text = QStringLiteral("nenhum servidor atende em %1:%2")
                   .arg(url.host())
                   .arg(url.port(url.scheme().toLower() == QLatin1String("smtps") ? 465 : 25));
        break;
    case CURLE_OPERATION_TIMEDOUT: text = QStringLiteral("o servidor demorou demais a responder"); break;
    case CURLE_PEER_FAILED_VERIFICATION: text = QStringLiteral("o certificado do servidor não foi aceito"); break;
    case CURLE_SSL_CACERT_BADFILE:
        text = QStringLiteral("o arquivo de certificados %1 não pôde ser usado").arg(s.caFile);
        break;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ISSUER_ERROR: text = QStringLiteral("a conexão segura (TLS) com o servidor falhou"); break;
    case CURLE_WEIRD_SERVER_REPLY: text = QStringLiteral("o servidor respondeu de um modo inesperado"); break;
    default:
        if (answer >= 500)
            text = QStringLiteral("o servidor recusou a mensagem");
        else if (answer >= 400)
            text = QStringLiteral("o servidor recusou a mensagem por ora");
        else if (rc == CURLE_SEND_ERROR || rc == CURLE_RECV_ERROR || rc == CURLE_GOT_NOTHING)
            text = QStringLiteral("a conexão com o servidor caiu");
        else
            text = QStringLiteral("falha no envio");
    }
    QString detail = curlText;
    if (answer > 0 && !detail.contains(QString::number(answer)))
        detail += QStringLiteral(", resposta %1").arg(answer);
    return detail.isEmpty() ? text : QStringLiteral("%1 (%2)").arg(text, detail);
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
        return QStringLiteral("a biblioteca libcurl não pôde começar");
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
                                : std::optional<QString>(QStringLiteral("a biblioteca libcurl não pôde começar"));
        lock.lock();
        if (!error) {
            queue_.pop_front();
            ++sent_;
            if (failures > 0)
                tell(failures == 1
                         ? QStringLiteral("E-mail enviado de novo, após uma tentativa sem sucesso.")
                         : QStringLiteral("E-mail enviado de novo, após %1 tentativas sem sucesso.").arg(failures));
            failures = 0;
            pauseMs = settings_.retryFirstMs;
            QMetaObject::invokeMethod(
                this, [this, w = item.what] { emit sent(w); }, Qt::QueuedConnection);
            continue;
        }
        if (abort_)
            return;
        if (failures++ == 0)
            tell(QStringLiteral("E-mail não enviado: %1; nova tentativa em %2, depois com pausas maiores, até %3 "
                                "(\"%4\", servidor %5)")
                     .arg(*error, pause(pauseMs), pause(settings_.retryMaxMs), item.what,
                          QUrl(settings_.url).toString(QUrl::RemoveUserInfo)));
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
    if (left == 1)
        emit notice(QStringLiteral("Um e-mail não foi enviado antes do fim."));
    else if (left > 1)
        emit notice(QStringLiteral("%1 e-mails não foram enviados antes do fim.").arg(left));
    return left == 0;
}
