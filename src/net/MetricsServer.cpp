#include "net/MetricsServer.h"

#include "core/monitor/Metrics.h"

#include <QAbstractHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpServer>

class MetricsServer::Http : public QAbstractHttpServer {
public:
    explicit Http(MetricsServer &owner) : owner_(owner) {}

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override
    {
        if (request.method() != QHttpServerRequest::Method::Get || request.url().path() != QLatin1String("/metrics"))
            return false;
        ++owner_.scrapes_;
        makeResponder(request, socket).write(owner_.render_(), QByteArray(kMetricsContentType));
        return true;
    }
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override
    {
        makeResponder(request, socket)
            .write(QByteArray("Not Found: try GET /metrics\n"), QByteArray("text/plain; charset=utf-8"),
                   QHttpServerResponder::StatusCode::NotFound);
    }

private:
    MetricsServer &owner_;
};

MetricsServer::MetricsServer(std::function<QByteArray()> render, QObject *parent)
    : QObject(parent), render_(std::move(render)), http_(std::make_unique<Http>(*this))
{
}

MetricsServer::~MetricsServer() = default;

bool MetricsServer::listen(const QHostAddress &address, quint16 port, QString *error)
{
    // Our own socket, so a port in use or a foreign address says why.
    auto tcp = std::make_unique<QTcpServer>();
    if (!tcp->listen(address, port)) {
        if (error)
            *error = tcp->errorString();
        return false;
    }
    tcp_ = tcp.get();
    http_->bind(tcp.release());
    return true;
}

quint16 MetricsServer::port() const
{
    return tcp_ ? tcp_->serverPort() : 0;
}

QHostAddress MetricsServer::address() const
{
    return tcp_ ? tcp_->serverAddress() : QHostAddress();
}

QString MetricsServer::url() const
{
    const QHostAddress a = address();
    const QString host =
        a.protocol() == QAbstractSocket::IPv6Protocol ? QStringLiteral("[%1]").arg(a.toString()) : a.toString();
    return QStringLiteral("http://%1:%2/metrics").arg(host).arg(port());
}
