#pragma once

// A desktop of the test's own for the editor's choosers and services: a
// private session bus (dbus-daemon with a configuration that starts no
// services), a fake file-chooser portal and file manager on it (a thread
// with its own connection) that record what they are asked, and fake
// zenity, kdialog and xdg-open scripts that record their arguments and
// print an answer.

#include <dbus/dbus.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <mutex>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace x11test {

inline std::string MakeTempDir(const char* name) {
    std::string pattern = std::string("/tmp/") + name + "-XXXXXX";
    return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

inline void RemoveTree(const std::string& dir) {
    if (dir.rfind("/tmp/", 0) == 0)
        std::system(("/bin/rm -rf '" + dir + "'").c_str());
}

class PrivateSessionBus {
public:
    // Null, with the reason, when dbus-daemon cannot be started.
    static std::unique_ptr<PrivateSessionBus> Start(std::string& whyNot) {
        std::unique_ptr<PrivateSessionBus> bus(new PrivateSessionBus);
        bus->dir = MakeTempDir("lumaro-bus");
        const std::string config = bus->dir + "/bus.conf";
        std::ofstream(config)
            << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
               "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig><type>session</type><listen>unix:path="
            << bus->dir
            << "/bus</listen><auth>EXTERNAL</auth><policy context=\"default\">"
               "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
               "<allow own=\"*\"/></policy></busconfig>\n";
        int fds[2];
        if (pipe(fds) != 0) {
            whyNot = "no pipe";
            return nullptr;
        }
        const std::string printAddress = "--print-address=" + std::to_string(fds[1]);
        const std::string configArg = "--config-file=" + config;
        std::vector<char*> argv{
            const_cast<char*>("dbus-daemon"),        const_cast<char*>(configArg.c_str()),
            const_cast<char*>("--nofork"),           const_cast<char*>("--nopidfile"),
            const_cast<char*>(printAddress.c_str()), nullptr};
        // Its complaints (it may not raise its descriptor limit) are not ours.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const int failed =
            posix_spawnp(&bus->pid, "dbus-daemon", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (failed != 0) {
            close(fds[0]);
            close(fds[1]);
            whyNot = "dbus-daemon is not installed";
            return nullptr;
        }
        close(fds[1]);
        pollfd fd{fds[0], POLLIN, 0};
        char buffer[512] = {};
        if (poll(&fd, 1, 5000) > 0) {
            const ssize_t n = read(fds[0], buffer, sizeof(buffer) - 1);
            bus->address.assign(buffer, n > 0 ? static_cast<size_t>(n) : 0);
        }
        close(fds[0]);
        while (!bus->address.empty() && bus->address.back() == '\n')
            bus->address.pop_back();
        if (bus->address.empty()) {
            whyNot = "dbus-daemon gave no address";
            return nullptr;
        }
        return bus;
    }
    ~PrivateSessionBus() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        RemoveTree(dir);
    }
    const std::string& Address() const { return address; }

private:
    PrivateSessionBus() = default;
    pid_t pid = -1;
    std::string dir;
    std::string address;
};

// What the fake services were asked.
struct PortalCall {
    std::string method, parent, title, currentName, currentFolder, filterName;
    std::vector<std::string> globs;
    bool directory = false;
    bool modal = false;
};
struct FileManagerCall {
    std::string method;
    std::vector<std::string> uris;
};

class FakeDesktopServices {
public:
    struct Options {
        bool portal = true;
        bool fileManager = true;
        uint32_t portalVersion = 4;
    };

    FakeDesktopServices(const std::string& address, Options options) : options(options) {
        DBusError error;
        dbus_error_init(&error);
        connection = dbus_connection_open_private(address.c_str(), &error);
        dbus_error_free(&error);
        if (connection == nullptr || !dbus_bus_register(connection, nullptr))
            return;
        if (options.portal)
            dbus_bus_request_name(connection, "org.freedesktop.portal.Desktop", 0, nullptr);
        if (options.fileManager)
            dbus_bus_request_name(connection, "org.freedesktop.FileManager1", 0, nullptr);
        thread = std::thread([this] { Serve(); });
    }
    ~FakeDesktopServices() {
        stop = true;
        if (thread.joinable())
            thread.join();
        if (connection != nullptr) {
            dbus_connection_close(connection);
            dbus_connection_unref(connection);
        }
    }
    bool Ready() const { return thread.joinable(); }

    // The next chooser's answer: the portal's response code and URIs.
    void Answer(uint32_t code, std::vector<std::string> uris) {
        std::lock_guard lock(mutex);
        response = code;
        answerUris = std::move(uris);
    }
    std::vector<PortalCall> PortalCalls() {
        std::lock_guard lock(mutex);
        return portalCalls;
    }
    std::vector<FileManagerCall> FileManagerCalls() {
        std::lock_guard lock(mutex);
        return managerCalls;
    }

private:
    static std::string ReadString(DBusMessageIter* iter) {
        const char* value = "";
        if (dbus_message_iter_get_arg_type(iter) == DBUS_TYPE_STRING ||
            dbus_message_iter_get_arg_type(iter) == DBUS_TYPE_OBJECT_PATH)
            dbus_message_iter_get_basic(iter, &value);
        return value;
    }

    void ReadOptions(DBusMessageIter* dict, PortalCall& call, std::string& token) {
        DBusMessageIter entries;
        dbus_message_iter_recurse(dict, &entries);
        while (dbus_message_iter_get_arg_type(&entries) == DBUS_TYPE_DICT_ENTRY) {
            DBusMessageIter entry, value;
            dbus_message_iter_recurse(&entries, &entry);
            const std::string key = ReadString(&entry);
            dbus_message_iter_next(&entry);
            dbus_message_iter_recurse(&entry, &value);
            if (key == "handle_token") {
                token = ReadString(&value);
            } else if (key == "current_name") {
                call.currentName = ReadString(&value);
            } else if (key == "directory" || key == "modal") {
                dbus_bool_t flag = FALSE;
                dbus_message_iter_get_basic(&value, &flag);
                (key == "directory" ? call.directory : call.modal) = flag != FALSE;
            } else if (key == "current_folder") {
                DBusMessageIter bytes;
                dbus_message_iter_recurse(&value, &bytes);
                const char* data = nullptr;
                int count = 0;
                dbus_message_iter_get_fixed_array(&bytes, &data, &count);
                call.currentFolder.assign(data, static_cast<size_t>(count));
                if (!call.currentFolder.empty() && call.currentFolder.back() == '\0')
                    call.currentFolder.pop_back();
            } else if (key == "filters") {
                DBusMessageIter filters, filter, patterns;
                dbus_message_iter_recurse(&value, &filters);
                dbus_message_iter_recurse(&filters, &filter);
                call.filterName = ReadString(&filter);
                dbus_message_iter_next(&filter);
                dbus_message_iter_recurse(&filter, &patterns);
                while (dbus_message_iter_get_arg_type(&patterns) == DBUS_TYPE_STRUCT) {
                    DBusMessageIter pattern;
                    dbus_message_iter_recurse(&patterns, &pattern);
                    dbus_message_iter_next(&pattern);
                    call.globs.push_back(ReadString(&pattern));
                    dbus_message_iter_next(&patterns);
                }
            }
            dbus_message_iter_next(&entries);
        }
    }

    void Chooser(DBusMessage* message, const char* method) {
        PortalCall call;
        call.method = method;
        std::string token;
        DBusMessageIter iter;
        dbus_message_iter_init(message, &iter);
        call.parent = ReadString(&iter);
        dbus_message_iter_next(&iter);
        call.title = ReadString(&iter);
        dbus_message_iter_next(&iter);
        ReadOptions(&iter, call, token);
        std::string sender = dbus_message_get_sender(message);
        std::string element;
        for (char c : sender)
            if (c != ':')
                element += c == '.' ? '_' : c;
        const std::string handle =
            "/org/freedesktop/portal/desktop/request/" + element + "/" + token;
        DBusMessage* reply = dbus_message_new_method_return(message);
        const char* path = handle.c_str();
        dbus_message_append_args(reply, DBUS_TYPE_OBJECT_PATH, &path, DBUS_TYPE_INVALID);
        dbus_connection_send(connection, reply, nullptr);
        dbus_message_unref(reply);

        uint32_t code = 0;
        std::vector<std::string> uris;
        {
            std::lock_guard lock(mutex);
            portalCalls.push_back(call);
            code = response;
            uris = answerUris;
        }
        DBusMessage* signal =
            dbus_message_new_signal(handle.c_str(), "org.freedesktop.portal.Request", "Response");
        DBusMessageIter out, results, entry, variant, list;
        dbus_message_iter_init_append(signal, &out);
        dbus_message_iter_append_basic(&out, DBUS_TYPE_UINT32, &code);
        dbus_message_iter_open_container(&out, DBUS_TYPE_ARRAY, "{sv}", &results);
        dbus_message_iter_open_container(&results, DBUS_TYPE_DICT_ENTRY, nullptr, &entry);
        const char* key = "uris";
        dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &key);
        dbus_message_iter_open_container(&entry, DBUS_TYPE_VARIANT, "as", &variant);
        dbus_message_iter_open_container(&variant, DBUS_TYPE_ARRAY, "s", &list);
        for (const std::string& uri : uris) {
            const char* value = uri.c_str();
            dbus_message_iter_append_basic(&list, DBUS_TYPE_STRING, &value);
        }
        dbus_message_iter_close_container(&variant, &list);
        dbus_message_iter_close_container(&entry, &variant);
        dbus_message_iter_close_container(&results, &entry);
        dbus_message_iter_close_container(&out, &results);
        dbus_connection_send(connection, signal, nullptr);
        dbus_message_unref(signal);
    }

    void Handle(DBusMessage* message) {
        if (dbus_message_get_type(message) != DBUS_MESSAGE_TYPE_METHOD_CALL)
            return;
        const char* interface = dbus_message_get_interface(message);
        const char* member = dbus_message_get_member(message);
        const std::string iface = interface ? interface : "";
        const std::string name = member ? member : "";
        if (iface == "org.freedesktop.portal.FileChooser" &&
            (name == "OpenFile" || name == "SaveFile")) {
            Chooser(message, name.c_str());
            return;
        }
        DBusMessage* reply = nullptr;
        if (iface == "org.freedesktop.DBus.Properties" && name == "Get") {
            reply = dbus_message_new_method_return(message);
            DBusMessageIter out, variant;
            dbus_message_iter_init_append(reply, &out);
            dbus_message_iter_open_container(&out, DBUS_TYPE_VARIANT, "u", &variant);
            dbus_message_iter_append_basic(&variant, DBUS_TYPE_UINT32, &options.portalVersion);
            dbus_message_iter_close_container(&out, &variant);
        } else if (iface == "org.freedesktop.FileManager1") {
            FileManagerCall call;
            call.method = name;
            DBusMessageIter iter, list;
            dbus_message_iter_init(message, &iter);
            dbus_message_iter_recurse(&iter, &list);
            while (dbus_message_iter_get_arg_type(&list) == DBUS_TYPE_STRING) {
                call.uris.push_back(ReadString(&list));
                dbus_message_iter_next(&list);
            }
            {
                std::lock_guard lock(mutex);
                managerCalls.push_back(call);
            }
            reply = dbus_message_new_method_return(message);
        } else {
            reply = dbus_message_new_error(message, DBUS_ERROR_UNKNOWN_METHOD, "not here");
        }
        dbus_connection_send(connection, reply, nullptr);
        dbus_message_unref(reply);
    }

    void Serve() {
        while (!stop && dbus_connection_read_write(connection, 10)) {
            while (DBusMessage* message = dbus_connection_pop_message(connection)) {
                Handle(message);
                dbus_message_unref(message);
            }
            dbus_connection_flush(connection);
        }
    }

    Options options;
    DBusConnection* connection = nullptr;
    std::thread thread;
    std::atomic<bool> stop{false};
    std::mutex mutex;
    uint32_t response = 0;
    std::vector<std::string> answerUris;
    std::vector<PortalCall> portalCalls;
    std::vector<FileManagerCall> managerCalls;
};

