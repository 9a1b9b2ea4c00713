#include "PublishConfig.h"

#include "ReadingQueue.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QUrl>

#include <functional>
#include <set>
#include <sys/stat.h>

namespace quellix {

namespace {

using Setter = bool (*)(PublishConfig&, const QString&, QString*);

struct Key {
    const char* section;
    const char* name;
    Setter set;
};

bool Integer(const QString& value, std::int64_t low, std::int64_t high, std::int64_t* out, QString* why) {
    bool ok = false;
    *out = value.toLongLong(&ok);
    if (ok && *out >= low && *out <= high)
        return true;
    *why = QStringLiteral("must be a whole number from %1 to %2").arg(low).arg(high);
    return false;
}

bool Bool(const QString& value, bool* out, QString* why) {
    const QString v = value.toLower();
    if (v == u"true" || v == u"yes" || v == u"on" || v == u"1")
        *out = true;
    else if (v == u"false" || v == u"no" || v == u"off" || v == u"0")
        *out = false;
    else {
        *why = QStringLiteral("must be true or false");
        return false;
    }
    return true;
}

bool NotEmpty(const QString& value, QString* why) {
    if (value.isEmpty())
        *why = QStringLiteral("is empty");
    return !value.isEmpty();
}

const Key Keys[] = {
    {"broker", "url",
     [](PublishConfig& c, const QString& v, QString* why) { return ParseBrokerUrl(v, c.broker, why); }},
    {"broker", "client_id",
     [](PublishConfig& c, const QString& v, QString* why) {
         c.broker.clientId = v;
         return NotEmpty(v, why);
     }},
    {"broker", "protocol",
     [](PublishConfig& c, const QString& v, QString* why) {
         if (v == u"3.1.1" || v == u"5") {
             c.broker.protocol = v == u"5" ? MqttProtocol::V5 : MqttProtocol::V311;
             return true;
         }
         *why = QStringLiteral("must be 3.1.1 or 5");
         return false;
     }},
    {"broker", "keepalive",
     [](PublishConfig& c, const QString& v, QString* why) {
         std::int64_t n = 0;
         const bool ok = Integer(v, 5, 3600, &n, why);
         c.broker.keepAliveSeconds = static_cast<int>(n);
         return ok;
     }},
    {"broker", "username",
     [](PublishConfig& c, const QString& v, QString* why) {
         c.broker.username = v;
         return NotEmpty(v, why);
     }},
    // The password and the files are checked once the whole file is read.
    {"broker", "password", [](PublishConfig&, const QString& v, QString* why) { return NotEmpty(v, why); }},
    {"broker", "password_file",
     [](PublishConfig&, const QString& v, QString* why) { return NotEmpty(v, why); }},
    {"broker", "ca_file",
     [](PublishConfig& c, const QString& v, QString* why) {
         c.broker.caFile = v;
         return NotEmpty(v, why);
     }},
    {"broker", "cert_file",
     [](PublishConfig& c, const QString& v, QString* why) {
         c.broker.certFile = v;
         return NotEmpty(v, why);
     }},
    {"broker", "key_file",
     [](PublishConfig& c, const QString& v, QString* why) {
         c.broker.keyFile = v;
         return NotEmpty(v, why);
     }},
    {"topics", "prefix",
     [](PublishConfig& c, const QString& v, QString* why) {
         c.topics.prefix = v;
         return IsValidTopicPrefix(v, why);
     }},
    {"topics", "discovery",
     [](PublishConfig& c, const QString& v, QString* why) { return Bool(v, &c.discovery, why); }},
    {"topics", "discovery_prefix",
     [](PublishConfig& c, const QString& v, QString* why) {
         c.topics.discoveryPrefix = v;
         return IsValidTopicPrefix(v, why);
     }},
    {"queue", "directory",
     [](PublishConfig& c, const QString& v, QString* why) {
         c.queueDirectory = v;
         return NotEmpty(v, why);
     }},
    {"queue", "readings",
     [](PublishConfig& c, const QString& v, QString* why) {
         return Integer(v, ReadingQueue::MinCapacity, ReadingQueue::MaxCapacity, &c.queueReadings, why);
     }},
    {"metrics", "listen",
     [](PublishConfig& c, const QString& v, QString* why) {
         QString host;
         quint16 port = 0;
         c.metricsListen = v;
         if (!ParseListenAddress(v, &host, &port, why))
             return false;
         if (port == 0)
             *why = QStringLiteral("needs a port");
         return port != 0;
     }},
};

const Key* FindKey(const QString& section, const QString& name) {
    for (const Key& key : Keys) {
        if (section == QLatin1String(key.section) && name == QLatin1String(key.name))
            return &key;
    }
    return nullptr;
}

bool KnownSection(const QString& section) {
    return std::any_of(std::begin(Keys), std::end(Keys),
                       [&](const Key& k) { return section == QLatin1String(k.section); });
}

PublishConfig Defaults() {
    PublishConfig config;
    config.broker.clientId = QStringLiteral("quellix-") + UnitIdFor(QSysInfo::machineHostName());
    config.queueDirectory = DefaultQueueDirectory();
    config.queueReadings = ReadingQueue::DefaultCapacity;
    return config;
}

// A secret that every user of the machine could read is no secret: refused, with what to do.
bool PrivateFile(const QString& path, const QString& holds, QString* error) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = QStringLiteral("%1 is no readable file").arg(path);
        return false;
    }
    if (st.st_mode & S_IROTH) {
        *error =
            QStringLiteral("%1 holds %2 and can be read by every user; allow its owner (and group) only: "
                           "chmod o-r %1")
                .arg(path, holds);
        return false;
    }
    return true;
}

