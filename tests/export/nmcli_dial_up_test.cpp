// The NetworkManager side of dial-up against a stand-in nmcli: a shell
// script that keeps NetworkManager's state in files, answers as nmcli does
// and writes down how it was called (with the language it was run in).
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "event_wait.h"
#include "export/nmcli_dial_up.h"
#include "export/upload_texts.h"

namespace tolvana {
namespace {

using test::waitFor;

/// What dialFinished reported, in order.
struct DialResults {
    explicit DialResults(DialUpService& service) {
        QObject::connect(&service, &DialUpService::dialFinished,
                         [this](const QString& entry, bool ok, const QString& error) {
                             entries << entry;
                             oks << ok;
                             errors << error;
                         });
    }
    qsizetype count() const { return oks.size(); }
    QStringList entries;
    QList<bool> oks;
    QStringList errors;
};

class NmcliDialUpTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        const QString d = m_dir.path();
        write(QStringLiteral("state"), "connected (local only)\n");
        // Terse output escapes ':' and '\' in names.
        write(QStringLiteral("connections"),
              "lo:loopback:yes\n"
              "Kabelverbindung 1:802-3-ethernet:yes\n"
              "Mobil\\:funk:gsm:no\n"
              "DSL Einwahl:pppoe:no\n");
        write(QStringLiteral("nmcli"),
              ("#!/bin/sh\n"
               "D='" + d + "'\n"
               "echo \"LC_ALL=$LC_ALL $*\" >> \"$D/calls\"\n"
               "[ -f \"$D/stopped\" ] && { echo 'Error: NetworkManager is not running.' >&2; exit 8; }\n"
               "case \"$*\" in\n"
               "  '-t -f RUNNING general') echo running ;;\n"
               "  '-t -f STATE general') cat \"$D/state\" ;;\n"
               "  '-t -f NAME,TYPE,ACTIVE connection show') cat \"$D/connections\" ;;\n"
               "  '--wait 90 connection up id '*)\n"
               "    if [ -f \"$D/no-carrier\" ]; then\n"
               "      echo 'Error: Connection activation failed: No carrier' >&2; exit 4\n"
               "    fi\n"
               "    echo connected > \"$D/state\" ;;\n"
               "  'connection down id '*) echo 'connected (local only)' > \"$D/state\" ;;\n"
               "  *) exit 2 ;;\n"
               "esac\n")
                  .toUtf8());
        QFile::setPermissions(m_dir.filePath(QStringLiteral("nmcli")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void write(const QString& name, const QByteArray& bytes) {
        QFile file(m_dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    QStringList calls() const {
        QFile file(m_dir.filePath(QStringLiteral("calls")));
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

    QTemporaryDir m_dir;
    NmcliDialUp m_nm{m_dir.filePath(QStringLiteral("nmcli"))};
};

TEST_F(NmcliDialUpTest, ListsTheConnectionsThatCanBeDialled) {
    QString reason;
    EXPECT_TRUE(m_nm.available(&reason)) << reason.toStdString();
    // Up already (the LAN) or loopback: nothing to dial, nothing to hang up.
    EXPECT_EQ(m_nm.entries(), QStringList({QStringLiteral("Mobil:funk"), QStringLiteral("DSL Einwahl")}));
    EXPECT_FALSE(m_nm.isConnected()); // a LAN without a way out is no internet
    for (const QString& call : calls()) {
        EXPECT_TRUE(call.startsWith(QStringLiteral("LC_ALL=C "))) << call.toStdString();
    }
}

TEST_F(NmcliDialUpTest, DialsAndHangsUp) {
    DialResults finished(m_nm);
    m_nm.dial(QStringLiteral("Mobil:funk"));
    ASSERT_TRUE(waitFor([&] { return finished.count() == 1; }));
    EXPECT_EQ(finished.entries.at(0), QStringLiteral("Mobil:funk"));
    EXPECT_TRUE(finished.oks.at(0));
    EXPECT_TRUE(m_nm.isConnected());

    m_nm.hangUp(QStringLiteral("Mobil:funk"));
    ASSERT_TRUE(waitFor([&] { return calls().last().endsWith(QStringLiteral("connection down id Mobil:funk")); }));
    ASSERT_TRUE(waitFor([&] { return !m_nm.isConnected(); }));
}

TEST_F(NmcliDialUpTest, AFailedDialCarriesNetworkManagersReason) {
    write(QStringLiteral("no-carrier"), "");
    DialResults finished(m_nm);
    m_nm.dial(QStringLiteral("DSL Einwahl"));
    ASSERT_TRUE(waitFor([&] { return finished.count() == 1; }));
    EXPECT_FALSE(finished.oks.at(0));
    EXPECT_EQ(finished.errors.at(0), QStringLiteral("Error: Connection activation failed: No carrier"));
    EXPECT_FALSE(m_nm.isConnected());
}

TEST_F(NmcliDialUpTest, SaysWhenNetworkManagerIsMissingOrStopped) {
    write(QStringLiteral("stopped"), "");
    QString reason;
    EXPECT_FALSE(m_nm.available(&reason));
    EXPECT_EQ(reason, QString::fromUtf8(upload_text::kNetworkManagerStopped));
    EXPECT_TRUE(m_nm.entries().isEmpty());
    EXPECT_FALSE(m_nm.isConnected());

    NmcliDialUp missing(m_dir.filePath(QStringLiteral("kein-nmcli")));
    EXPECT_FALSE(missing.available(&reason));
    EXPECT_EQ(reason, QString::fromUtf8(upload_text::kNoNetworkManager));
    DialResults finished(missing);
    missing.dial(QStringLiteral("x"));
    ASSERT_TRUE(waitFor([&] { return finished.count() == 1; }));
    EXPECT_FALSE(finished.oks.at(0));
}

} // namespace
} // namespace tolvana
