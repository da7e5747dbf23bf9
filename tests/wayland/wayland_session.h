// A private headless Wayland session (scripts/wayland/gnome-session or kde-session) for the
// whole-program tests of capture on a Wayland desktop, and the program run in it as the session's
// user, as the desktop portals require.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <vector>

#include "fakes/x11_test_support.h"

class WaylandSession {
public:
    enum class Desktop { Gnome, Kde };

    explicit WaylandSession(Desktop desktop) : m_desktop(desktop) {
        m_dir.setAutoRemove(true);
        // A desktop that did not come up within its deadline (seen once, on a fresh machine) gets one
        // more start in a folder of its own, after the first one's logs are shown.
        for (const QString& folder : {m_dir.path(), m_dir.filePath(QStringLiteral("again"))}) {
            m_path = folder;
            m_started = script({QStringLiteral("start"), folder}, 60000,
                               {QStringLiteral("KADREL_WL_DEADLINE=25")}) == 0;
            if (m_started) break;
            QProcess::execute(QStringLiteral("sh"),
                              {QStringLiteral("-c"), QStringLiteral("tail -n 15 \"$0\"/log/*.log"), folder});
        }
        QFile env(m_path + QStringLiteral("/env"));
        if (!m_started || !env.open(QIODevice::ReadOnly)) return;
        for (const QByteArray& line : env.readAll().split('\n')) {
            QByteArray text = line.trimmed();
            if (text.startsWith("export ")) text = text.mid(7);
            const qsizetype equals = text.indexOf('=');
            if (equals > 0 && !text.startsWith('#'))
                m_env.insert(QString::fromUtf8(text.left(equals)), QString::fromUtf8(text.mid(equals + 1)));
        }
    }
    // Stopping the session ends every process of its user there, the ones started here among them.
    ~WaylandSession() {
        script({QStringLiteral("stop"), m_path}, 60000);
        for (const auto& process : m_started_processes) process->waitForFinished(5000);
    }

    QString desktopName() const {
        return m_desktop == Desktop::Gnome ? QStringLiteral("GNOME") : QStringLiteral("KDE");
    }
    bool started() const { return m_started && m_env.contains(QStringLiteral("DISPLAY")); }
    QString value(const QString& name) const { return m_env.value(name); }
    QString user() const { return value(QStringLiteral("KADREL_WL_USER")); }
    QString dir() const { return m_path; }
    // A copy of the built program and its AVI module in a folder of the session's user, with the
    // settings file given; the folder.
    QString installProgram(const QByteArray& settings = {}) {
        const QString folder = userFolder(QStringLiteral("program"));
        const QString bin = qEnvironmentVariable("KADREL_BIN_DIR");
        for (const QString& name : {QStringLiteral("kadrel"), QStringLiteral("libkadrel_avi.so")})
            if (!QFile::copy(bin + QLatin1Char('/') + name, folder + QLatin1Char('/') + name)) return {};
        QFile ini(folder + QStringLiteral("/kadrel.ini"));
        if (!settings.isEmpty() &&
            !(ini.open(QIODevice::WriteOnly) && ini.write(settings) == settings.size()))
            return {};
        ini.close();
        if (QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), user(), folder}) != 0)
            return {};
        return folder;
    }
    // desktop-tool (scripts/wayland) with these arguments, as the session's user.
    bool desktopTool(const QStringList& arguments) {
        return output(QStringList{QStringLiteral(KADREL_SOURCE_DIR "/scripts/wayland/desktop-tool"), dir()} +
                      arguments)
            .has_value();
    }
    // A folder under the session's own, which its user owns.
    QString userFolder(const QString& name) {
        const QString path = m_dir.filePath(name);
        QDir().mkpath(path);
        QProcess::execute(QStringLiteral("chown"), {user(), path});
        return path;
    }
    // Starts command as the session's user in folder, until the session stops.
    void start(const QStringList& command, const QString& folder) {
        auto& process = m_started_processes.emplace_back(std::make_unique<QProcess>());
        process->setWorkingDirectory(folder);
        process->start(QStringLiteral("bash"),
                       QStringList{scriptPath(), QStringLiteral("run"), m_path} + command);
    }
    // Runs command as the session's user and waits for it: its standard output, or nothing on failure.
    std::optional<QByteArray> output(const QStringList& command) {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);  // a failure says why in the test's log
        p.start(QStringLiteral("bash"), QStringList{scriptPath(), QStringLiteral("run"), m_path} + command);
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            return std::nullopt;
        return p.readAllStandardOutput();
    }

    // For xdotool: the X display of the session's XWayland, while it lives.
    class OnItsDisplay {
    public:
        explicit OnItsDisplay(const WaylandSession& session)
            : m_display(qgetenv("DISPLAY")), m_authority(qgetenv("XAUTHORITY")) {
            qputenv("DISPLAY", session.value(QStringLiteral("DISPLAY")).toUtf8());
            qputenv("XAUTHORITY", session.value(QStringLiteral("XAUTHORITY")).toUtf8());
        }
        ~OnItsDisplay() {
            qputenv("DISPLAY", m_display);
            qputenv("XAUTHORITY", m_authority);
        }

    private:
        QByteArray m_display, m_authority;
    };