bool ReadPassword(const QString& path, QByteArray* password, QString* error) {
    if (!PrivateFile(path, QStringLiteral("a password"), error))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    // The first line; a line end at its end is no part of it.
    *password = file.readLine();
    while (password->endsWith('\n') || password->endsWith('\r'))
        password->chop(1);
    if (password->isEmpty()) {
        *error = QStringLiteral("%1 holds no password").arg(path);
        return false;
    }
    return true;
}

bool Readable(const QString& path, QString* error) {
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        return true;
    *error = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
    return false;
}

// What depends on more than one key.
bool CheckWhole(PublishConfig& c, const QString& path, const std::map<QString, QString>& values,
                QString* error) {
    const auto value = [&](const char* key) {
        const auto it = values.find(QString::fromLatin1(key));
        return it == values.end() ? QString() : it->second;
    };
    MqttSettings& b = c.broker;
    QString why;
    if (value("url").isEmpty())
        why = QStringLiteral("%1: [broker] has no url").arg(path);
    else if (!value("password").isEmpty() && !value("password_file").isEmpty())
        why = QStringLiteral("%1: give either password or password_file, not both").arg(path);
    else if ((!value("password").isEmpty() || !value("password_file").isEmpty()) && b.username.isEmpty())
        why = QStringLiteral("%1: a password needs a username").arg(path);
    else if (b.certFile.isEmpty() != b.keyFile.isEmpty())
        why = QStringLiteral("%1: cert_file and key_file go together").arg(path);
    else if (!b.tls && !(b.caFile.isEmpty() && b.certFile.isEmpty()))
        why = QStringLiteral("%1: TLS files are given for a broker without TLS; use mqtts://").arg(path);
    if (!why.isEmpty()) {
        *error = why;
        return false;
    }
    if (!value("password").isEmpty()) {
        if (!PrivateFile(path, QStringLiteral("a password"), error))
            return false;
        b.password = value("password").toUtf8();
    }
    if (!value("password_file").isEmpty() && !ReadPassword(value("password_file"), &b.password, error))
        return false;
    if (!b.keyFile.isEmpty() && !PrivateFile(b.keyFile, QStringLiteral("a private key"), error))
        return false;
    return (b.caFile.isEmpty() || Readable(b.caFile, error)) &&
           (b.certFile.isEmpty() || Readable(b.certFile, error)) &&
           (b.keyFile.isEmpty() || Readable(b.keyFile, error));
}

QString Unquoted(const QString& value) {
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        return value.sliced(1, value.size() - 2);
    return value;
}

} // namespace

