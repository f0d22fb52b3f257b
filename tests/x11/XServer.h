#pragma once

// A private X server (Xvfb) for one test program, and what the test reads
// back from it: the windows the server has mapped and the captions they were
// given, as a window manager would see them.
#include <QList>
#include <QString>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

// Starts Xvfb on a display number it picks itself (no race with other
// servers on the machine) and stops it at the end.
class XvfbServer {
public:
    ~XvfbServer()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    // On success, DISPLAY names the new server.
    bool start()
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return false;
        pid_ = ::fork();
        if (pid_ < 0)
            return false;
        if (pid_ == 0) {
            ::close(fds[0]);
            // The server goes with this test, even when the test crashes.
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            const std::string fd = std::to_string(fds[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0", "1600x1200x24",
                     static_cast<char *>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        std::string number;
        char c;
        while (::read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        ::close(fds[0]);
        if (number.empty())
            return false;
        ::setenv("DISPLAY", (":" + number).c_str(), 1);
        return true;
    }

private:
    pid_t pid_ = -1;
};

// A client connection of its own, beside the one of the windows under test.
class XWindows {
public:
    XWindows() : c_(xcb_connect(nullptr, nullptr), xcb_disconnect) {}

    bool connected() const { return c_ && !xcb_connection_has_error(c_.get()); }

    // The mapped top-level windows of one process (Qt marks its windows with _NET_WM_PID).
    QList<xcb_window_t> shownWindowsOf(qint64 pid)
    {
        QList<xcb_window_t> out;
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c_.get())).data->root;
        auto *tree = xcb_query_tree_reply(c_.get(), xcb_query_tree(c_.get(), root), nullptr);
        if (!tree)
            return out;
        const xcb_window_t *children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
            const QByteArray p = property(children[i], "_NET_WM_PID", XCB_ATOM_CARDINAL);
            if (p.size() == 4 && qint64(*reinterpret_cast<const quint32 *>(p.constData())) == pid &&
                mapped(children[i]))
                out << children[i];
        }
        std::free(tree);
        return out;
    }

    bool mapped(xcb_window_t w)
    {
        auto *a = xcb_get_window_attributes_reply(c_.get(), xcb_get_window_attributes(c_.get(), w), nullptr);
        const bool viewable = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(a);
        return viewable;
    }

    // The caption a window manager shows: _NET_WM_NAME, else WM_NAME.
    QString caption(xcb_window_t w)
    {
        const QByteArray net = property(w, "_NET_WM_NAME", atom("UTF8_STRING"));
        if (!net.isEmpty())
            return QString::fromUtf8(net);
        return QString::fromUtf8(property(w, "WM_NAME", XCB_GET_PROPERTY_TYPE_ANY));
    }

    // What the window manager's close button does.
    void askToClose(xcb_window_t w)
    {
        xcb_client_message_event_t e;
        std::memset(&e, 0, sizeof e);
        e.response_type = XCB_CLIENT_MESSAGE;
        e.format = 32;
        e.window = w;
        e.type = atom("WM_PROTOCOLS");
        e.data.data32[0] = atom("WM_DELETE_WINDOW");
        e.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(c_.get(), 0, w, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&e));
        xcb_flush(c_.get());
    }

private:
    xcb_atom_t atom(const char *name)
    {
        auto *r =
            xcb_intern_atom_reply(c_.get(), xcb_intern_atom(c_.get(), 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(r);
        return a;
    }

    QByteArray property(xcb_window_t w, const char *name, xcb_atom_t type)
    {
        auto *r =
            xcb_get_property_reply(c_.get(), xcb_get_property(c_.get(), 0, w, atom(name), type, 0, 1024), nullptr);
        QByteArray out;
        if (r)
            out = QByteArray(static_cast<const char *>(xcb_get_property_value(r)), xcb_get_property_value_length(r));
        std::free(r);
        return out;
    }

    std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t *)> c_;
};
