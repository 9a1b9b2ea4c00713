// The configuration file: every key read, each kind of mistake refused with its line, and secrets
// that every user could read refused.
#include "PublishConfig.h"

#include "TempDir.h"

#include <QFile>
#include <gtest/gtest.h>

namespace quellix {

namespace {

QString Write(const TempDir& dir, const QString& name, const QByteArray& bytes, bool everyone = false) {
    const QString path = dir.write(name, bytes);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                    (everyone ? QFile::ReadOther : QFile::Permissions()));
    return path;
}

// The broker's login and TLS keys are read in the broker tests, which log in with them.
TEST(PublishConfig, ReadsEveryKey) {
    TempDir dir;
    const QByteArray text =
        "# the line's publisher\n[broker]\nurl = mqtt://broker.plant\nclient_id = \"line 1\"\n"
        "keepalive = 20\n[topics]\n; either comment\nprefix = plant/line1\ndiscovery = no\n"
        "discovery_prefix = ha\n[queue]\ndirectory = /q\nreadings = 3600\n[metrics]\n"
        "listen = [::1]:9464\n";
    QString error;
    const auto c = LoadPublishConfig(Write(dir, "plant.conf", text), &error);
    ASSERT_TRUE(c) << error.toStdString();
    EXPECT_TRUE(c->broker.host == "broker.plant" && c->broker.port == 1883 && !c->broker.tls &&
                c->broker.clientId == "line 1" && c->broker.keepAliveSeconds == 20);
    EXPECT_TRUE(c->topics.prefix == "plant/line1" && c->topics.discoveryPrefix == "ha" && !c->discovery);
    EXPECT_TRUE(c->queueDirectory == "/q" && c->queueReadings == 3600 && c->metricsListen == "[::1]:9464");
    const auto plain = ConfigForBroker("mqtts://[::1]", &error);
    ASSERT_TRUE(plain);
    EXPECT_TRUE(plain->broker.host == "::1" && plain->broker.port == 8883 && plain->broker.tls);
    EXPECT_TRUE(plain->broker.clientId.startsWith("quellix-") && plain->queueReadings == 86400);
}

TEST(PublishConfig, RefusesMistakesNamingTheLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"[broker]\nurl = mqtt://h\n[brokr]\n", "plant.conf:3: unknown section [brokr]"},
        {"[broker]\nurl = mqtt://h\nport = 1883\n", ":3: unknown key port in [broker]"},
        {"url = mqtt://h\n", ":1: url comes before any section"},
        {"[broker]\nurl = mqtt://h\nURL = mqtt://g\n", ":3: url is given twice"},
        {"[broker]\nurl = http://h\n", "is no broker URL"},
        {"[broker]\nurl = mqtt://u:pw@h\n", "a password does not go in the broker URL"},
        {"[broker]\nurl = mqtt://h\nkeepalive = 2\n", "keepalive: must be a whole number from 5 to 3600"},
        {"[queue]\nreadings = 10\n", "readings: must be a whole number from 16 to 604800"},
        {"[metrics]\nlisten = 9464\n", "listen: 9464 is no HOST:PORT"},
        {"[topics]\nprefix = q\n", "[broker] has no url"},
        {"[broker]\nurl = mqtt://h\npassword = x\n", "a password needs a username"},
        {"[broker]\nurl = mqtt://h\nusername = u\npassword = x\npassword_file = f\n", "not both"},
        {"[broker]\nurl = mqtts://h\ncert_file = c\n", "cert_file and key_file go together"},
        {"[broker]\nurl = mqtt://h\nca_file = c\n", "TLS files are given for a broker without TLS"},
        {"[broker]\nurl = mqtts://h\nca_file = /nonexistent/ca.pem\n", "Cannot read /nonexistent/ca.pem"},
    };
    TempDir dir;
    for (const auto& [text, message] : cases) {
        QString error;
        EXPECT_FALSE(LoadPublishConfig(Write(dir, "plant.conf", text), &error)) << text;
        EXPECT_TRUE(error.contains(message)) << error.toStdString();
    }
}

TEST(PublishConfig, RefusesSecretsEveryUserCanRead) {
    TempDir dir;
    const QString pw = Write(dir, "pw", "x\n", true), key = Write(dir, "key", "k", true);
    const std::pair<QByteArray, const char*> cases[] = {
        {"password = x\n", "a.conf holds a password and can be read by every user; allow its owner"},
        {"password_file = " + pw.toUtf8() + "\n", "pw holds a password and can be read by every user"},
        {"cert_file = " + pw.toUtf8() + "\nkey_file = " + key.toUtf8() + "\n", "key holds a private key"},
    };
    for (const auto& [lines, message] : cases) {
        QString error;
        const QByteArray text = "[broker]\nurl = mqtts://h\nusername = u\n" + lines;
        EXPECT_FALSE(LoadPublishConfig(Write(dir, "a.conf", text, true), &error));
        EXPECT_TRUE(error.contains(message)) << error.toStdString();
    }
    QString error;
    EXPECT_TRUE(LoadPublishConfig(
        Write(dir, "a.conf", "[broker]\nurl = mqtt://h\nusername = u\npassword = x\n"), &error))
        << error.toStdString();
}

} // namespace

} // namespace quellix