bool ParseBrokerUrl(const QString& text, MqttSettings& settings, QString* error) {
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    QString why;
    if (!url.isValid() || (scheme != u"mqtt" && scheme != u"mqtts") || url.host().isEmpty())
        why = QStringLiteral("%1 is no broker URL such as mqtt://HOST:1883 or mqtts://HOST:8883").arg(text);
    else if (!url.password().isEmpty())
        why = QStringLiteral("a password does not go in the broker URL: give it in the configuration file");
    else if ((!url.path().isEmpty() && url.path() != u"/") || url.hasQuery() || url.hasFragment())
        why = QStringLiteral("%1: a broker URL has no path, query or fragment").arg(text);
    if (!why.isEmpty()) {
        *error = why;
        return false;
    }
    settings.tls = scheme == u"mqtts";
    settings.host = url.host();
    settings.port = url.port(settings.tls ? 8883 : 1883);
    if (!url.userName().isEmpty())
        settings.username = url.userName();
    return true;
}

bool ParseListenAddress(const QString& text, QString* host, quint16* port, QString* error) {
    const qsizetype colon = text.lastIndexOf(u':');
    QString h = text.left(colon);
    if (h.startsWith(u'[') && h.endsWith(u']'))
        h = h.sliced(1, h.size() - 2);
    bool ok = false;
    const uint p = text.mid(colon + 1).toUInt(&ok);
    if (colon <= 0 || h.isEmpty() || h.contains(u'[') || !ok || p > 65535) {
        *error = QStringLiteral("%1 is no HOST:PORT such as 127.0.0.1:9464 or [::1]:9464").arg(text);
        return false;
    }
    *host = h;
    *port = static_cast<quint16>(p);
    return true;
}

QString DefaultQueueDirectory() {
    // systemd's StateDirectory= of the service; several are separated by ':'.
    const QString state = qEnvironmentVariable("STATE_DIRECTORY").section(u':', 0, 0);
    if (!state.isEmpty())
        return state;
    const QString xdg = qEnvironmentVariable("XDG_STATE_HOME");
    return (xdg.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/state") : xdg) +
           QStringLiteral("/quellix");
}

std::optional<PublishConfig> ConfigForBroker(const QString& url, QString* error) {
    PublishConfig config = Defaults();
    if (!ParseBrokerUrl(url, config.broker, error))
        return std::nullopt;
    return config;
}

std::optional<PublishConfig> LoadPublishConfig(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    PublishConfig config = Defaults();
    std::map<QString, QString> values; // "broker" keys, for the checks across keys
    std::set<QString> seen;
    QString section;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QString line = QString::fromUtf8(lines[n]).trimmed();
        const auto fail = [&](const QString& why) {
            *error = QStringLiteral("%1:%2: %3").arg(path).arg(n + 1).arg(why);
            return std::nullopt;
        };
        if (line.isEmpty() || line.startsWith(u'#') || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']'))
                return fail(QStringLiteral("a section line is [NAME]"));
            section = line.sliced(1, line.size() - 2).trimmed().toLower();
            if (!KnownSection(section))
                return fail(
                    QStringLiteral("unknown section [%1]; the sections are [broker], [topics], [queue] and "
                                   "[metrics]")
                        .arg(section));
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            return fail(QStringLiteral("expected KEY = VALUE"));
        const QString name = line.first(eq).trimmed().toLower();
        const QString value = Unquoted(line.sliced(eq + 1).trimmed());
        const Key* key = section.isEmpty() ? nullptr : FindKey(section, name);
        if (!key)
            return fail(section.isEmpty() ? QStringLiteral("%1 comes before any section").arg(name)
                                          : QStringLiteral("unknown key %1 in [%2]").arg(name, section));
        if (!seen.insert(section + u'.' + name).second)
            return fail(QStringLiteral("%1 is given twice").arg(name));
        QString why;
        if (!key->set(config, value, &why))
            return fail(name + QStringLiteral(": ") + why);
        if (section == u"broker")
            values[name] = value;
    }
    if (!CheckWhole(config, path, values, error))
        return std::nullopt;
    return config;
}

} // namespace quellix
