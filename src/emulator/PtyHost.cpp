#include "emulator/PtyHost.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {
// Nobody reading the terminal for this long a backlog: the bytes are stale.
constexpr qsizetype kMaxBacklog = 1 << 20;
} // namespace

PtyHost::PtyHost(const EmulatorOptions &options, QObject *parent) : QObject(parent), driver_(options, this)
{
    driver_.setSink([this](const QByteArray &bytes) { write(bytes); });
}

PtyHost::~PtyHost()
{
    driver_.setRunning(false);
    notifier_.reset();
    writeNotifier_.reset();
    if (!link_.isEmpty())
        QFile::remove(link_);
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
}

bool PtyHost::start(QString *error)
{
    auto fail = [&](const char *what) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    };
    // Not inherited by programs this process starts: a child holding the
    // master would keep the line alive after the instrument is "unplugged".
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0)
        return fail("posix_openpt");
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        return fail("grantpt");
    const char *name = ::ptsname(master_);
    if (!name)
        return fail("ptsname");
    path_ = QString::fromLocal8Bit(name);
    // Held open so that the line stays raw (no echo, no line editing) until
    // a client opens it, and the master never sees a hang-up between clients.
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave_ < 0)
        return fail("open");
    termios t;
    if (::tcgetattr(slave_, &t) == 0) {
        ::cfmakeraw(&t);
        ::cfsetispeed(&t, B9600);
        ::cfsetospeed(&t, B9600);
        ::tcsetattr(slave_, TCSANOW, &t);
    }
    notifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &PtyHost::readMaster);
    writeNotifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Write);
    writeNotifier_->setEnabled(false);
    connect(writeNotifier_.get(), &QSocketNotifier::activated, this, [this] { write({}); });
    driver_.setRunning(true);
    return true;
}

bool PtyHost::linkAs(const QString &path, QString *error)
{
    QFile::remove(path);
    if (!QFile::link(path_, path)) {
        if (error)
            *error = QStringLiteral("cannot create the link %1").arg(path);
        return false;
    }
    link_ = path;
    return true;
}

void PtyHost::readMaster()
{
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) {
            driver_.receive(QByteArray(buf, int(n)));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return;
    }
}

void PtyHost::write(const QByteArray &bytes)
{
    pending_ += bytes;
    while (!pending_.isEmpty()) {
        const ssize_t n = ::write(master_, pending_.constData(), size_t(pending_.size()));
        if (n > 0) {
            pending_.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break; // full: try again when the terminal takes more
    }
    if (pending_.size() > kMaxBacklog) {
        pending_.clear();
        ::tcflush(slave_, TCIFLUSH);
    }
    writeNotifier_->setEnabled(!pending_.isEmpty());
}