private:
    QString scriptPath() const {
        return QStringLiteral(KADREL_SOURCE_DIR "/scripts/wayland/") + (m_desktop == Desktop::Gnome
                                                                            ? QStringLiteral("gnome-session")
                                                                            : QStringLiteral("kde-session"));
    }
    int script(const QStringList& arguments, int timeoutMs, const QStringList& environment = {}) {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& entry : environment) env.insert(entry.section('=', 0, 0), entry.section('=', 1));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("bash"), QStringList{scriptPath()} + arguments);
        return p.waitForFinished(timeoutMs) && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    Desktop m_desktop;
    QTemporaryDir m_dir;
    QString m_path;  // the session's folder: m_dir, or one inside it when the first start failed
    bool m_started = false;
    QHash<QString, QString> m_env;
    std::vector<std::unique_ptr<QProcess>> m_started_processes;
};

inline bool xdotool(const QStringList& arguments) {
    QProcess p;
    p.start(QStringLiteral("xdotool"), arguments);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A window of exactly this title is shown on the session's display (OnItsDisplay).
inline bool windowShown(const QString& name, int timeoutMs = 30000) {
    return waitUntil(
        [&] {
            return xdotool({"search", "--onlyvisible", "--name", QLatin1Char('^') + name + '$'});
        },
        timeoutMs);
}

// The keys typed into the window of this title, which is made the active one first: the desktop does
// not always give a window of the program the keyboard when it asks.
inline bool keysInto(const QString& name, const QStringList& keys) {
    QProcess search;
    search.start(QStringLiteral("xdotool"),
                 {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                  QLatin1Char('^') + name + QLatin1Char('$')});
    if (!search.waitForFinished(30000)) return false;
    const QList<QByteArray> found = search.readAllStandardOutput().trimmed().split('\n');
    if (found.isEmpty() || found.back().isEmpty()) {
        ADD_FAILURE() << "no window shown with the title " << name.toStdString();
        return false;
    }
    const QString window = QString::fromLatin1(found.back());
    QByteArray focused;
    if (!waitUntil([&] {
            xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
            QProcess focus;
            focus.start(QStringLiteral("xdotool"), {QStringLiteral("getwindowfocus")});
            focused = focus.waitForFinished(30000) ? focus.readAllStandardOutput().trimmed() : QByteArray();
            return focused == window.toLatin1();
        })) {
        ADD_FAILURE() << name.toStdString() << " (" << window.toStdString()
                      << ") did not get the keyboard; it stayed with " << focused.toStdString();
        return false;
    }
    return xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("20")} +
                   keys);
}

// The desktops are installed by scripts/setup; outside CI a machine without one skips these tests.
#define REQUIRE_SESSION(session)                                                                          \
    do {                                                                                                  \
        if (!(session).started()) {                                                                       \
            if (qEnvironmentVariableIsSet("CI"))                                                          \
                FAIL() << "cannot start a " << (session).desktopName().toStdString() << " session";       \
            GTEST_SKIP() << "needs root and the " << (session).desktopName().toStdString() << " desktop"; \
        }                                                                                                 \
    } while (false)
