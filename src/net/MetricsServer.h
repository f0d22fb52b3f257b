#pragma once

#include <QHostAddress>
#include <QObject>

#include <functional>
#include <memory>

class QTcpServer;

// The metrics endpoint: GET /metrics answers with the text of `render`
// (asked at every request, on this thread); any other method or path gets a
// 404. Serves while the thread's events run.
class MetricsServer : public QObject {
    Q_OBJECT
public:
    explicit MetricsServer(std::function<QByteArray()> render, QObject *parent = nullptr);
    ~MetricsServer() override;

    // Port 0: any free port (see port()). False with the reason in *error.
    bool listen(const QHostAddress &address, quint16 port, QString *error = nullptr);
    quint16 port() const;
    QHostAddress address() const;
    // "http://127.0.0.1:9464/metrics", "http://[::1]:9464/metrics".
    QString url() const;
    quint64 scrapes() const { return scrapes_; }

private:
    class Http;
    std::function<QByteArray()> render_;
    std::unique_ptr<Http> http_;
    QTcpServer *tcp_ = nullptr; // owned by http_
    quint64 scrapes_ = 0;
};