// zenity, kdialog and xdg-open stand-ins in a folder of their own: each
// writes its arguments, one a line, to <name>.args, waits <name>.delay
// seconds, prints <name>.answer and exits with <name>.status.
class FakeHelpers {
public:
    FakeHelpers() : dir(MakeTempDir("lumaro-helpers")) {
        for (const char* name : {"zenity", "kdialog", "xdg-open"}) {
            const std::string path = dir + "/" + name;
            std::ofstream(path)
                << "#!/bin/sh\nPATH=/usr/bin:/bin\nd=\"$(dirname \"$0\")\"\n"
                   "n=\"$(basename \"$0\")\"\n"
                   "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$d/$n.args\"\n"
                   "[ -f \"$d/$n.delay\" ] && sleep \"$(cat \"$d/$n.delay\")\"\n"
                   "[ -f \"$d/$n.answer\" ] && cat \"$d/$n.answer\"\n"
                   "exit \"$(cat \"$d/$n.status\" 2>/dev/null || echo 0)\"\n";
            chmod(path.c_str(), 0755);
        }
    }
    ~FakeHelpers() { RemoveTree(dir); }
    const std::string& Dir() const { return dir; }

    void Set(const std::string& name, const std::string& what, const std::string& value) {
        std::ofstream(dir + "/" + name + "." + what) << value;
    }
    // The arguments of the last run; empty when it never ran.
    std::vector<std::string> Arguments(const std::string& name) {
        std::ifstream in(dir + "/" + name + ".args");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    void Forget(const std::string& name) { unlink((dir + "/" + name + ".args").c_str()); }

private:
    std::string dir;
};

// Sets an environment variable for a scope (unset with null).
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name(name) {
        if (const char* old = std::getenv(name)) {
            had = true;
            previous = old;
        }
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (had)
            setenv(name.c_str(), previous.c_str(), 1);
        else
            unsetenv(name.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name;
    std::string previous;
    bool had = false;
};

} // namespace x11test
